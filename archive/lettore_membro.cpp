// Reads a member in order; a large one written by this program is inflated piece by piece on
// every core (see lettore_membro.h).
#include "archive/lettore_membro.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "archive/aes_winzip.h"
#include "archive/aiutanti.h"
#include "archive/numero_filiere.h"

namespace bv::zip_interno {

namespace {

// What each piece of the writer holds, but the last.
constexpr size_t kPezzo = 1 << 20;
// Smaller members are read by libzip: one core is enough for them.
constexpr uint64_t kMinimo = 4 * kPezzo;
// The most one piece's deflated bytes can take (deflate never grows data by more than a few
// bytes per stored block): a longer run without a piece's end is not one of ours.
constexpr size_t kMassimoGrezzo = kPezzo + kPezzo / 64 + 64;
constexpr size_t kLetturaGrezza = size_t{256} * 1024;
// How every piece but the last ends: an empty stored block on a byte boundary.
constexpr uint8_t kMarca[] = {0x00, 0x00, 0xFF, 0xFF};
// An empty stored block marked the last: after a piece, it makes the piece a whole stream.
constexpr uint8_t kChiusura[] = {0x01, 0x00, 0x00, 0xFF, 0xFF};
// Each run joined to a piece inflates it again from its start: beyond this many (as costly as
// zlib inflating the piece a few times), the rest of the member is inflated as one stream.
constexpr int kMassimoUnioni = 16;
// Members inflated on every core at once (kMassimiMembriInParallelo, filiere.h).
std::atomic<int> veloci{0};

struct ChiudiFile {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

std::string Testo(int codice, int sistema = 0) {
    zip_error_t e;
    zip_error_init(&e);
    zip_error_set(&e, codice, sistema);
    std::string t = zip_error_strerror(&e);
    zip_error_fini(&e);
    return t;
}

// A run of deflated bytes that ends where a piece seems to end, and what it inflates to.
struct Segmento {
    std::vector<uint8_t> in;  // its bytes, then, but for the last, the closing block
    size_t grezzi = 0;        // how many of `in` are the member's
    bool ultimo = false;      // the member's bytes end with it
    std::vector<uint8_t> out;
    size_t nOut = 0;
    uint32_t crc = 0;
    bool riuscito = false;
    bool pronto = true;  // no helper at work on it
};

// Each helper's own decompressor.
struct Decompressore {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    Decompressore() = default;
    ~Decompressore() {
        if (d != nullptr) libdeflate_free_decompressor(d);
    }
    Decompressore(const Decompressore&) = delete;
    Decompressore& operator=(const Decompressore&) = delete;
};

// Another closing: an empty last block with fixed codes.
constexpr uint8_t kChiusuraFissa[] = {0x03, 0x00};

// A segment is a piece when it inflates on its own, every byte of it, to a whole piece.
void Inflata(Decompressore& decompressore, Segmento& s) {
    s.riuscito = false;
    s.nOut = 0;
    if (decompressore.d == nullptr) return;
    if (s.out.size() < kPezzo) s.out.resize(kPezzo);
    size_t usati = 0;
    size_t n = 0;
    const libdeflate_result r = libdeflate_deflate_decompress_ex(
        decompressore.d, s.in.data(), s.in.size(), s.out.data(), kPezzo, &usati, &n);
    if (r != LIBDEFLATE_SUCCESS || usati != s.in.size() || (!s.ultimo && n != kPezzo)) return;
    // A last stored block whose data run five bytes past the cut takes the closing as its own
    // data and ends there, so the run inflates "whole" though it was cut inside a block: its
    // output then ends with the closing's bytes. Such a run must also close with another
    // closing, to the same bytes.
    if (!s.ultimo && n >= sizeof kChiusura &&
        std::memcmp(s.out.data() + n - sizeof kChiusura, kChiusura, sizeof kChiusura) == 0) {
        std::vector<uint8_t> altro(s.in.begin(), s.in.begin() + static_cast<std::ptrdiff_t>(s.grezzi));
        altro.insert(altro.end(), std::begin(kChiusuraFissa), std::end(kChiusuraFissa));
        std::vector<uint8_t> uscita(kPezzo);
        size_t usati2 = 0;
        size_t n2 = 0;
        if (libdeflate_deflate_decompress_ex(decompressore.d, altro.data(), altro.size(),
                                             uscita.data(), kPezzo, &usati2,
                                             &n2) != LIBDEFLATE_SUCCESS ||
            usati2 != altro.size() || n2 != n || std::memcmp(uscita.data(), s.out.data(), n) != 0) {
            return;
        }
    }
    s.nOut = n;
    s.crc = libdeflate_crc32(0, s.out.data(), n);
    s.riuscito = true;
}

using Inflatori = Aiutanti<Segmento, Decompressore>;

}  // namespace

struct LettoreMembro::Stato {
    std::unique_ptr<zip_file_t, ChiudiFile> f;
    zip_stat_t st{};
    std::string errore;  // set once, on the first failure
    bool veloce = false;
    bool chiaveErrata = false;
    bool proprio = false;  // inflated here (in pieces or as one stream), not by libzip

