// The running executable on POSIX: /proc/self/exe; the process and its terminal.
#include <unistd.h>

#include "platform/programma.h"

namespace bv {

std::string PercorsoEseguibile() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    buf.resize(static_cast<size_t>(n));
    return buf;
}

long IdProcesso() {
    return static_cast<long>(::getpid());
}

bool IngressoDaTerminale() {
    return ::isatty(STDIN_FILENO) != 0;
}
bool ErroriSuTerminale() {
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace bv
