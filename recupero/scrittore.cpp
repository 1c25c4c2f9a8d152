#include "recupero/scrittore.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "recupero/errori_recupero.h"
#include "recupero/gf16.h"
#include "recupero/pacchetti.h"

namespace bv::recupero {
namespace {

constexpr size_t k16k = 16384;
const char* const kCreatore = "BVBackup";

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

namespace {
// The caller's pieces are handed over at this size (a multiple of 4, so every piece but a
// file's last starts and ends on a word within its slice).
constexpr size_t kPezzo = size_t{1} << 20;
// At most so many pieces wait for the computation: the writer is held back, not memory.
constexpr size_t kCodaMassima = 4;
}  // namespace

ScrittoreRecupero::ScrittoreRecupero(uint64_t dimensioneFetta, uint32_t fetteRecupero)
    : dimensioneFetta_(dimensioneFetta) {
    if (dimensioneFetta == 0 || dimensioneFetta % 4 != 0 || dimensioneFetta > (1ULL << 30))
        throw ParametriNonValidi("dimensione della fetta " + std::to_string(dimensioneFetta));
    if (fetteRecupero > gf16::kMaxFetteIngresso)
        throw ParametriNonValidi("fette di recupero " + std::to_string(fetteRecupero));
    const auto n = static_cast<size_t>(dimensioneFetta);
    recupero_.assign(fetteRecupero, std::vector<uint8_t>(n, 0));
    crcFetta_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
}

ScrittoreRecupero::~ScrittoreRecupero() {
    if (!lavoratore_.joinable()) return;
    {
        std::lock_guard<std::mutex> l(m_);
        termina_ = true;
        coda_.clear();
    }
    cv_.notify_all();
    lavoratore_.join();
}

void ScrittoreRecupero::InParallelo(bool attivo) {
    if (!file_.empty()) throw UsoNonValido("modo cambiato durante il calcolo");
    parallelo_ = attivo;
}

void ScrittoreRecupero::IniziaFile(const std::string& nome) {
    if (aperto_) throw UsoNonValido("file precedente non chiuso");
    if (nome.empty()) throw NomeNonValido(nome);
    Attendi();  // the computation's file list is the caller's again
    file_.emplace_back();
    file_.back().nome = nome;
    aperto_ = true;
}

void ScrittoreRecupero::Aggiungi(const void* dati, size_t n) {
    if (!aperto_) throw UsoNonValido("dati fuori da un file");
    Ingresso& f = file_.back();
    const auto* p = static_cast<const uint8_t*>(dati);
    // The whole file's hashes here, the slices' on the computation's thread: two cores.
    f.completo.Aggiungi(p, n);
    if (f.hashati16k < k16k) {
        const auto presi = static_cast<size_t>(std::min<uint64_t>(n, k16k - f.hashati16k));
        f.primi16k.Aggiungi(p, presi);
        f.hashati16k += presi;
    }
    f.lunghezza += n;
    while (n > 0) {
        if (inCorso_.dati.capacity() < kPezzo) inCorso_.dati.reserve(kPezzo);
        const size_t presi = std::min(n, kPezzo - inCorso_.dati.size());
        inCorso_.dati.insert(inCorso_.dati.end(), p, p + presi);
        p += presi;
        n -= presi;
        if (inCorso_.dati.size() == kPezzo) Spedisci();
    }
}

void ScrittoreRecupero::FineFile() {
    if (!aperto_) throw UsoNonValido("nessun file aperto");
    if (!inCorso_.dati.empty()) Spedisci();
    Ingresso& f = file_.back();
    f.hash = f.completo.Fine();
    f.hash16k = f.primi16k.Fine();
    Pezzo fine;
    fine.fineFile = true;
    Invia(std::move(fine));
    aperto_ = false;
}

void ScrittoreRecupero::Spedisci() {
    Pezzo p;
    std::swap(p, inCorso_);
    Invia(std::move(p));
}

void ScrittoreRecupero::Invia(Pezzo p) {
    if (!parallelo_) {
        Elabora(p);
        return;
    }
    std::unique_lock<std::mutex> l(m_);
    if (errore_) std::rethrow_exception(errore_);
    if (!lavoratore_.joinable()) lavoratore_ = std::thread([this] { Lavora(); });
    cv_.wait(l, [this] { return coda_.size() < kCodaMassima || errore_; });
    if (errore_) std::rethrow_exception(errore_);
    coda_.push_back(std::move(p));
    cv_.notify_all();
}

void ScrittoreRecupero::Attendi() {
    if (!lavoratore_.joinable()) return;
    std::unique_lock<std::mutex> l(m_);
    cv_.wait(l, [this] { return (coda_.empty() && !occupato_) || errore_; });
    if (errore_) std::rethrow_exception(errore_);
}

void ScrittoreRecupero::Lavora() {
    std::unique_lock<std::mutex> l(m_);
    for (;;) {
        cv_.wait(l, [this] { return !coda_.empty() || termina_; });
        if (termina_) return;
        Pezzo p = std::move(coda_.front());
        coda_.pop_front();
        occupato_ = true;
        cv_.notify_all();
        l.unlock();
        std::exception_ptr e;
        try {
            Elabora(p);
        } catch (...) {
            e = std::current_exception();
        }
        l.lock();
        occupato_ = false;
        if (e) {
            errore_ = e;
            coda_.clear();
        }
        cv_.notify_all();
    }
}

void ScrittoreRecupero::Elabora(const Pezzo& p) {
    if (!p.fineFile) {
        ElaboraDati(p.dati.data(), p.dati.size());
        return;
    }
    if (riempita_ > 0) {
        // The slice's padding: zeros in its checksums; nothing to multiply.
        std::vector<uint8_t> zeri(static_cast<size_t>(dimensioneFetta_ - riempita_), 0);
        md5Fetta_.Aggiungi(zeri.data(), zeri.size());
        crcFetta_ = static_cast<uint32_t>(crc32(crcFetta_, zeri.data(), static_cast<uInt>(zeri.size())));
        ChiudiFetta();
    }
}

void ScrittoreRecupero::ElaboraDati(const uint8_t* p, size_t n) {
    while (n > 0) {
        if (riempita_ == 0 && indice_ >= gf16::kMaxFetteIngresso)
            throw ParametriNonValidi("oltre " + std::to_string(gf16::kMaxFetteIngresso) +
                                     " fette: dimensione della fetta troppo piccola");
        const auto presi = static_cast<size_t>(std::min<uint64_t>(n, dimensioneFetta_ - riempita_));
        md5Fetta_.Aggiungi(p, presi);
        crcFetta_ = static_cast<uint32_t>(crc32(crcFetta_, p, static_cast<uInt>(presi)));
        // The words: a file's odd last byte is multiplied as a word with a zero of padding.
        const size_t pari = presi & ~size_t{1};
        const auto pos = static_cast<size_t>(riempita_);
        for (size_t e = 0; e < recupero_.size(); ++e) {
            const uint16_t c = gf16::Coefficiente(indice_, static_cast<uint32_t>(e));
            if (pari > 0) gf16::MoltiplicaAccumula(c, p, recupero_[e].data() + pos, pari);
            if (pari < presi) {
                const uint8_t coda[2] = {p[pari], 0};
                gf16::MoltiplicaAccumula(c, coda, recupero_[e].data() + pos + pari, 2);
            }
        }
        riempita_ += presi;
        p += presi;
        n -= presi;
        if (riempita_ == dimensioneFetta_) ChiudiFetta();
    }
}

void ScrittoreRecupero::ChiudiFetta() {
    file_.back().fette.emplace_back(md5Fetta_.Fine(), crcFetta_);
    crcFetta_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
    ++indice_;
    riempita_ = 0;
}

std::vector<uint8_t> ScrittoreRecupero::Principale() const {
    // The main packet lists the files in the order their slices took their constants: the
    // order they came in (sorted by File ID when the caller fed them so).
    std::vector<uint8_t> principale;
    Aggiungi64(principale, dimensioneFetta_);
    Aggiungi32(principale, static_cast<uint32_t>(file_.size()));
    for (const Ingresso& f : file_) AggiungiMd5(principale, IdFile(f.hash16k, f.lunghezza, f.nome));
    return principale;
}

std::vector<uint8_t> ScrittoreRecupero::PacchettiCritici() {
    if (aperto_) throw UsoNonValido("file non chiuso prima della scrittura");
    if (file_.empty()) throw UsoNonValido("nessun file da proteggere");
    Attendi();
    const std::vector<uint8_t> principale = Principale();
    const Md5 insieme = CalcolaMd5(principale.data(), principale.size());
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
    std::vector<uint8_t> creatore;
    AggiungiTesto(creatore, kCreatore);
    const std::vector<uint8_t> pc = CreaPacchetto(insieme, kTipoCreatore, creatore);
    tutto.insert(tutto.end(), pc.begin(), pc.end());
    return tutto;
}

InsiemeRecupero ScrittoreRecupero::Descrizione() {
    if (aperto_) throw UsoNonValido("file non chiuso");
    Attendi();
    InsiemeRecupero d;
    const std::vector<uint8_t> principale = Principale();
    d.id = CalcolaMd5(principale.data(), principale.size());
    d.dimensioneFetta = dimensioneFetta_;
    d.creatore = kCreatore;
    for (const Ingresso& f : file_) {
        FileDescritto fd;
        fd.id = IdFile(f.hash16k, f.lunghezza, f.nome);
        fd.hash = f.hash;
        fd.hash16k = f.hash16k;
        fd.lunghezza = f.lunghezza;
        fd.nome = f.nome;
        fd.fette = f.fette;
        d.file.push_back(std::move(fd));
    }
    return d;
}

uint64_t ScrittoreRecupero::DimensioneIndice() { return PacchettiCritici().size(); }

uint64_t ScrittoreRecupero::DimensioneVolume(uint32_t quanti) {
    return DimensioneIndice() + uint64_t{quanti} * (kIntestazione + 4 + dimensioneFetta_);
}

std::string ScrittoreRecupero::ScriviIndice(const std::string& cartella, const std::string& base) {
    Contenuto indice;
    indice.Proprio(PacchettiCritici());
    std::string percorso = Unisci(cartella, base + ".par2");
    indice.Scrivi(percorso);
    return percorso;
}

std::string ScrittoreRecupero::ScriviVolume(const std::string& cartella, const std::string& base,
                                            uint32_t da, uint32_t quanti) {
    const auto m = static_cast<uint32_t>(recupero_.size());
    if (quanti == 0 || da > m || quanti > m - da) throw UsoNonValido("volume fuori dalle fette");
    std::vector<uint8_t> critici = PacchettiCritici();
    const std::vector<uint8_t> principale = Principale();
    const Md5 insieme = CalcolaMd5(principale.data(), principale.size());
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
    c.Proprio(std::move(critici));
    const size_t larghezza = std::to_string(m).size();
    std::string percorso = Unisci(
        cartella, base + ".vol" + Cifre(da, larghezza) + "+" + Cifre(quanti, larghezza) + ".par2");
    c.Scrivi(percorso);
    return percorso;
}

std::vector<std::string> ScrittoreRecupero::Scrivi(const std::string& cartella,
                                                   const std::string& base, uint32_t volumi) {
    const auto m = static_cast<uint32_t>(recupero_.size());
    volumi = std::max<uint32_t>(1, std::min(volumi, std::max<uint32_t>(m, 1)));
    std::vector<std::string> scritti{ScriviIndice(cartella, base)};
    for (uint32_t v = 0, da = 0; m > 0 && v < volumi; ++v) {
        const uint32_t quanti = m / volumi + (v < m % volumi ? 1 : 0);
        scritti.push_back(ScriviVolume(cartella, base, da, quanti));
        da += quanti;
    }
    return scritti;
}

void ControlloFette::IniziaFile(const std::string& nome) {
    file_ = nullptr;
    for (const FileDescritto& f : insieme_.file)
        if (f.nome == nome) file_ = &f;
    buono_ = file_ != nullptr;
    lunghezza_ = riempita_ = 0;
    fetta_ = 0;
}

void ControlloFette::Aggiungi(const void* dati, size_t n) {
    if (!buono_) return;
    const auto* p = static_cast<const uint8_t*>(dati);
    lunghezza_ += n;
    while (n > 0 && buono_) {
        const auto presi = static_cast<size_t>(std::min<uint64_t>(n, insieme_.dimensioneFetta - riempita_));
        md5_.Aggiungi(p, presi);
        riempita_ += presi;
        p += presi;
        n -= presi;
        if (riempita_ == insieme_.dimensioneFetta) ChiudiFetta();
    }
}

void ControlloFette::ChiudiFetta() {
    buono_ = buono_ && fetta_ < file_->fette.size() && md5_.Fine() == file_->fette[fetta_].first;
    ++fetta_;
    riempita_ = 0;
}

bool ControlloFette::FineFile() {
    if (buono_ && riempita_ > 0) {
        std::vector<uint8_t> zeri(static_cast<size_t>(insieme_.dimensioneFetta - riempita_), 0);
        md5_.Aggiungi(zeri.data(), zeri.size());
        ChiudiFetta();
    }
    md5_.Fine();
    const bool esito = buono_ && lunghezza_ == file_->lunghezza && fetta_ == file_->fette.size();
    file_ = nullptr;
    buono_ = false;
    return esito;
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