    // A WinZip AES member: its raw bytes read, decrypted and authenticated here.
    std::unique_ptr<FlussoAes> aes;
    uint64_t cifratiRestanti = 0;  // encrypted bytes not yet read
    std::vector<uint8_t> codice;   // the authentication code, as read

    // Pieces on every core.
    std::unique_ptr<Inflatori> inflatori;
    size_t inVoloMassimo = 0;
    std::deque<std::unique_ptr<Segmento>> volo;  // in the member's order
    std::vector<std::unique_ptr<Segmento>> liberi;
    std::unique_ptr<Segmento> corrente;  // the piece being given out
    size_t posizione = 0;
    std::vector<uint8_t> grezzo;  // deflated bytes read and not yet cut
    size_t scansionati = 0;       // of `grezzo`, searched for a piece's end
    bool grezzoFinito = false;
    bool ultimoVisto = false;
    int unioni = 0;  // runs joined into the piece at the front so far
    uint64_t dati = 0;
    uLong crc = crc32(0L, Z_NULL, 0);

    // From a run that is not a piece on: zlib's inflate of the rest as one stream.
    bool flusso = false;
    bool flussoFinito = false;
    z_stream z{};
    bool zPronto = false;
    std::deque<std::vector<uint8_t>> daInflatare;
    std::vector<uint8_t> ingresso;

    ~Stato() {
        inflatori.reset();  // finishes the segments in flight before they are freed
        if (zPronto) inflateEnd(&z);
        if (veloce) --veloci;
    }

    bool Errore(const std::string& testo) {
        if (errore.empty()) errore = testo;
        return false;
    }

    std::unique_ptr<Segmento> Nuovo() {
        if (liberi.empty()) return std::make_unique<Segmento>();
        std::unique_ptr<Segmento> s = std::move(liberi.back());
        liberi.pop_back();
        return s;
    }

    void Affida(std::unique_ptr<Segmento> s) {
        s->grezzi = s->in.size();
        if (!s->ultimo) s->in.insert(s->in.end(), std::begin(kChiusura), std::end(kChiusura));
        inflatori->Affida(*s);
        volo.push_back(std::move(s));
    }

    // Reads more deflated bytes; false on a read error. Of an encrypted member, what is read is
    // decrypted, and its end is the end only once the authentication code matches.
    bool LeggiGrezzo(std::vector<uint8_t>& dove) {
        const size_t prima = dove.size();
        dove.resize(prima + kLetturaGrezza);
        const zip_int64_t r = zip_fread(f.get(), dove.data() + prima, kLetturaGrezza);
        if (r < 0) {
            dove.resize(prima);
            return Errore(zip_file_strerror(f.get()));
        }
        const auto n = static_cast<size_t>(r);
        if (!aes) {
            dove.resize(prima + n);
            if (r == 0) grezzoFinito = true;
            return true;
        }
        const auto cifrati = static_cast<size_t>(std::min<uint64_t>(n, cifratiRestanti));
        aes->Decifra(dove.data() + prima, cifrati);
        cifratiRestanti -= cifrati;
        codice.insert(codice.end(), dove.begin() + static_cast<std::ptrdiff_t>(prima + cifrati),
                      dove.begin() + static_cast<std::ptrdiff_t>(prima + n));
        dove.resize(prima + cifrati);
        if (r == 0 || codice.size() > kCodiceAes) return Errore(Testo(ZIP_ER_EOF));
        if (codice.size() == kCodiceAes) {
            uint8_t atteso[kCodiceAes];
            aes->Codice(atteso);
            if (std::memcmp(atteso, codice.data(), kCodiceAes) != 0)
                return Errore(Testo(ZIP_ER_CRC));
            grezzoFinito = true;
        }
        return true;
    }

