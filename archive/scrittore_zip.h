// Appends a member to a ZIP archive in place: the new member's data is written where the
// central directory stood, followed by the directory again with one more entry. Adding n
// files so costs the data once plus the small directory n times, instead of rewriting the
// whole archive at every addition.
#pragma once

#include <cstdint>
#include <string>

#include "archive/zippo.h"

namespace bv::zip_interno {

enum class EsitoAccoda {
    Fatto,
    NonGestito,  // an archive this writer does not handle (ZIP64, comment, same name): use libzip
};

// Throws Errore for file-system failures and for an archive that is not a ZIP file.
EsitoAccoda AccodaMembro(const std::string& file, const std::string& nome,
                         const std::string& archivio, const AvanzamentoZip& avanzamento);

}  // namespace bv::zip_interno
