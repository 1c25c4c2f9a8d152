// Two locks per program folder, both files there, so that whoever starts the program and in
// whatever environment (another session, cron) meets them: one window per program folder, and
// one operation (a backup, a restore, the start's repairs) at a time, since every operation
// uses the folder's Temp and the start's repairs would take another copy's running work for an
// interrupted one. The command line takes only the second, so a scheduled backup runs while
// the window sits idle.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/errore.h"

namespace bv {

// An exclusive lock on a file, released on destruction or when the process ends, however it
// ends. Excludes other processes and other locks on the same file in this process.
class BloccoEsclusivo {
  public:
    explicit BloccoEsclusivo(std::string percorso) : percorso_(std::move(percorso)) {}
    ~BloccoEsclusivo() { Rilascia(); }
    BloccoEsclusivo(const BloccoEsclusivo&) = delete;
    BloccoEsclusivo& operator=(const BloccoEsclusivo&) = delete;

    // True when the lock is now held (or cannot exist: a program folder that is missing or
    // cannot be written, which the start reports); false when someone else holds it. Never
    // waits. Throws Errore 3003 for any other failure: the lock's name taken by something that
    // cannot be a lock (a folder, a link), a lock file of another user that cannot be opened.
    bool Acquisisci();
    void Rilascia();

  private:
    std::string percorso_;
    intptr_t fd_ = -1;  // the lock file's descriptor, or its handle on Windows
};

// One window per program folder.
class BloccoIstanza : public BloccoEsclusivo {
  public:
    BloccoIstanza();
};

// One operation at a time per program folder.
class BloccoOperazione : public BloccoEsclusivo {
  public:
    BloccoOperazione();
};

// A second copy, before it ends, asks the running one to come to the front (restored when
// minimised): it writes the request file that copy's window watches and, where the system lets
// the program starting now hand the foreground over (Windows), hands it over.
void ChiamaPrimaCopia();
// The request file: "bvbackup.mostra" in the program folder.
std::string PercorsoChiamataIstanza();
// Lets another process take the foreground (Windows); nothing elsewhere.
void CediPrimoPiano();

// The locks: the files "bvbackup.lock" and "bvbackup-operazione.lock" in the program folder
// (flock on POSIX, held open sharing nothing on Windows).
std::string PercorsoBloccoIstanza();
std::string PercorsoBloccoOperazione();
// Error 3003: the lock cannot be taken (its name is taken by something that cannot be a lock,
// its file cannot be opened); `codice` is the system's error.
Errore ErroreBloccoIstanza(const std::string& percorso, int codice);
// Error 3004: an operation of another copy (the command line's, or the window's) is running.
Errore ErroreOperazioneInCorso();

}  // namespace bv
