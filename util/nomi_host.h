// The program's and its host's fixed names, for every layer's messages, and the host's rule
// tying a database to its companion folder.
#pragma once

#include <string>

#include "platform/codifica.h"

namespace bv {

inline constexpr const char* kTitoloProgramma = "BVBackup";
inline constexpr const char* kHost = "Brelvano";

// The base name of a database, which is its companion folder's name: lower case, every ".mdb"
// removed ("Archivio.MDB" -> "archivio").
inline std::string NomeBase(const std::string& database) {
    std::string b = Minuscolo(database);
    for (size_t p; (p = b.find(".mdb")) != std::string::npos;) b.erase(p, 4);
    return b;
}

}  // namespace bv
