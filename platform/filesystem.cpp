// The parts of the file-system layer that do not depend on the platform: the current
// file system, open files and the helpers built on them.
#include "platform/filesystem.h"

#include <cerrno>

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/errore.h"
#include "platform/percorsi.h"
#include "platform/programma.h"

namespace bv {

namespace {
FileSystem* corrente = nullptr;
}

FileSystem& Fs() {
    return corrente != nullptr ? *corrente : FsDiSistema();
}

SostituzioneFs::SostituzioneFs(FileSystem& nuovo) : precedente_(corrente) {
    corrente = &nuovo;
}
SostituzioneFs::~SostituzioneFs() {
    corrente = precedente_;
}

File::File(const std::string& percorso, ModoApertura modo)
    : percorso_(percorso), h_(Fs().Apri(percorso, modo)) {}

File::~File() {
    if (h_ >= 0) {
        try {
            Fs().Chiudi(h_);
        } catch (...) {  // a reader's close has nothing to report
        }
    }
}

File::File(File&& altro) noexcept
    : percorso_(std::move(altro.percorso_)), h_(std::exchange(altro.h_, -1)) {}

File& File::operator=(File&& altro) noexcept {
    if (this != &altro) {
        if (h_ >= 0) {
            try {
                Fs().Chiudi(h_);
            } catch (...) {
            }
        }
        percorso_ = std::move(altro.percorso_);
        h_ = std::exchange(altro.h_, -1);
    }
    return *this;
}

size_t File::Leggi(void* buf, size_t n) {
    return Fs().Leggi(h_, buf, n);
}

size_t File::LeggiTutto(void* buf, size_t n) {
    auto* p = static_cast<unsigned char*>(buf);
    size_t letti = 0;
    while (letti < n) {
        const size_t r = Fs().Leggi(h_, p + letti, n - letti);
        if (r == 0) break;
        letti += r;
    }
    return letti;
}

size_t File::LeggiDa(uint64_t offset, void* buf, size_t n) {
    auto* p = static_cast<unsigned char*>(buf);
    size_t letti = 0;
    while (letti < n) {
        const size_t r = Fs().LeggiDa(h_, offset + letti, p + letti, n - letti);
        if (r == 0) break;
        letti += r;
    }
    return letti;
}

void File::ScriviTutto(const void* buf, size_t n) {
    const auto* p = static_cast<const unsigned char*>(buf);
    size_t scritti = 0;
    while (scritti < n) {
        const size_t w = Fs().Scrivi(h_, p + scritti, n - scritti);
        if (w == 0) {  // no progress and no error: treat as a full disk rather than loop forever
            throw ErroreStandard(num::DiscoPieno, "scrittura senza progresso su " + percorso_);
        }
        scritti += w;
    }
}

void File::ScriviTuttoDa(uint64_t offset, const void* buf, size_t n) {
    const auto* p = static_cast<const unsigned char*>(buf);
    size_t scritti = 0;
    while (scritti < n) {
        const size_t w = Fs().ScriviDa(h_, offset + scritti, p + scritti, n - scritti);
        if (w == 0)
            throw ErroreStandard(num::DiscoPieno, "scrittura senza progresso su " + percorso_);
        scritti += w;
    }
}

void File::Posiziona(uint64_t offset) {
    Fs().Posiziona(h_, offset);
}

void File::Sincronizza() {
    Fs().Sincronizza(h_);
}

void File::ScartaCache() {
    Fs().ScartaCache(h_);
}
uint64_t File::Dimensione() {
    return Fs().Dimensione(h_);
}

void File::Chiudi() {
    if (h_ >= 0) {
        const int h = std::exchange(h_, -1);
        Fs().Chiudi(h);
    }
}

std::vector<uint8_t> LeggiFile(const std::string& percorso) {
    File f(percorso, ModoApertura::Lettura);
    std::vector<uint8_t> dati(static_cast<size_t>(f.Dimensione()));
    dati.resize(f.LeggiTutto(dati.data(), dati.size()));
    return dati;
}

std::string LeggiFileTesto(const std::string& percorso) {
    const auto dati = LeggiFile(percorso);
    return {dati.begin(), dati.end()};
}

void RinominaDurevole(const std::string& da, const std::string& a) {
    Fs().Rinomina(da, a);
    Fs().SincronizzaVoce(a);
}

void ScriviDurevole(const std::string& percorso, const std::string& temporaneo, uint64_t n,
                    const Sorgente& sorgente, std::optional<uint32_t> permessi) {
    constexpr uint64_t kPasso = 4 << 20;
    try {
        // A leftover of a run stopped while writing this very file, or a link of its name
        // (removed, never followed).
        if (const InfoFile i = Fs().Info(temporaneo); i.esiste || i.collegamento)
            Fs().Rimuovi(temporaneo);
        File f(temporaneo, ModoApertura::ScritturaEsclusiva);
        std::vector<uint8_t> buf(static_cast<size_t>(std::clamp<uint64_t>(n, 1, kPasso)));
        for (uint64_t fatti = 0; fatti < n;) {
            const size_t passo = static_cast<size_t>(std::min<uint64_t>(buf.size(), n - fatti));
            if (sorgente(fatti, buf.data(), passo) != passo)
                throw ErroreStandard(num::ErroreIO, percorso + ": origine letta solo in parte");
            f.ScriviTutto(buf.data(), passo);
            fatti += passo;
        }
        f.Sincronizza();
        f.Chiudi();
        if (permessi) Fs().ImpostaPermessi(temporaneo, *permessi);
        RinominaDurevole(temporaneo, percorso);
    } catch (...) {
        try {
            if (Fs().Info(temporaneo).esiste) Fs().Rimuovi(temporaneo);
        } catch (...) {  // a removed disk: nothing more to tidy
        }
        throw;
    }
    Fs().SincronizzaCartella(CartellaDi(percorso));
}

void ScriviFileAtomico(const std::string& percorso, const void* dati, size_t n,
                       std::optional<uint32_t> permessi) {
    static std::atomic<unsigned> contatore{0};
    const std::string temporaneo =
        percorso + ".tmp" + std::to_string(IdProcesso()) + "_" + std::to_string(contatore++);
    const auto* byte = static_cast<const uint8_t*>(dati);
    ScriviDurevole(
        percorso, temporaneo, n,
        [byte](uint64_t offset, uint8_t* buf, size_t quanti) {
            std::copy_n(byte + offset, quanti, buf);
            return quanti;
        },
        permessi);
}

void CopiaFile(const std::string& da, const std::string& a, bool durevole) {
    File sorgente(da, ModoApertura::Lettura);
    File destinazione(a, ModoApertura::Scrittura);
    std::vector<unsigned char> buf(1 << 20);
    for (;;) {
        const size_t r = sorgente.Leggi(buf.data(), buf.size());
        if (r == 0) break;
        destinazione.ScriviTutto(buf.data(), r);
    }
    if (durevole) destinazione.Sincronizza();
    destinazione.Chiudi();
}

namespace {

// Renames, or where the names lie on different file systems copies (flushed when `durevole`)
// and removes the source. A failed copy leaves no partial file behind.
void RinominaOCopia(const std::string& da, const std::string& a, bool durevole) {
    try {
        RinominaDurevole(da, a);
    } catch (const Errore& e) {
        if (!e.TraVolumi()) throw;
        try {
            CopiaFile(da, a, durevole);
        } catch (...) {
            try {
                if (Fs().Info(a).esiste) Fs().Rimuovi(a);
            } catch (...) {  // the medium may be gone: the error below says so
            }
            throw;
        }
        Fs().Rimuovi(da);
    }
}

}  // namespace

void SpostaFile(const std::string& da, const std::string& a) {
    {
        File f(da, ModoApertura::Lettura);
        f.Sincronizza();
    }
    RinominaOCopia(da, a, true);
    Fs().SincronizzaCartella(CartellaDi(a));
}

void SpostaFiles(const std::vector<std::pair<std::string, std::string>>& coppie) {
    // A few files are flushed one by one: a flush of the volume would also wait for whatever
    // else is being written there.
    constexpr size_t kPochi = 16;
    if (coppie.size() <= kPochi) {
        for (const auto& [da, a] : coppie) SpostaFile(da, a);
        return;
    }
    std::vector<std::string> cartelle;  // each destination folder once, in order
    for (const auto& [da, a] : coppie) {
        RinominaOCopia(da, a, false);  // flushed below with the rest
        const std::string c = CartellaDi(a);
        if (std::find(cartelle.begin(), cartelle.end(), c) == cartelle.end()) cartelle.push_back(c);
    }
    for (const std::string& c : cartelle) {
        if (Fs().SincronizzaVolume(c)) continue;
        for (const auto& [da, a] : coppie) {
            if (CartellaDi(a) != c) continue;
            File f(a, ModoApertura::Lettura);
            f.Sincronizza();
        }
    }
    for (const std::string& c : cartelle) Fs().SincronizzaCartella(c);
}

std::string CartellaSenzaSeparatore(const std::string& cartella) {
    return CartellaDi(cartella + "x");  // the folder of a name inside it, as CartellaDi tells roots
}

void RimuoviAlbero(const std::string& cartella) {
    const InfoFile info = Fs().Info(cartella);
    if (info.collegamento) {  // the link goes, never what it leads to
        Fs().Rimuovi(cartella);
        return;
    }
    if (!info.esiste) return;
    if (!info.cartella) {
        Fs().Rimuovi(cartella);
        return;
    }
    for (const VoceCartella& v : Fs().Elenca(cartella)) {
        const std::string p = cartella + Separatore() + v.nome;
        if (v.cartella && !v.collegamento) {  // a link is removed, never followed
            RimuoviAlbero(p);
        } else {
            Fs().Rimuovi(p);
        }
    }
    Fs().RimuoviCartella(cartella);
}

}  // namespace bv
