// Random bytes on POSIX: getrandom(2), the kernel's generator.
#include <sys/random.h>

#include <cerrno>

#include "platform/casuale.h"
#include "platform/errore.h"

namespace bv {

void ByteCasuali(uint8_t* dati, size_t n) {
    size_t fatti = 0;
    while (fatti < n) {
        const ssize_t r = ::getrandom(dati + fatti, n - fatti, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) throw ErroreDaErrno(errno, "getrandom", Oggetto::File, "getrandom");
        fatti += static_cast<size_t>(r);
    }
}

}  // namespace bv
