// The in-place ZIP appender (PKWARE APPNOTE: local header, deflated data, central
// directory, end of central directory), with libdeflate for deflate and CRC-32, and zlib to
// join deflated pieces and combine their CRCs; with a key, WinZip AES (aes_winzip.h) on the
// deflated bytes as they are written, so that an encrypted archive costs no second pass.
#include "archive/scrittore_zip.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "archive/aes_winzip.h"
#include "archive/aiutanti.h"
#include "archive/numero_filiere.h"
#include "platform/data_ora.h"
#include "platform/errore.h"
#include "platform/filesystem.h"

namespace bv::zip_interno {

namespace {

constexpr uint32_t kFirmaLocale = 0x04034b50;
constexpr uint32_t kFirmaCentrale = 0x02014b50;
constexpr uint32_t kFirmaFine = 0x06054b50;
constexpr size_t kFine = 22;
constexpr size_t kBlocco = 1 << 20;
constexpr uint64_t kLimite32 = 0xFFFFFFFFULL;
// Files smaller than this are deflated by the caller: waking a helper would cost more.
constexpr size_t kPiccolo = size_t{16} * 1024;

uint16_t L16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t L32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void S16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void S32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Errore NonZip(const std::string& archivio, const std::string& perche) {
    return Errore(num::AccessoPercorso, "Archivio non valido: " + archivio, perche);
}

// DOS date and time of a modification time, in local time; 1980-01-01 for older ones.
std::pair<uint16_t, uint16_t> OraDos(int64_t secondi) {
    const DataOra d = DaSecondi(secondi);
    if (d.anno < 1980) return {0, static_cast<uint16_t>((1 << 5) | 1)};
    const auto ora = static_cast<uint16_t>((d.ora << 11) | (d.minuto << 5) | (d.secondo / 2));
    const auto data = static_cast<uint16_t>(((d.anno - 1980) << 9) | (d.mese << 5) | d.giorno);
    return {ora, data};
}

// One piece of a member, deflated on its own so that pieces can be deflated on every core and
// joined into one deflate stream (as parallel gzip tools do): all but the last are made to end
// on a byte boundary, as a sync flush ends, with their last block no longer marked the last.
struct Pezzo {
    std::vector<uint8_t> in;
    size_t n = 0;  // bytes read into `in`
    bool ultimo = false;
    std::vector<uint8_t> out;
    size_t nOut = 0;
    uint32_t crc = 0;
    bool riuscito = false;
    bool pronto = true;  // no helper at work on it
    // Set: the piece is a whole member, encrypted with this key once deflated, on the helper
    // (the key derivation is most of the work for a small file). What that adds: the salt and
    // the verifier before the data, the authentication code after.
    const std::string* chiave = nullptr;
    uint8_t testaAes[kSaleAes + kVerificatoreAes] = {};
    uint8_t codaAes[kCodiceAes] = {};
};

// The deflate of one slot of the batch, kept from piece to piece. Pieces are deflated whole by
// libdeflate (about twice zlib's speed at its default level, and a smaller result); zlib's
// inflate then finds where the last block starts, so that the piece can be joined to the next.
class Deflatore {
  public:
    Deflatore() : c_(libdeflate_alloc_compressor(6)) {
        pronto_ = c_ != nullptr && inflateInit2(&z_, -15) == Z_OK;
        zPronto_ = pronto_;
    }
    ~Deflatore() {
        if (zPronto_) inflateEnd(&z_);
        if (c_ != nullptr) libdeflate_free_compressor(c_);
    }
    Deflatore(const Deflatore&) = delete;
    Deflatore& operator=(const Deflatore&) = delete;

    void Deflata(Pezzo& p) {
        p.riuscito = false;
        p.nOut = 0;
        if (!pronto_) return;
        const size_t limite = libdeflate_deflate_compress_bound(c_, p.n) + 8;
        if (p.out.size() < limite) p.out.resize(limite);
        p.nOut = libdeflate_deflate_compress(c_, p.in.data(), p.n, p.out.data(), p.out.size());
        if (p.nOut == 0) return;
        p.crc = libdeflate_crc32(0, p.in.data(), p.n);
        p.riuscito = p.ultimo || RendiAccodabile(p);
        if (p.riuscito && p.chiave != nullptr) {
            const std::unique_ptr<FlussoAes> aes = NuovoFlussoAes(*p.chiave, p.testaAes);
            aes->Cifra(p.out.data(), p.nOut);
            aes->Codice(p.codaAes);
        }
    }

