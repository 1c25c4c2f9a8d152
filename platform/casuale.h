// Random bytes from the system's own generator, fit for keys.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bv {

// Fills `n` bytes; throws Errore when the system gives none.
void ByteCasuali(uint8_t* dati, size_t n);

}  // namespace bv
