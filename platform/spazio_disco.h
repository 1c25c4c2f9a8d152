// Free space on a volume: the bytes the current user may still write there.
#pragma once

#include <cstdint>
#include <string>

namespace bv {

// Bytes available to the user on the volume of the path, as an exact whole number;
// -1 when the query fails. Goes through the file-system layer, so tests can simulate volumes.
double SpazioLiberoDisco(const std::string& percorso);

// Available blocks times block size as a double, exact below 2^53 and never folded to 32 bits.
double ByteDisponibili(uint64_t blocchiDisponibili, uint64_t dimensioneBlocco);

}  // namespace bv
