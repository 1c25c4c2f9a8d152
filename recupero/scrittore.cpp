#include "recupero/scrittore.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "recupero/errori_recupero.h"
#include "recupero/gf16.h"
#include "recupero/pacchetti.h"

namespace bv::recupero {
namespace {

constexpr size_t k16k = 16384;
const char* const kCreatore = "BVBackup";

// dst[e] ^= coefficient(indice, e) * fetta for e in [da, a).
void Accumula(std::vector<std::vector<uint8_t>>& dst, size_t da, size_t a, uint32_t indice,
              const std::vector<uint8_t>& fetta) {
    for (size_t e = da; e < a; ++e)
        gf16::MoltiplicaAccumula(gf16::Coefficiente(indice, static_cast<uint32_t>(e)), fetta.data(),
                                 dst[e].data(), fetta.size());
}

uint32_t Crc32(const uint8_t* p, size_t n) {
    uLong c = crc32(0L, Z_NULL, 0);
    while (n > 0) {
        const uInt passo = static_cast<uInt>(std::min<size_t>(n, 1U << 30));
        c = crc32(c, p, passo);
        p += passo;
        n -= passo;
    }
    return static_cast<uint32_t>(c);
}

std::string Cifre(uint64_t v, size_t larghezza) {
    std::string s = std::to_string(v);
    return std::string(larghezza > s.size() ? larghezza - s.size() : 0, '0') + s;
}

// The pieces of one output file: bytes it owns and recovery data it points to.
struct Contenuto {
    std::vector<std::vector<uint8_t>> propri;
    std::vector<std::pair<const uint8_t*, size_t>> pezzi;
    uint64_t totale = 0;
    void Proprio(std::vector<uint8_t> b) {
        propri.push_back(std::move(b));
        Riferito(propri.back().data(), propri.back().size());
    }
    void Riferito(const uint8_t* p, size_t n) {
        pezzi.emplace_back(p, n);
        totale += n;
    }
    void Scrivi(const std::string& percorso) {
        size_t pezzo = 0;
        uint64_t inizioPezzo = 0;
        ScriviDurevole(percorso, percorso + ".tmp", totale,
                       [&](uint64_t offset, uint8_t* buf, size_t n) {
                           size_t dati = 0;
                           while (dati < n && pezzo < pezzi.size()) {
                               const uint64_t dentro = offset + dati - inizioPezzo;
                               const size_t resto = static_cast<size_t>(pezzi[pezzo].second - dentro);
                               const size_t presi = std::min(resto, n - dati);
                               std::memcpy(buf + dati, pezzi[pezzo].first + dentro, presi);
                               dati += presi;
                               if (presi == resto) {
                                   inizioPezzo += pezzi[pezzo].second;
                                   ++pezzo;
                               }
                           }
                           return dati;
                       });
    }
};

}  // namespace

Md5 IdFile(const Md5& hash16k, uint64_t lunghezza, const std::string& nome) {
    std::vector<uint8_t> b;
    AggiungiMd5(b, hash16k);
    Aggiungi64(b, lunghezza);
    b.insert(b.end(), nome.begin(), nome.end());
    return CalcolaMd5(b.data(), b.size());
}

std::string Unisci(const std::string& cartella, const std::string& nome) {
    if (cartella.empty()) return nome;
    const char ultimo = cartella.back();
    if (ultimo == '/' || ultimo == Separatore()) return cartella + nome;
    return cartella + Separatore() + nome;
}

ScrittoreRecupero::ScrittoreRecupero(uint64_t dimensioneFetta, uint32_t fetteRecupero)
    : dimensioneFetta_(dimensioneFetta) {
    if (dimensioneFetta == 0 || dimensioneFetta % 4 != 0 || dimensioneFetta > (1ULL << 30))
        throw ParametriNonValidi("dimensione della fetta " + std::to_string(dimensioneFetta));
    if (fetteRecupero > gf16::kMaxFetteIngresso)
        throw ParametriNonValidi("fette di recupero " + std::to_string(fetteRecupero));
    const auto n = static_cast<size_t>(dimensioneFetta);
    recupero_.assign(fetteRecupero, std::vector<uint8_t>(n, 0));
    fetta_.assign(n, 0);
}

void ScrittoreRecupero::IniziaFile(const std::string& nome) {
    if (aperto_) throw UsoNonValido("file precedente non chiuso");
    if (nome.empty()) throw NomeNonValido(nome);
    file_.emplace_back();
    file_.back().nome = nome;
    aperto_ = true;
}

void ScrittoreRecupero::Aggiungi(const void* dati, size_t n) {
    if (!aperto_) throw UsoNonValido("dati fuori da un file");
    Ingresso& f = file_.back();
    const auto* p = static_cast<const uint8_t*>(dati);
    f.completo.Aggiungi(p, n);
    if (f.lunghezza < k16k)
        f.primi16k.Aggiungi(p, static_cast<size_t>(std::min<uint64_t>(n, k16k - f.lunghezza)));
    f.lunghezza += n;
    while (n > 0) {
        const size_t presi = std::min(n, fetta_.size() - riempita_);
        std::memcpy(fetta_.data() + riempita_, p, presi);
        riempita_ += presi;
        p += presi;
        n -= presi;
        if (riempita_ == fetta_.size()) ChiudiFetta();
    }
}

void ScrittoreRecupero::ChiudiFetta() {
    if (indice_ >= gf16::kMaxFetteIngresso)
        throw ParametriNonValidi("oltre " + std::to_string(gf16::kMaxFetteIngresso) +
                                 " fette: dimensione della fetta troppo piccola");
    std::fill(fetta_.begin() + static_cast<std::ptrdiff_t>(riempita_), fetta_.end(), 0);
    const size_t m = recupero_.size();
    // Two threads share the recovery slices when the work is worth a thread's start.
    const bool due = thread_ > 1 && m >= 2 && fetta_.size() * m >= (1U << 20);
    const size_t meta = due ? m / 2 : 0;
    std::thread altro;
    if (due) altro = std::thread([this, meta] { Accumula(recupero_, 0, meta, indice_, fetta_); });
    try {
        file_.back().fette.emplace_back(CalcolaMd5(fetta_.data(), fetta_.size()),
                                        Crc32(fetta_.data(), fetta_.size()));
        Accumula(recupero_, meta, m, indice_, fetta_);
    } catch (...) {
        if (altro.joinable()) altro.join();
        throw;
    }
    if (altro.joinable()) altro.join();
    ++indice_;
    riempita_ = 0;
}

void ScrittoreRecupero::FineFile() {
    if (!aperto_) throw UsoNonValido("nessun file aperto");
    if (riempita_ > 0) ChiudiFetta();
    Ingresso& f = file_.back();
    f.hash = f.completo.Fine();
    f.hash16k = f.primi16k.Fine();
    aperto_ = false;
}

std::vector<uint8_t> ScrittoreRecupero::PacchettiCritici(const Md5& insieme,
                                                         const std::vector<uint8_t>& principale) const {
    std::vector<uint8_t> tutto = CreaPacchetto(insieme, kTipoPrincipale, principale);
    for (const Ingresso& f : file_) {
        const Md5 id = IdFile(f.hash16k, f.lunghezza, f.nome);
        std::vector<uint8_t> d;
        AggiungiMd5(d, id);
        AggiungiMd5(d, f.hash);
        AggiungiMd5(d, f.hash16k);
        Aggiungi64(d, f.lunghezza);
        AggiungiTesto(d, f.nome);
        const std::vector<uint8_t> pd = CreaPacchetto(insieme, kTipoDescrizione, d);
        std::vector<uint8_t> s;
        AggiungiMd5(s, id);
        for (const auto& [md5, crc] : f.fette) {
            AggiungiMd5(s, md5);
            Aggiungi32(s, crc);
        }
        const std::vector<uint8_t> ps = CreaPacchetto(insieme, kTipoSomme, s);
        tutto.insert(tutto.end(), pd.begin(), pd.end());
        tutto.insert(tutto.end(), ps.begin(), ps.end());
    }
    return tutto;
}

std::vector<std::string> ScrittoreRecupero::Scrivi(const std::string& cartella,
                                                   const std::string& base, uint32_t volumi) {
    if (aperto_) throw UsoNonValido("file non chiuso prima della scrittura");
    if (file_.empty()) throw UsoNonValido("nessun file da proteggere");
    const auto m = static_cast<uint32_t>(recupero_.size());
    volumi = std::max<uint32_t>(1, std::min(volumi, std::max<uint32_t>(m, 1)));
    // The main packet lists the files in the order their slices took their constants: the
    // order they came in (sorted by File ID when the caller fed them so).
    std::vector<uint8_t> principale;
    Aggiungi64(principale, dimensioneFetta_);
    Aggiungi32(principale, static_cast<uint32_t>(file_.size()));
    for (const Ingresso& f : file_) AggiungiMd5(principale, IdFile(f.hash16k, f.lunghezza, f.nome));
    const Md5 insieme = CalcolaMd5(principale.data(), principale.size());
    std::vector<uint8_t> creatore;
    AggiungiTesto(creatore, kCreatore);
    const std::vector<uint8_t> critici = PacchettiCritici(insieme, principale);
    const std::vector<uint8_t> pCreatore = CreaPacchetto(insieme, kTipoCreatore, creatore);

    std::vector<std::string> scritti;
    {
        Contenuto indice;
        indice.Proprio(critici);
        indice.Proprio(pCreatore);
        scritti.push_back(Unisci(cartella, base + ".par2"));
        indice.Scrivi(scritti.back());
    }
    if (m == 0) return scritti;
    const size_t larghezza = std::to_string(m).size();
    for (uint32_t v = 0, da = 0; v < volumi; ++v) {
        const uint32_t quanti = m / volumi + (v < m % volumi ? 1 : 0);
        Contenuto c;
        for (uint32_t e = da; e < da + quanti; ++e) {
            std::vector<uint8_t> esponente;
            Aggiungi32(esponente, e);
            CalcoloMd5 h = InizioHashPacchetto(insieme, kTipoRecupero);
            h.Aggiungi(esponente.data(), esponente.size());
            h.Aggiungi(recupero_[e].data(), recupero_[e].size());
            std::vector<uint8_t> testa =
                IntestazionePacchetto(insieme, kTipoRecupero, 4 + recupero_[e].size(), h.Fine());
            testa.insert(testa.end(), esponente.begin(), esponente.end());
            c.Proprio(std::move(testa));
            c.Riferito(recupero_[e].data(), recupero_[e].size());
        }
        c.Proprio(critici);
        c.Proprio(pCreatore);
        scritti.push_back(Unisci(cartella, base + ".vol" + Cifre(da, larghezza) + "+" +
                                               Cifre(quanti, larghezza) + ".par2"));
        c.Scrivi(scritti.back());
        da += quanti;
    }
    return scritti;
}

std::vector<std::string> CreaRecupero(const std::vector<std::pair<std::string, std::string>>& file,
                                      uint64_t dimensioneFetta, uint32_t fetteRecupero,
                                      const std::string& cartella, const std::string& base,
                                      uint32_t volumi) {
    // With every file at hand the main packet can list them sorted by File ID, as the format
    // asks: the first 16 KiB and the length of each give its ID before the one pass.
    std::vector<std::pair<Md5, size_t>> ordine;
    std::vector<uint8_t> buf(4 << 20);
    for (size_t i = 0; i < file.size(); ++i) {
        File f(file[i].first, ModoApertura::Lettura);
        const size_t r = f.LeggiTutto(buf.data(), k16k);
        ordine.emplace_back(IdFile(CalcolaMd5(buf.data(), r), f.Dimensione(), file[i].second), i);
    }
    std::sort(ordine.begin(), ordine.end());
    ScrittoreRecupero s(dimensioneFetta, fetteRecupero);
    for (const auto& [id, i] : ordine) {
        File f(file[i].first, ModoApertura::Lettura);
        s.IniziaFile(file[i].second);
        for (;;) {
            const size_t r = f.Leggi(buf.data(), buf.size());
            if (r == 0) break;
            s.Aggiungi(buf.data(), r);
        }
        s.FineFile();
    }
    return s.Scrivi(cartella, base, volumi);
}

}  // namespace bv::recupero