  private:
    // Clears the final-block bit of the piece's last block and ends the piece with an empty
    // stored block on a byte boundary: the next piece's blocks may then follow.
    bool RendiAccodabile(Pezzo& p) {
        if (inflateReset(&z_) != Z_OK) return false;
        if (scarto_.empty()) scarto_.resize(size_t{64} * 1024);
        z_.next_in = p.out.data();
        z_.avail_in = static_cast<uInt>(p.nOut);
        size_t byteUltimo = 0;  // where the last block starts: byte and bit
        int bitUltimo = 0;
        int liberiInFondo = -1;  // unused bits of the last byte, told at the last block's end
        for (;;) {
            z_.next_out = scarto_.data();
            z_.avail_out = static_cast<uInt>(scarto_.size());
            const int r = inflate(&z_, Z_BLOCK);
            if (r == Z_STREAM_END) break;
            if (r != Z_OK) return false;
            if ((z_.data_type & 128) == 0) continue;  // not at the end of a block
            const int liberi = z_.data_type & 7;
            if ((z_.data_type & 64) != 0) {  // the end of the last block
                liberiInFondo = liberi;
                continue;
            }
            // The end of a block that was not the last: the next one's header starts here.
            const size_t consumati = p.nOut - z_.avail_in;
            byteUltimo = liberi > 0 ? consumati - 1 : consumati;
            bitUltimo = liberi > 0 ? 8 - liberi : 0;
        }
        if (z_.avail_in != 0 || z_.total_out != p.n || liberiInFondo < 0) return false;
        const auto finale = static_cast<uint8_t>(1U << bitUltimo);
        if ((p.out[byteUltimo] & finale) == 0) return false;
        p.out[byteUltimo] = static_cast<uint8_t>(p.out[byteUltimo] & ~finale);
        // The stored block's three header bits (all zero) go where the stream ends; then the
        // byte boundary, and lengths 0 and its complement.
        const int liberi = liberiInFondo;
        p.out[p.nOut - 1] = static_cast<uint8_t>(p.out[p.nOut - 1] & ((1U << (8 - liberi)) - 1));
        if (liberi < 3) p.out[p.nOut++] = 0;
        for (const uint8_t b : {0x00, 0x00, 0xFF, 0xFF}) p.out[p.nOut++] = b;
        return true;
    }

    libdeflate_compressor* c_;
    z_stream z_{};
    bool pronto_ = false;
    bool zPronto_ = false;
    std::vector<uint8_t> scarto_;  // what the inflate decodes: only block boundaries matter
};

File ApriArchivio(const std::string& archivio) {
    const InfoFile info = Fs().Info(archivio);
    return info.esiste && info.dimensione > 0 ? File(archivio, ModoApertura::LetturaScrittura)
                                              : File(archivio, ModoApertura::Scrittura);
}

}  // namespace

// A file of one piece, deflating on a helper, written when its turn comes.
struct InAttesa {
    std::string nome;
    std::string file;
    uint16_t ora = 0;
    uint16_t data = 0;
    uint16_t flag = 0;
    bool cifrato = false;
    uint32_t permessi = 0;
    uint64_t peggiore = 0;  // the most its header, data and directory entry can take
    Pezzo* pezzo = nullptr;
};

// Deflates pieces on helper threads, one per core, started with the first file of more than
// one piece and kept until the archive is closed. The caller reads and writes meanwhile, so
// reading, deflating and writing overlap.
struct Compressori {
    explicit Compressori(size_t filiere)
        : lotto(filiere * 2), aiutanti(filiere, [](Deflatore& d, Pezzo& p) { d.Deflata(p); }) {}

