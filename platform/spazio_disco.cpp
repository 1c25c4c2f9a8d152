// Free-space query, through the file-system layer.
#include "platform/spazio_disco.h"

#include "platform/filesystem.h"

namespace bv {

double SpazioLiberoDisco(const std::string& percorso) {
    return Fs().SpazioLibero(percorso);
}

double ByteDisponibili(uint64_t blocchiDisponibili, uint64_t dimensioneBlocco) {
    // Multiply in floating point: the 64-bit product could wrap on a huge volume.
    return static_cast<double>(blocchiDisponibili) * static_cast<double>(dimensioneBlocco);
}

}  // namespace bv
