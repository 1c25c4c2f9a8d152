// Single-copy lock with flock(2): released by the kernel when the process ends, however it ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/istanza.h"

namespace bv {

std::string PercorsoBloccoIstanza() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/bvbackup.lock";
    return "/tmp/bvbackup-" + std::to_string(::getuid()) + ".lock";
}

bool BloccoIstanza::Acquisisci() {
    if (fd_ >= 0) return true;
    const std::string percorso = PercorsoBloccoIstanza();
    const int fd = ::open(percorso.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

BloccoIstanza::~BloccoIstanza() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace bv
