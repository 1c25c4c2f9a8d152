// Fuzz target: the rebuild of any set of blocks and descriptors. The input holds descriptor 0,
// block 0, descriptor 1, block 1, ... separated by a marker line. Any disk prompt is answered
// Cancel. Whatever the input, the rebuild ends with one of its errors or with an archive that
// is the blocks one after the other, and it writes nothing else.
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/comune.h"
#include "platform/errore.h"
#include "span/clsspan.h"
#include "util/interazione.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
    using namespace bv;
    static const std::string kSeparatore = "\n--BLOCCO--\n";
    const std::string base = fuzz::Cartella();
    fuzz::Svuota(base);
    const std::string testo(reinterpret_cast<const char*>(dati), n);
    std::vector<std::string> parti;
    for (size_t inizio = 0;;) {
        const size_t fine = testo.find(kSeparatore, inizio);
        parti.push_back(testo.substr(inizio, fine == std::string::npos ? fine : fine - inizio));
        if (fine == std::string::npos || parti.size() == 16) break;
        inizio = fine + kSeparatore.size();
    }
    std::string blocchi;
    for (size_t i = 0; i + 1 < parti.size(); i += 2) {
        const std::string nome = "set/BV20240315#" + std::to_string(i / 2);
        fuzz::ScriviFile(nome + ".inf", reinterpret_cast<const uint8_t*>(parti[i].data()),
                         parti[i].size());
        fuzz::ScriviFile(nome, reinterpret_cast<const uint8_t*>(parti[i + 1].data()),
                         parti[i + 1].size());
    }
    fs::create_directories(base + "/set");
    fs::create_directories(base + "/out");
    InterazioneNonPresidiata annulla;
    UsaInterazione usa(annulla);
    ClsSpan span;
    try {
        span.Ricostruisci(base + "/set", "BV20240315", base + "/out/x.zip", false);
        if (fs::file_size(base + "/out/x.zip") != static_cast<uintmax_t>(span.dimensione()))
            fuzz::Viola("l'archivio scritto non e' l'immagine");
    } catch (const Errore&) {
        for (const auto& e : fs::directory_iterator(base + "/out"))
            fuzz::Viola("rimasto dopo un errore: " + e.path().string());
    }
    return 0;
}
