// The file version of a Windows executable, read from its version resource on any platform.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace bv {

using VersionePe = std::array<uint16_t, 4>;

// Random access to the bytes of an image: reads exactly n bytes at offset or returns false.
using LettoreByte = std::function<bool(uint64_t offset, void* dst, size_t n)>;

// The file version (dwFileVersionMS high, low, dwFileVersionLS high, low) of a PE32 or PE32+
// image, or nothing when it is not such an image or has no version resource. Every offset
// is checked against the image's size, so a truncated or hostile file is simply refused.
std::optional<VersionePe> VersioneDaImmagine(uint64_t dimensione, const LettoreByte& leggi);
std::optional<VersionePe> VersioneDaImmagine(std::span<const uint8_t> immagine);

// The version of the file on disk: nothing when the file is missing, not an image or has no
// version. A read error of an existing file is thrown as Errore.
std::optional<VersionePe> LeggiVersioneFile(const std::string& percorso);

}  // namespace bv
