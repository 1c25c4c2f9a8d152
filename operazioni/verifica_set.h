// Verify and repair an old set without restoring it: every block and recovery file read, the
// descriptors, the slices and every member's CRC checked; with repair, each damaged block
// rewritten in place from the recovery data (a staged copy flushed, then renamed over it).
#pragma once

#include <string>

#include "operazioni/lavoro.h"

namespace bv {

struct RichiestaVerifica {
    std::string origine;  // the folder of the set
    std::string nomeSet;  // "BV20240315"
    bool ripara = false;
    std::string cartellaTemp;  // the program's temporary folder (the rebuilt archive)
    std::string chiave;        // the recovery key of an encrypted set (empty: none); never logged
};

Risultato EseguiVerifica(const RichiestaVerifica& richiesta, GanciOperazione& ganci);

}  // namespace bv
