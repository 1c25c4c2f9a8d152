#include "recupero/pacchetti.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/errore.h"
#include "platform/filesystem.h"

namespace bv::recupero {
namespace {

constexpr uint8_t kMagia[8] = {'P', 'A', 'R', '2', 0, 'P', 'K', 'T'};
// Bodies kept in memory are bounded: the largest a set of 32768 slices needs is well below.
constexpr uint64_t kMaxCorpo = 64ULL << 20;
constexpr size_t kFinestra = 1 << 20;

// Where the next magic starts at or after `da`, or `dimensione` when nowhere.
uint64_t CercaMagia(uint64_t da, uint64_t dimensione, const LettoreDa& leggi) {
    std::vector<uint8_t> buf(kFinestra);
    while (da + sizeof kMagia <= dimensione) {
        const size_t chiesti = static_cast<size_t>(std::min<uint64_t>(kFinestra, dimensione - da));
        const size_t letti = leggi(da, buf.data(), chiesti);
        if (letti < sizeof kMagia) {
            // An unreadable stretch: go on past it.
            da += std::max<uint64_t>(chiesti - sizeof kMagia + 1, 1);
            continue;
        }
        const auto fine = buf.begin() + static_cast<std::ptrdiff_t>(letti);
        const auto trovato = std::search(buf.begin(), fine, std::begin(kMagia), std::end(kMagia));
        if (trovato != fine) return da + static_cast<uint64_t>(trovato - buf.begin());
        da += letti - sizeof kMagia + 1;
    }
    return dimensione;
}

}  // namespace

void Aggiungi32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Aggiungi64(std::vector<uint8_t>& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void AggiungiMd5(std::vector<uint8_t>& b, const Md5& h) { b.insert(b.end(), h.begin(), h.end()); }
void AggiungiTesto(std::vector<uint8_t>& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    b.resize(b.size() + (4 - s.size() % 4) % 4, 0);
}
uint32_t Leggi32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint64_t Leggi64(const uint8_t* p) { return uint64_t{Leggi32(p)} | uint64_t{Leggi32(p + 4)} << 32; }

CalcoloMd5 InizioHashPacchetto(const Md5& insieme, const TipoPacchetto& tipo) {
    CalcoloMd5 c;
    c.Aggiungi(insieme.data(), insieme.size());
    c.Aggiungi(tipo.data(), tipo.size());
    return c;
}

std::vector<uint8_t> IntestazionePacchetto(const Md5& insieme, const TipoPacchetto& tipo,
                                           uint64_t lunghezza, const Md5& hash) {
    std::vector<uint8_t> h(std::begin(kMagia), std::end(kMagia));
    Aggiungi64(h, kIntestazione + lunghezza);
    AggiungiMd5(h, hash);
    AggiungiMd5(h, insieme);
    h.insert(h.end(), tipo.begin(), tipo.end());
    return h;
}

std::vector<uint8_t> CreaPacchetto(const Md5& insieme, const TipoPacchetto& tipo,
                                   const std::vector<uint8_t>& corpo) {
    CalcoloMd5 c = InizioHashPacchetto(insieme, tipo);
    c.Aggiungi(corpo.data(), corpo.size());
    std::vector<uint8_t> p = IntestazionePacchetto(insieme, tipo, corpo.size(), c.Fine());
    p.insert(p.end(), corpo.begin(), corpo.end());
    return p;
}

Scansione Scandisci(uint64_t dimensione, const LettoreDa& leggi) {
    Scansione s;
    std::vector<uint8_t> buf(kFinestra);
    uint64_t pos = CercaMagia(0, dimensione, leggi);
    while (pos + kIntestazione <= dimensione) {
        uint8_t h[kIntestazione];
        const uint64_t lunghezza =
            leggi(pos, h, kIntestazione) == kIntestazione ? Leggi64(h + 8) : 0;
        bool valido = lunghezza >= kIntestazione && lunghezza % 4 == 0 &&
                      lunghezza <= dimensione - pos && std::memcmp(h, kMagia, 8) == 0;
        if (valido) {
            Pacchetto p;
            std::memcpy(p.insieme.data(), h + 32, 16);
            std::memcpy(p.tipo.data(), h + 48, 16);
            p.offsetCorpo = pos + kIntestazione;
            p.lunghezzaCorpo = lunghezza - kIntestazione;
            const bool recupero = p.tipo == kTipoRecupero;
            const bool tieni = !recupero && p.lunghezzaCorpo <= kMaxCorpo;
            if (tieni) p.corpo.resize(static_cast<size_t>(p.lunghezzaCorpo));
            CalcoloMd5 c = InizioHashPacchetto(p.insieme, p.tipo);
            for (uint64_t fatti = 0; valido && fatti < p.lunghezzaCorpo;) {
                const size_t n =
                    static_cast<size_t>(std::min<uint64_t>(kFinestra, p.lunghezzaCorpo - fatti));
                uint8_t* dove = tieni ? p.corpo.data() + fatti : buf.data();
                if (leggi(p.offsetCorpo + fatti, dove, n) != n) valido = false;
                c.Aggiungi(dove, n);
                if (recupero && fatti == 0 && n >= 4) p.corpo.assign(dove, dove + 4);
                fatti += n;
            }
            Md5 atteso;
            std::memcpy(atteso.data(), h + 16, 16);
            valido = valido && c.Fine() == atteso && (tieni || recupero);
            if (valido) {
                s.pacchetti.push_back(std::move(p));
                pos += lunghezza;
                if (pos + 8 <= dimensione && leggi(pos, h, 8) == 8 && std::memcmp(h, kMagia, 8) == 0)
                    continue;
                pos = CercaMagia(pos, dimensione, leggi);
                continue;
            }
        }
        ++s.scartati;
        pos = CercaMagia(pos + 1, dimensione, leggi);
    }
    return s;
}

Scansione ScandisciFile(const std::string& percorso) {
    std::optional<File> f;
    uint64_t dimensione = 0;
    try {
        f.emplace(percorso, ModoApertura::Lettura);
        dimensione = f->Dimensione();
    } catch (const Errore&) {
        return {};
    }
    return Scandisci(dimensione, [&f](uint64_t offset, uint8_t* buf, size_t n) -> size_t {
        try {
            size_t letti = 0;
            while (letti < n) {
                const size_t r = f->LeggiDa(offset + letti, buf + letti, n - letti);
                if (r == 0) break;
                letti += r;
            }
            return letti;
        } catch (const Errore&) {
            return 0;
        }
    });
}

}  // namespace bv::recupero
