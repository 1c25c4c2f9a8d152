// Fuzz target: extraction of any bytes as an archive into a folder. Whatever the input, nothing
// is written outside the folder, a file beside it stays as it was, no link is made, and no
// more is written than the members declare (the restore refuses more than it can hold first).
#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive/zippo.h"
#include "fuzz/comune.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
    using namespace bv;
    const std::string base = fuzz::Cartella();
    fuzz::Svuota(base);
    const std::string archivio = fuzz::ScriviFile("in.zip", dati, n);
    const uint8_t testimone[] = "intatto";
    fuzz::ScriviFile("accanto.txt", testimone, sizeof testimone - 1);
    fs::create_directories(base + "/out");
    uint64_t dichiarati = 0;
    if (DimensioneMembri(archivio, dichiarati) != 0 || dichiarati > (64U << 20)) return 0;
    (void)Estrai(archivio, base + "/out");
    uint64_t scritti = 0;
    for (auto it = fs::recursive_directory_iterator(base); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path& p = it->path();
        if (fs::is_symlink(it->symlink_status())) fuzz::Viola("collegamento creato: " + p.string());
        const std::string rel = fs::relative(p, base).generic_string();  // "/" on every platform
        const bool dentro = rel == "out" || rel.starts_with("out/");
        if (!dentro && rel != "in.zip" && rel != "accanto.txt" && !rel.ends_with(".log"))
            fuzz::Viola("scritto fuori dalla cartella: " + rel);
        if (dentro && it->is_regular_file()) scritti += it->file_size();
    }
    std::ifstream f(base + "/accanto.txt", std::ios::binary);
    const std::string accanto((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
    if (accanto != "intatto") fuzz::Viola("il file accanto e' cambiato");
    if (scritti > dichiarati) fuzz::Viola("scritto piu' di quanto dichiarato");
    return 0;
}
