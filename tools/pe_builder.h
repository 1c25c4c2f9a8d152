// Builds small Windows PE images in memory: a stand-in host executable for the demo and the
// tests' good, truncated and hostile images.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace bv::strumenti {

struct OpzioniPe {
    bool pe32plus = false;
    // File version; nothing builds an image without a version resource.
    std::optional<std::array<uint16_t, 4>> versione;
    // Further resources of other types (icons, manifest) around the version.
    bool altreRisorse = false;
};

struct ImmaginePe {
    std::vector<uint8_t> byte;
    // Where the interesting fields lie, for tests that damage them.
    size_t offsetLfanew = 0x3C;
    size_t offsetDirectoryRisorse = 0;  // the data directory entry: RVA, size
    size_t offsetRadiceRisorse = 0;     // the resource root directory in the file
    size_t offsetVersione = 0;          // VS_VERSIONINFO in the file
};

ImmaginePe CostruisciPe(const OpzioniPe& opzioni);

}  // namespace bv::strumenti
