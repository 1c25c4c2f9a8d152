// Locks with flock(2) on a file in the program folder: released by the kernel when the process
// ends, however it ends. flock belongs to the open file, so a second lock in this process on
// the same file is refused as another process's would be.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/istanza.h"
#include "platform/programma.h"

namespace bv {

bool BloccoEsclusivo::Acquisisci() {
    if (fd_ >= 0) return true;
    const std::string& percorso = percorso_;
    int fd = ::open(percorso.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    // Another user's lock file: a lock needs no write permission.
    if (fd < 0 && errno == EACCES) fd = ::open(percorso.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        const int errore = errno;
        // In a program folder that is missing or cannot be written no operation can run (the
        // start refuses it): no lock is needed there. Anything else (another user's lock file
        // that cannot be opened, a folder or a link of that name) is no lock, and running
        // without one would let two copies clash.
        std::string cartella = CartellaDi(percorso);
        if (cartella.empty()) cartella = ".";
        if (::access(cartella.c_str(), W_OK | X_OK) != 0) return true;
        throw ErroreBloccoIstanza(percorso, errore);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int errore = errno;
        ::close(fd);
        if (errore == EWOULDBLOCK) return false;
        throw ErroreBloccoIstanza(percorso, errore);  // no lock (ENOLCK): not a pass either
    }
    fd_ = fd;
    return true;
}

void CediPrimoPiano() {
    // The desktop decides which window comes forward: the running copy asks for it.
}

void BloccoEsclusivo::Rilascia() {
    if (fd_ >= 0) ::close(static_cast<int>(fd_));
    fd_ = -1;
}

}  // namespace bv