    // Opens an encrypted member's raw bytes and checks the key against its verifier.
    bool ApriCifrato(zip_t* z, zip_uint64_t indice, const std::string& chiave) {
        if (chiave.empty()) {
            chiaveErrata = true;
            return Errore(Testo(ZIP_ER_NOPASSWD));
        }
        std::unique_ptr<zip_file_t, ChiudiFile> grezzo(
            zip_fopen_index(z, indice, ZIP_FL_ENCRYPTED));
        if (!grezzo) return Errore(zip_strerror(z));
        uint8_t testa[kSaleAes + kVerificatoreAes];
        size_t letti = 0;
        while (letti < sizeof testa) {
            const zip_int64_t r = zip_fread(grezzo.get(), testa + letti, sizeof testa - letti);
            if (r < 0) return Errore(zip_file_strerror(grezzo.get()));
            if (r == 0) return Errore(Testo(ZIP_ER_EOF));
            letti += static_cast<size_t>(r);
        }
        auto flusso = std::make_unique<FlussoAes>(chiave, testa);
        if (std::memcmp(flusso->Verificatore(), testa + kSaleAes, kVerificatoreAes) != 0) {
            chiaveErrata = true;
            return Errore(Testo(ZIP_ER_WRONGPASSWD));
        }
        aes = std::move(flusso);
        f = std::move(grezzo);
        cifratiRestanti = st.comp_size - kAggiuntaAes;
        return true;
    }

    // Cuts segments where pieces seem to end and hands them over until enough are in flight.
    bool Riempi() {
        static const std::boyer_moore_horspool_searcher cercatore(std::begin(kMarca),
                                                                  std::end(kMarca));
        while (!flusso && volo.size() < inVoloMassimo && !(grezzoFinito && grezzo.empty())) {
            const auto inizio = grezzo.begin() + static_cast<std::ptrdiff_t>(scansionati);
            const auto trovato = std::search(inizio, grezzo.end(), cercatore);
            if (trovato != grezzo.end()) {
                const auto fine = trovato + static_cast<std::ptrdiff_t>(sizeof kMarca);
                std::unique_ptr<Segmento> s = Nuovo();
                s->in.assign(grezzo.begin(), fine);
                s->ultimo = false;
                grezzo.erase(grezzo.begin(), fine);
                scansionati = 0;
                Affida(std::move(s));
                continue;
            }
            scansionati = grezzo.size() > sizeof kMarca ? grezzo.size() - (sizeof kMarca - 1) : 0;
            if (grezzoFinito) {
                std::unique_ptr<Segmento> s = Nuovo();
                s->in.swap(grezzo);
                grezzo.clear();
                s->ultimo = true;
                Affida(std::move(s));
                continue;
            }
            if (grezzo.size() > kMassimoGrezzo) {  // not written in pieces
                PassaAlFlusso();
                break;
            }
            if (!LeggiGrezzo(grezzo)) return false;
        }
        return true;
    }

    // Everything not yet given out goes through one zlib inflate, from the first segment in
    // flight: what was given out ended on a piece's end, where a new stream may start.
    void PassaAlFlusso() {
        for (auto& s : volo) {
            inflatori->Attendi(*s);
            s->in.resize(s->grezzi);
            daInflatare.push_back(std::move(s->in));
        }
        volo.clear();
        daInflatare.push_back(std::move(grezzo));
        grezzo.clear();
        flusso = true;
        zPronto = inflateInit2(&z, -15) == Z_OK;
        // The stream goes on from the end of the last piece given out: what it refers back to
        // (other writers flush without starting afresh) is that piece's last 32 KiB.
        if (zPronto && corrente && corrente->nOut > 0) {
            const size_t finestra = std::min<size_t>(corrente->nOut, 32768);
            zPronto = inflateSetDictionary(&z, corrente->out.data() + corrente->nOut - finestra,
                                           static_cast<uInt>(finestra)) == Z_OK;
        }
    }

