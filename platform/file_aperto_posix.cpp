// In-use test on Linux. There is no exclusive open: a write lease is granted only while no
// other open file description of the file exists, which is the question asked. Where leases
// are refused (another owner without CAP_LEASE, a file system without them), the open
// descriptors of every visible process are compared by device and inode.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/file_aperto.h"
#include "platform/filesystem.h"

namespace bv {

namespace {

bool SoloNumeri(const char* s) {
    if (*s == '\0') return false;
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9') return false;
    }
    return true;
}

// Whether a descriptor other than `escluso` of this process, or any of another process,
// refers to the file.
bool ApertoAltrove(const struct stat& bersaglio, int escluso) {
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), &::closedir);
    if (!proc) return true;  // cannot tell: treat as in use
    const std::string io = std::to_string(::getpid());
    while (const dirent* p = ::readdir(proc.get())) {
        if (!SoloNumeri(p->d_name)) continue;
        const std::string cartellaFd = std::string("/proc/") + p->d_name + "/fd";
        std::unique_ptr<DIR, int (*)(DIR*)> fds(::opendir(cartellaFd.c_str()), &::closedir);
        if (!fds) continue;  // gone, or not ours to see
        while (const dirent* f = ::readdir(fds.get())) {
            if (!SoloNumeri(f->d_name)) continue;
            if (p->d_name == io && std::atoi(f->d_name) == escluso) continue;
            struct stat st {};
            if (::fstatat(::dirfd(fds.get()), f->d_name, &st, 0) == 0 &&
                st.st_dev == bersaglio.st_dev && st.st_ino == bersaglio.st_ino) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool FileApertoDaProcessi(const std::string& percorso) {
    struct stat st {};
    if (::stat(percorso.c_str(), &st) != 0) return true;
    return ApertoAltrove(st, -1);
}

bool FileInUso(const std::string& percorso) {
    const InfoFile info = Fs().Info(percorso);
    if (!info.esiste || !info.file || info.nascosto) return false;
    const int fd = ::open(percorso.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    // A file this user may not read is not thereby in use: the processes are asked instead
    // (the caller reports the permission).
    if (fd < 0) return errno == EACCES ? FileApertoDaProcessi(percorso) : true;
    bool inUso;
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        inUso = false;
    } else if (errno == EAGAIN || errno == EBUSY) {
        inUso = true;
    } else {
        struct stat st {};
        inUso = ::fstat(fd, &st) != 0 || ApertoAltrove(st, fd);
    }
    ::close(fd);
    return inUso;
}

}  // namespace bv
