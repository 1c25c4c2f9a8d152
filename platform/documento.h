// Opening a document with the program the system associates with its type.
#pragma once

#include <optional>
#include <string>

namespace bv {

// Where the platform's shell opens documents (Windows), its answer: above 32 on success, else
// the shell's code (2 file not found, 3 path not found, 5 access denied, 31 no association).
// Nothing where the front end opens documents itself (POSIX: the window's desktop services).
std::optional<int> ApriDocumentoDiSistema(const std::string& file);

}  // namespace bv
