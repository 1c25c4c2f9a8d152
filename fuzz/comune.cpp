// Scratch folder and helpers of the fuzz targets.
#include "fuzz/comune.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/programma.h"

namespace bv::fuzz {

namespace fs = std::filesystem;

const std::string& Cartella() {
    static const std::string c = [] {
        const fs::path p = fs::temp_directory_path() / ("bvfuzz-" + std::to_string(IdProcesso()));
        fs::remove_all(p);
        fs::create_directories(p);
        // The log the library writes goes there too, not beside the executable.
        ImpostaCartellaProgramma(p.string());
        // Removed at the end of the run; the path outlives the static strings' destruction.
        static const std::string* daRimuovere = new std::string(p.string());
        std::atexit([] {
            std::error_code e;
            fs::remove_all(*daRimuovere, e);
        });
        return p.string();
    }();
    return c;
}

std::string ScriviFile(const std::string& nome, const uint8_t* dati, size_t n) {
    const std::string p = Cartella() + "/" + nome;
    fs::create_directories(fs::path(p).parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(dati), static_cast<std::streamsize>(n));
    return p;
}

void Svuota(const std::string& cartella) {
    std::error_code e;
    for (const auto& v : fs::directory_iterator(cartella, e)) fs::remove_all(v.path(), e);
}

void Viola(const std::string& cosa) {
    std::fprintf(stderr, "Invariante violata: %s\n", cosa.c_str());
    std::abort();
}

}  // namespace bv::fuzz