    // The next piece in order into `corrente`; false on an error.
    bool Prossimo() {
        for (;;) {
            if (!Riempi()) return false;
            if (flusso || volo.empty()) return true;
            Segmento& s = *volo.front();
            inflatori->Attendi(s);
            if (s.riuscito) {
                if (corrente) liberi.push_back(std::move(corrente));
                corrente = std::move(volo.front());
                volo.pop_front();
                posizione = 0;
                crc = crc32_combine(crc, corrente->crc, static_cast<z_off_t>(corrente->nOut));
                dati += corrente->nOut;
                if (corrente->ultimo) ultimoVisto = true;
                unioni = 0;
                return true;
            }
            // Its end only looked like a piece's end (those bytes were data), or it is damaged:
            // joined to the next run and inflated again.
            if (s.ultimo || volo.size() < 2 || s.grezzi + volo[1]->grezzi > kMassimoGrezzo ||
                ++unioni > kMassimoUnioni) {
                PassaAlFlusso();
                return true;
            }
            Segmento& t = *volo[1];
            inflatori->Attendi(t);
            std::unique_ptr<Segmento> unito = std::move(volo.front());
            unito->in.resize(unito->grezzi);
            unito->in.insert(unito->in.end(), t.in.begin(),
                             t.in.begin() + static_cast<std::ptrdiff_t>(t.grezzi));
            unito->ultimo = t.ultimo;
            liberi.push_back(std::move(volo[1]));
            volo.pop_front();
            volo.pop_front();
            // Back at the front: the segments after it keep their places.
            Affida(std::move(unito));
            std::rotate(volo.rbegin(), volo.rbegin() + 1, volo.rend());
        }
    }

    zip_int64_t LeggiFlusso(uint8_t* buf, size_t n) {
        if (!zPronto) {
            Errore(Testo(ZIP_ER_MEMORY));
            return -1;
        }
        z.next_out = buf;
        z.avail_out = static_cast<uInt>(std::min<size_t>(n, 1U << 30));
        const uInt chiesti = z.avail_out;
        while (z.avail_out == chiesti && !flussoFinito) {
            if (z.avail_in == 0) {
                ingresso.clear();
                if (!daInflatare.empty()) {
                    ingresso = std::move(daInflatare.front());
                    daInflatare.pop_front();
                } else if (grezzoFinito) {  // the stream ends before its last block
                    Errore(Testo(ZIP_ER_COMPRESSED_DATA));
                    return -1;
                } else if (!LeggiGrezzo(ingresso)) {
                    return -1;
                }
                z.next_in = ingresso.data();
                z.avail_in = static_cast<uInt>(ingresso.size());
                continue;
            }
            const int r = inflate(&z, Z_NO_FLUSH);
            if (r == Z_STREAM_END) {
                flussoFinito = true;
            } else if (r != Z_OK && r != Z_BUF_ERROR) {
                Errore(Testo(ZIP_ER_ZLIB, r));
                return -1;
            }
        }
        const size_t dati1 = chiesti - z.avail_out;
        crc = crc32(crc, buf, static_cast<uInt>(dati1));
        dati += dati1;
        return static_cast<zip_int64_t>(dati1);
    }

    // At the member's end: what was read must be what the directory says, and an encrypted
    // member's code (which may follow the deflate stream's end) must match.
    zip_int64_t Fine() {
        if (!ultimoVisto && !flussoFinito) {
            Errore(Testo(ZIP_ER_COMPRESSED_DATA));
            return -1;
        }
        std::vector<uint8_t> resto;
        while (aes && !grezzoFinito)
            if (!LeggiGrezzo(resto)) return -1;
        // A reader of AE-2 that stores no CRC (0) has only the code to stand for it.
        const bool crcNoto = (st.valid & ZIP_STAT_CRC) != 0 && (!aes || st.crc != 0);
        if (dati != st.size || (crcNoto && crc != st.crc)) {
            Errore(Testo(ZIP_ER_CRC));
            return -1;
        }
        return 0;
    }

