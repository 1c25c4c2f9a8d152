// What the fuzz targets share: a private scratch folder per process, and writing an input
// to a file there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bv::fuzz {

// A folder of this process's own, made on first use and kept for the whole run.
const std::string& Cartella();

// Writes bytes to a file below Cartella() and returns its path.
std::string ScriviFile(const std::string& nome, const uint8_t* dati, size_t n);

// Removes everything below a folder (kept itself).
void Svuota(const std::string& cartella);

// Stops the run as a crash: an invariant does not hold.
[[noreturn]] void Viola(const std::string& cosa);

}  // namespace bv::fuzz
