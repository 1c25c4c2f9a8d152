// The recovery key kept on this computer for unattended and scheduled backups, protected by
// the system: on Windows encrypted for the current user (DPAPI), on POSIX a file only its
// owner can read, beside the registry stand-in. Never in the settings.
#pragma once

#include <string>

namespace bv {

// The key kept, "" when there is none or it cannot be read.
std::string LeggiChiaveCustodita();
// Keeps the key (replacing the one kept); throws Errore when it cannot.
void CustodisciChiave(const std::string& chiave);
// Where it is kept (for the tests and the log's messages: never the key itself).
std::string PercorsoCustodiaChiave();

}  // namespace bv
