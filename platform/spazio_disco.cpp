// Free-space query, through the file-system layer.
#include "platform/spazio_disco.h"

#include <limits>

#include "platform/filesystem.h"

namespace bv {

int64_t SpazioLiberoDisco(const std::string& percorso) {
    return Fs().SpazioLibero(percorso);
}

int64_t ByteDisponibili(uint64_t blocchiDisponibili, uint64_t dimensioneBlocco) {
    constexpr auto kMassimo = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (dimensioneBlocco != 0 && blocchiDisponibili > kMassimo / dimensioneBlocco)
        return static_cast<int64_t>(kMassimo);
    return static_cast<int64_t>(blocchiDisponibili * dimensioneBlocco);
}

}  // namespace bv