    zip_int64_t LeggiVeloce(uint8_t* buf, size_t n) {
        if (!errore.empty()) return -1;
        for (;;) {
            if (flusso) {
                const zip_int64_t r = LeggiFlusso(buf, n);
                if (r != 0) return r;
                return Fine();
            }
            if (corrente && posizione < corrente->nOut) {
                const size_t quanti = std::min(n, corrente->nOut - posizione);
                std::memcpy(buf, corrente->out.data() + posizione, quanti);
                posizione += quanti;
                return static_cast<zip_int64_t>(quanti);
            }
            if (!Prossimo()) return -1;
            if (!flusso && volo.empty() && (!corrente || posizione >= corrente->nOut))
                return Fine();
        }
    }
};

LettoreMembro::LettoreMembro(zip_t* z, zip_uint64_t indice, const zip_stat_t& st, bool parallelo,
                             const std::string& chiave)
    : s_(std::make_unique<Stato>()) {
    s_->st = st;
    constexpr zip_uint64_t kNoti =
        ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    const bool noto = (st.valid & kNoti) == kNoti && st.comp_method == ZIP_CM_DEFLATE;
    const bool aes = noto && st.encryption_method == ZIP_EM_AES_256 && st.comp_size >= kAggiuntaAes;
    bool veloce =
        parallelo && noto && ((st.valid & ZIP_STAT_CRC) != 0 || aes) && st.size >= kMinimo;
    if (veloce) {
        int attivi = veloci.load();
        do {
            veloce = attivi < kMassimiMembriInParallelo;
        } while (veloce && !veloci.compare_exchange_weak(attivi, attivi + 1));
    }
    s_->veloce = veloce;
    s_->proprio = veloce || aes;
    if (aes) {
        if (!s_->ApriCifrato(z, indice, chiave)) return;
    } else {
        s_->f.reset(zip_fopen_index(z, indice, veloce ? ZIP_FL_COMPRESSED : 0));
        if (!s_->f) {
            s_->errore = zip_strerror(z);
            const int codice = zip_error_code_zip(zip_get_error(z));
            s_->chiaveErrata = codice == ZIP_ER_WRONGPASSWD || codice == ZIP_ER_NOPASSWD;
            return;
        }
    }
    if (veloce) {
        const size_t filiere = FiliereDisponibili();
        s_->inflatori = std::make_unique<Inflatori>(filiere, Inflata);
        s_->inVoloMassimo = filiere + 2;
    } else if (aes) {
        s_->PassaAlFlusso();  // one stream from the start
    }
}

LettoreMembro::~LettoreMembro() = default;

bool LettoreMembro::Aperto() const {
    return s_->f != nullptr;
}

zip_int64_t LettoreMembro::Leggi(void* buf, size_t n) {
    if (!s_->f) return -1;
    if (!s_->proprio) {
        const zip_int64_t r = zip_fread(s_->f.get(), buf, n);
        if (r < 0) s_->Errore(zip_file_strerror(s_->f.get()));
        if (r > 0) s_->dati += static_cast<uint64_t>(r);
        // A stream that ends before the size the directory declares is damaged, as unzip -t
        // says (libzip lets it pass).
        if (r == 0 && (s_->st.valid & ZIP_STAT_SIZE) != 0 && s_->dati != s_->st.size) {
            s_->Errore(Testo(ZIP_ER_INCONS));
            return -1;
        }
        return r;
    }
    return s_->LeggiVeloce(static_cast<uint8_t*>(buf), n);
}

std::string LettoreMembro::TestoErrore() const {
    return s_->errore;
}

bool LettoreMembro::InParallelo() const {
    return s_->veloce && !s_->flusso;
}

bool LettoreMembro::PerPezzi() const {
    return s_->veloce;
}

bool LettoreMembro::ChiaveErrata() const {
    return s_->chiaveErrata;
}

FineLettura LeggiMembroIntero(zip_t* z, zip_uint64_t indice, const zip_stat_t& st,
                              const std::function<void()>& inizia,
                              const std::function<std::string(const uint8_t*, size_t)>& consuma,
                              const std::function<bool()>& fermato, std::atomic<uint64_t>& fatti,
                              std::string& errore, const std::string& chiave) {
    // What one run hands over: small enough to stay in the processor's cache.
    std::vector<uint8_t> buf(size_t{256} * 1024);
    uint64_t contati = 0;
    for (const bool parallelo : {true, false}) {
        LettoreMembro f(z, indice, st, parallelo, chiave);
        if (!f.Aperto()) {
            errore = f.TestoErrore();
            return f.ChiaveErrata() ? FineLettura::ChiaveErrata : FineLettura::Fallito;
        }
        inizia();
        errore.clear();
        uint64_t letti = 0;
        for (;;) {
            const zip_int64_t r = f.Leggi(buf.data(), buf.size());
            if (r < 0) {
                errore = f.TestoErrore();
                break;
            }
            if (r == 0) return FineLettura::Letto;
            const auto n = static_cast<size_t>(r);
            letti += n;
            errore = consuma(buf.data(), n);
            if (!errore.empty()) break;
            if (letti > contati) {
                fatti += letti - contati;
                contati = letti;
            }
            if (fermato()) return FineLettura::Fermato;
        }
        if (!f.PerPezzi()) break;
    }
    return FineLettura::Fallito;
}

}  // namespace bv::zip_interno
