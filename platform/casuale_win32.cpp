// Random bytes on Windows: BCryptGenRandom with the system's preferred generator.
#include <windows.h>
#include <bcrypt.h>

#include "platform/casuale.h"
#include "platform/errore.h"

namespace bv {

void ByteCasuali(uint8_t* dati, size_t n) {
    if (BCryptGenRandom(nullptr, dati, static_cast<ULONG>(n), BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0)
        throw ErroreStandard(num::ErroreInterno, "BCryptGenRandom");
}

}  // namespace bv
