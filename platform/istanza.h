// One running copy per program folder: the window and the command line, whoever starts them
// and in whatever environment, share one lock, since they share the folder's Temp and log.
#pragma once

#include <cstdint>
#include <string>

#include "platform/errore.h"

namespace bv {

class BloccoIstanza {
  public:
    BloccoIstanza() = default;
    ~BloccoIstanza();
    BloccoIstanza(const BloccoIstanza&) = delete;
    BloccoIstanza& operator=(const BloccoIstanza&) = delete;

    // True when this is the only running copy; the lock is held until destruction. Throws
    // Errore 3003 when the lock's name is taken by something that cannot be a lock.
    bool Acquisisci();

  private:
    intptr_t fd_ = -1;  // the lock file's descriptor, or the mutex's handle on Windows
};

// A second copy, before it ends, asks the running one to come to the front (restored when
// minimised): it writes the request file that copy's window watches and, where the system lets
// the program starting now hand the foreground over (Windows), hands it over.
void ChiamaPrimaCopia();
// The request file: "bvbackup.mostra" in the program folder.
std::string PercorsoChiamataIstanza();
// Lets another process take the foreground (Windows); nothing elsewhere.
void CediPrimoPiano();

// The lock: the file "bvbackup.lock" in the program folder (flock on POSIX, held open sharing
// nothing on Windows).
std::string PercorsoBloccoIstanza();
// Error 3003: the lock's name is taken by something that cannot be a lock (a folder, a link);
// `codice` is the system's error.
Errore ErroreBloccoIstanza(const std::string& percorso, int codice);

}  // namespace bv
