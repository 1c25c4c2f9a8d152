// Free space on a volume: the bytes the current user may still write there.
#pragma once

#include <cstdint>
#include <string>

namespace bv {

// Bytes available to the user on the volume of the path; -1 when the query fails. Goes
// through the file-system layer, so tests can simulate volumes.
int64_t SpazioLiberoDisco(const std::string& percorso);

// Available blocks times block size, never folded to 32 bits; a product past the 64-bit signed
// range (no real volume) is held at its largest value.
int64_t ByteDisponibili(uint64_t blocchiDisponibili, uint64_t dimensioneBlocco);

}  // namespace bv