    void Affida(Pezzo& p) { aiutanti.Affida(p); }
    void Attendi(const Pezzo& p) { aiutanti.Attendi(p); }
    void AttendiTutti() { aiutanti.AttendiTutti(); }

    // A piece for a file of one piece, or null when all are waiting to be written.
    Pezzo* PezzoLibero() {
        if (!liberi.empty()) {
            Pezzo* p = liberi.back();
            liberi.pop_back();
            return p;
        }
        if (singoli.size() >= lotto.size()) return nullptr;  // memory: two per core
        singoli.push_back(std::make_unique<Pezzo>());
        return singoli.back().get();
    }
    void Rilascia(Pezzo* p) { liberi.push_back(p); }

    Deflatore locale;          // the caller's own, for small files
    std::vector<Pezzo> lotto;  // the pieces of a larger file in flight, used in turn
    std::vector<std::unique_ptr<Pezzo>> singoli;  // the pieces of files of one piece
    std::vector<Pezzo*> liberi;
    std::deque<InAttesa> inAttesa;  // files of one piece deflating, in the archive's order
    // Last: its threads end, what they were given finished, before the pieces are freed.
    Aiutanti<Pezzo, Deflatore> aiutanti;
};

ScrittoreZip::ScrittoreZip(const std::string& archivio, std::string chiave)
    : archivio_(archivio), chiave_(std::move(chiave)), a_(ApriArchivio(archivio)) {
    const uint64_t dimensione = a_.Dimensione();
    if (dimensione == 0) return;
    if (dimensione < kFine) throw NonZip(archivio, "file troppo corto");
    uint8_t fine[kFine];
    if (a_.LeggiDa(dimensione - kFine, fine, kFine) != kFine)
        throw NonZip(archivio, "lettura della fine");
    // Only a plain end record right at the end (no comment, no ZIP64) is handled here.
    if (L32(fine) != kFirmaFine || L16(fine + 20) != 0) {
        nonGestito_ = true;
        return;
    }
    voci_ = L16(fine + 10);
    const uint32_t dimDirectory = L32(fine + 12);
    const uint32_t offDirectory = L32(fine + 16);
    if (L16(fine + 4) != 0 || L16(fine + 6) != 0 || L16(fine + 8) != voci_ || voci_ == 0xFFFF ||
        offDirectory == 0xFFFFFFFF ||
        static_cast<uint64_t>(offDirectory) + dimDirectory != dimensione - kFine) {
        nonGestito_ = true;
        return;
    }
    directory_.resize(dimDirectory);
    if (a_.LeggiDa(offDirectory, directory_.data(), directory_.size()) != directory_.size())
        throw NonZip(archivio, "lettura della directory");
    size_t p = 0;
    for (uint32_t i = 0; i < voci_; ++i) {
        if (p + 46 > directory_.size() || L32(&directory_[p]) != kFirmaCentrale)
            throw NonZip(archivio, "directory centrale danneggiata");
        const size_t n = L16(&directory_[p + 28]);
        const size_t totale = 46 + n + L16(&directory_[p + 30]) + L16(&directory_[p + 32]);
        if (p + totale > directory_.size())
            throw NonZip(archivio, "directory centrale danneggiata");
        nomi_.emplace(reinterpret_cast<const char*>(&directory_[p + 46]), n);
        p += totale;
    }
    fineDati_ = offDirectory;
}

ScrittoreZip::~ScrittoreZip() = default;

EsitoAccoda ScrittoreZip::Accoda(const std::string& file, const std::string& nome,
                                 const AvanzamentoZip& avanzamento) {
    return Accoda(file, nome, Fs().Info(file), avanzamento);
}

// A file read in pieces of kBlocco, each known to be the last when read, even for a file of
// exactly 1 MiB: one byte read ahead goes to the next piece.
class LettorePezzi {
  public:
    explicit LettorePezzi(const std::string& file) : f_(file, ModoApertura::Lettura) {}
    void Leggi(Pezzo& p) {
        if (p.in.size() < kBlocco) p.in.resize(kBlocco);
        size_t inizio = 0;
        if (riporto_ >= 0) p.in[inizio++] = static_cast<uint8_t>(riporto_);
        p.n = inizio + f_.LeggiTutto(p.in.data() + inizio, kBlocco - inizio);
        uint8_t avanti = 0;
        p.ultimo = p.n < kBlocco || f_.LeggiTutto(&avanti, 1) == 0;
        riporto_ = p.ultimo ? -1 : avanti;
    }

