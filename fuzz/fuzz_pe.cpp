// Fuzz target: the version reader of executables, on any bytes.
#include <span>

#include "platform/versione_pe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
    (void)bv::VersioneDaImmagine(std::span<const uint8_t>(dati, n));
    return 0;
}
