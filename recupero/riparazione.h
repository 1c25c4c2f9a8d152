// Rebuilding the damaged and missing slices of a verified set from its recovery slices: the
// missing slices are the unknowns of a square system over GF(2^16) whose rows are recovery
// slices, solved by Gauss-Jordan elimination; the repaired files are written durably under
// their own names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recupero/lettore.h"

namespace bv::recupero {

struct EsitoRiparazione {
    std::vector<std::string> riparati;  // the files written again
    uint32_t fetteRicostruite = 0;
};

// Repairs every file of `verifica` that is not intact: the good slices are read where the
// verification found them, the repaired file is written into `cartella` under its recorded
// name (in place when that is where it was checked; elsewhere when the checked folder must
// not be written). Throws
// RecuperoInsufficiente (how many recovery slices more would be needed) before writing
// anything when the damage exceeds the recovery data, RiparazioneNonRiuscita when a rebuilt
// slice does not match its recorded checksum.
EsitoRiparazione Ripara(const InsiemeRecupero& insieme, const Verifica& verifica,
                        const std::string& cartella);

}  // namespace bv::recupero