  private:
    File f_;
    int riporto_ = -1;
};

EsitoAccoda ScrittoreZip::Accoda(const std::string& file, const std::string& nome,
                                 const InfoFile& info, const AvanzamentoZip& avanzamento) {
    if (nonGestito_) return EsitoAccoda::NonGestito;
    if (!info.file) throw ErroreDaErrno(ENOENT, file, Oggetto::File, "stat");
    if (nome.size() > 0xFFFF || nomi_.contains(nome) || !CiSta(nome, info.dimensione))
        return EsitoAccoda::NonGestito;
    InAttesa m = NuovoMembro(file, nome, info);
    modificato_ = true;
    nomi_.insert(nome);  // taken now: the member is written, or the archive is given up

    if (!compressori_) compressori_ = std::make_unique<Compressori>(FiliereDisponibili());
    Compressori& c = *compressori_;
    LettorePezzi lettore(file);
    m.pezzo = c.PezzoLibero();
    if (!m.pezzo) {  // every one waiting: the oldest member goes out first
        ScriviInAttesa(1);
        m.pezzo = c.PezzoLibero();
    }
    lettore.Leggi(*m.pezzo);
    if (m.pezzo->ultimo) {
        AffidaUnPezzo(std::move(m), avanzamento);
    } else {
        ScriviAPezzi(m, lettore, avanzamento);
    }
    return EsitoAccoda::Fatto;
}

bool ScrittoreZip::CiSta(const std::string& nome, uint64_t dimensione) const {
    // Everything must stay within 32-bit offsets: deflate never grows data by more than a
    // few bytes per 16 KB block. The members still waiting count with the most they can take.
    const uint64_t peggiore = dimensione + dimensione / 1000 + 1024 + Aggiunta();
    const size_t membriInAttesa = compressori_ ? compressori_->inAttesa.size() : 0;
    return fineDati_ + riservati_ + 30 + nome.size() + peggiore + directory_.size() + 46 +
                   nome.size() + kFine <
               kLimite32 &&
           voci_ + membriInAttesa + 1 < 0xFFFF;
}

uint64_t ScrittoreZip::Aggiunta() const {
    return chiave_.empty() ? 0 : kAggiuntaAes + 2 * sizeof kCampoAes;
}

InAttesa ScrittoreZip::NuovoMembro(const std::string& file, const std::string& nome,
                                   const InfoFile& info) const {
    const bool asciiSoltanto =
        std::all_of(nome.begin(), nome.end(), [](char c) { return (c & 0x80) == 0; });
    InAttesa m;
    m.nome = nome;
    m.file = file;
    std::tie(m.ora, m.data) = OraDos(info.modifica);
    m.flag = asciiSoltanto ? 0 : (1 << 11);  // UTF-8 name
    m.cifrato = !chiave_.empty();
    if (m.cifrato) m.flag |= 1;
    m.permessi = info.permessi;
    const uint64_t peggiore = info.dimensione + info.dimensione / 1000 + 1024 + Aggiunta();
    m.peggiore = 30 + nome.size() + peggiore + 46 + nome.size();
    return m;
}

// A file of one piece (most companion files): deflated by a helper while the next files are
// read, and written in its turn with its header, which then knows the CRC and the sizes, in one
// write.
void ScrittoreZip::AffidaUnPezzo(InAttesa m, const AvanzamentoZip& avanzamento) {
    Compressori& c = *compressori_;
    Pezzo& primo = *m.pezzo;
    riservati_ += m.peggiore;
    primo.chiave = m.cifrato ? &chiave_ : nullptr;
    if (primo.n < kPiccolo && !m.cifrato) {
        c.locale.Deflata(primo);  // less work than handing it over
    } else {
        c.Affida(primo);
    }
    const size_t n = primo.n;
    c.inAttesa.push_back(std::move(m));
    if (avanzamento) avanzamento(n);
}

// A larger file: the members before it go out first, then its pieces are read, deflated by the
// helpers and written in order as they come back, a few in flight at a time.
void ScrittoreZip::ScriviAPezzi(InAttesa& m, LettorePezzi& lettore,
                                const AvanzamentoZip& avanzamento) {
    Compressori& c = *compressori_;
    ScriviInAttesa(0);
    std::vector<Pezzo>& lotto = c.lotto;
    std::swap(lotto[0], *m.pezzo);
    c.Rilascia(m.pezzo);
    for (Pezzo& p : lotto) p.chiave = nullptr;  // encrypted here, in order, as they come back
    const uint64_t inizio = fineDati_;
    std::vector<uint8_t> locale = IntestazioneLocale(m);
    uint8_t testaAes[kSaleAes + kVerificatoreAes] = {};
    const std::unique_ptr<FlussoAes> aes = m.cifrato ? NuovoFlussoAes(chiave_, testaAes) : nullptr;
    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t letti = lotto[0].n;
    uint64_t compressi = 0;
    {
        // Whatever happens, no helper may still be at work on a piece when this returns.
        struct Attesa {
            Compressori& c;
            ~Attesa() { c.AttendiTutti(); }
        } attesa{c};
        a_.Posiziona(inizio);
        a_.ScriviTutto(locale.data(), locale.size());
        if (aes) a_.ScriviTutto(testaAes, sizeof testaAes);
        c.Affida(lotto[0]);
        size_t affidati = 1;
        size_t scritti = 0;
        bool finito = false;
        while (scritti < affidati) {
            if (!finito && affidati - scritti < lotto.size()) {
                Pezzo& p = lotto[affidati % lotto.size()];
                lettore.Leggi(p);
                finito = p.ultimo;
                letti += p.n;
                c.Affida(p);
                ++affidati;
                continue;
            }
            Pezzo& p = lotto[scritti % lotto.size()];
            c.Attendi(p);
            if (!p.riuscito) throw ErroreStandard(num::ErroreInterno, "deflate di " + m.file);
            crc = crc32_combine(crc, p.crc, static_cast<z_off_t>(p.n));
            compressi += p.nOut;
            if (aes) aes->Cifra(p.out.data(), p.nOut);
            a_.ScriviTutto(p.out.data(), p.nOut);
            ++scritti;
            if (avanzamento) avanzamento(letti);
        }
        if (aes) {
            uint8_t codice[kCodiceAes];
            aes->Codice(codice);
            a_.ScriviTutto(codice, sizeof codice);
            compressi += kAggiuntaAes;
        }
    }
    if (letti >= kLimite32 || compressi >= kLimite32) {  // the file grew while it was read
        throw ErroreStandard(num::AccessoPercorso, m.file + " modificato durante la compressione");
    }
    // The CRC is written for encrypted members too, as libzip writes its own AE-2 members:
    // libzip up to 1.7 checks it, and the central directory shows it in any case.
    const std::vector<uint8_t> campi = Campi(static_cast<uint32_t>(crc), compressi, letti);
    a_.ScriviTuttoDa(inizio + 14, campi.data(), campi.size());
    Registra(m, campi, inizio);
    fineDati_ = inizio + locale.size() + compressi;
}

std::vector<uint8_t> ScrittoreZip::IntestazioneLocale(const InAttesa& m) {
    std::vector<uint8_t> locale;
    S32(locale, kFirmaLocale);
    S16(locale, m.cifrato ? kVersioneAes : 20);
    S16(locale, m.flag);
    S16(locale, m.cifrato ? kMetodoAes : 8);  // deflate, or AES over deflate
    S16(locale, m.ora);
    S16(locale, m.data);
    S32(locale, 0);  // CRC and sizes: written once known
    S32(locale, 0);
    S32(locale, 0);
    S16(locale, static_cast<uint16_t>(m.nome.size()));
    S16(locale, static_cast<uint16_t>(m.cifrato ? sizeof kCampoAes : 0));
    locale.insert(locale.end(), m.nome.begin(), m.nome.end());
    if (m.cifrato) locale.insert(locale.end(), std::begin(kCampoAes), std::end(kCampoAes));
    return locale;
}

std::vector<uint8_t> ScrittoreZip::Campi(uint32_t crc, uint64_t compressi, uint64_t letti) {
    std::vector<uint8_t> campi;
    S32(campi, crc);
    S32(campi, static_cast<uint32_t>(compressi));
    S32(campi, static_cast<uint32_t>(letti));
    return campi;
}

void ScrittoreZip::Registra(const InAttesa& m, const std::vector<uint8_t>& campi, uint64_t inizio) {
    std::vector<uint8_t>& voce = directory_;
    const uint16_t versione = m.cifrato ? kVersioneAes : 20;
    S32(voce, kFirmaCentrale);
    S16(voce, (3 << 8) | versione);  // made on UNIX, so the permission bits below are read back
    S16(voce, versione);
    S16(voce, m.flag);
    S16(voce, m.cifrato ? kMetodoAes : 8);
    S16(voce, m.ora);
    S16(voce, m.data);
    voce.insert(voce.end(), campi.begin(), campi.end());
    S16(voce, static_cast<uint16_t>(m.nome.size()));
    S16(voce, static_cast<uint16_t>(m.cifrato ? sizeof kCampoAes : 0));
    S16(voce, 0);
    S16(voce, 0);
    S16(voce, 0);
    S32(voce, (0100000U | (m.permessi & 0777U)) << 16);
    S32(voce, static_cast<uint32_t>(inizio));
    voce.insert(voce.end(), m.nome.begin(), m.nome.end());
    if (m.cifrato) voce.insert(voce.end(), std::begin(kCampoAes), std::end(kCampoAes));
    ++voci_;
}

void ScrittoreZip::ScriviInAttesa(size_t restanti) {
    if (!compressori_) return;
    Compressori& c = *compressori_;
    while (c.inAttesa.size() > restanti) {
        InAttesa& m = c.inAttesa.front();
        Pezzo& p = *m.pezzo;
        c.Attendi(p);
        if (!p.riuscito) throw ErroreStandard(num::ErroreInterno, "deflate di " + m.file);
        std::vector<uint8_t> uscita = IntestazioneLocale(m);
        const uint64_t compressi = p.nOut + (m.cifrato ? kAggiuntaAes : 0);
        const std::vector<uint8_t> campi = Campi(p.crc, compressi, p.n);
        std::copy(campi.begin(), campi.end(), uscita.begin() + 14);
        const size_t intestazione = uscita.size();
        uscita.reserve(intestazione + compressi);
        if (m.cifrato) uscita.insert(uscita.end(), std::begin(p.testaAes), std::end(p.testaAes));
        uscita.insert(uscita.end(), p.out.begin(), p.out.begin() + static_cast<long>(p.nOut));
        if (m.cifrato) uscita.insert(uscita.end(), std::begin(p.codaAes), std::end(p.codaAes));
        a_.ScriviTuttoDa(fineDati_, uscita.data(), uscita.size());
        Registra(m, campi, fineDati_);
        fineDati_ += intestazione + compressi;
        riservati_ -= m.peggiore;
        c.Rilascia(m.pezzo);
        c.inAttesa.pop_front();
    }
}

void ScrittoreZip::Chiudi() {
    ScriviInAttesa(0);
    if (modificato_) {
        std::vector<uint8_t> fine;
        S32(fine, kFirmaFine);
        S16(fine, 0);
        S16(fine, 0);
        S16(fine, static_cast<uint16_t>(voci_));
        S16(fine, static_cast<uint16_t>(voci_));
        S32(fine, static_cast<uint32_t>(directory_.size()));
        S32(fine, static_cast<uint32_t>(fineDati_));
        S16(fine, 0);
        std::vector<uint8_t> coda = directory_;
        coda.insert(coda.end(), fine.begin(), fine.end());
        a_.ScriviTuttoDa(fineDati_, coda.data(), coda.size());
        modificato_ = false;
    }
    a_.Chiudi();
}

}  // namespace bv::zip_interno
