#include "recupero/lettore.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "recupero/errori_recupero.h"
#include "recupero/gf16.h"
#include "recupero/scrittore.h"

namespace bv::recupero {
namespace {

Md5 Md5Da(const uint8_t* p) {
    Md5 h;
    std::memcpy(h.data(), p, h.size());
    return h;
}

std::string Testo(const uint8_t* p, size_t n) {
    std::string s(reinterpret_cast<const char*>(p), n);
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

// A recorded name must stay one entry of the folder the set is checked in.
bool NomeUtilizzabile(const std::string& nome) {
    if (nome.empty() || nome == "." || nome == ".." || nome.size() > 255) return false;
    if (nome.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return false;
    return NomeAmmessoDalSistema(nome);
}

uint64_t FetteDi(uint64_t lunghezza, uint64_t dimensioneFetta) {
    return lunghezza / dimensioneFetta + (lunghezza % dimensioneFetta != 0 ? 1 : 0);
}

}  // namespace

uint32_t InsiemeRecupero::FetteIngresso() const {
    uint64_t n = 0;
    for (const FileDescritto& f : file) n += f.fette.size();
    return static_cast<uint32_t>(n);
}

InsiemeRecupero CostruisciInsieme(const std::vector<std::pair<std::string, Scansione>>& scansioni) {
    InsiemeRecupero s;
    // The set: the one whose main packet has the most packets beside it.
    std::map<Md5, uint64_t> conteggio;
    std::map<Md5, const Pacchetto*> principali;
    for (const auto& [percorso, sc] : scansioni) {
        s.pacchettiScartati += sc.scartati;
        for (const Pacchetto& p : sc.pacchetti) {
            ++conteggio[p.insieme];
            if (p.tipo == kTipoPrincipale && p.corpo.size() >= 12 && !principali.count(p.insieme))
                principali[p.insieme] = &p;
        }
    }
    const Pacchetto* principale = nullptr;
    for (const auto& [id, p] : principali)
        if (principale == nullptr || conteggio[id] > conteggio[principale->insieme]) principale = p;
    if (principale == nullptr) throw InsiemeNonValido("nessun pacchetto principale integro");
    s.id = principale->insieme;
    const std::vector<uint8_t>& c = principale->corpo;
    s.dimensioneFetta = Leggi64(c.data());
    const uint32_t nFile = Leggi32(c.data() + 8);
    if (s.dimensioneFetta == 0 || s.dimensioneFetta % 4 != 0 || s.dimensioneFetta > (1ULL << 30))
        throw InsiemeNonValido("dimensione della fetta " + std::to_string(s.dimensioneFetta));
    if ((c.size() - 12) % 16 != 0 || nFile > (c.size() - 12) / 16)
        throw InsiemeNonValido("pacchetto principale incoerente");

    std::map<Md5, FileDescritto> descritti;
    std::map<Md5, std::vector<std::pair<Md5, uint32_t>>> somme;
    std::map<uint32_t, FettaRecuperoDisponibile> recupero;
    for (const auto& [percorso, sc] : scansioni) {
        for (const Pacchetto& p : sc.pacchetti) {
            if (p.insieme != s.id) {
                ++s.pacchettiScartati;
                continue;
            }
            const std::vector<uint8_t>& b = p.corpo;
            if (p.tipo == kTipoDescrizione && b.size() >= 56) {
                FileDescritto f;
                f.id = Md5Da(b.data());
                f.hash = Md5Da(b.data() + 16);
                f.hash16k = Md5Da(b.data() + 32);
                f.lunghezza = Leggi64(b.data() + 48);
                f.nome = Testo(b.data() + 56, b.size() - 56);
                descritti.emplace(f.id, std::move(f));
            } else if (p.tipo == kTipoSomme && b.size() >= 16 && (b.size() - 16) % 20 == 0) {
                std::vector<std::pair<Md5, uint32_t>> v;
                v.reserve((b.size() - 16) / 20);
                for (size_t o = 16; o < b.size(); o += 20) v.emplace_back(Md5Da(&b[o]), Leggi32(&b[o + 16]));
                somme.emplace(Md5Da(b.data()), std::move(v));
            } else if (p.tipo == kTipoRecupero && p.lunghezzaCorpo == 4 + s.dimensioneFetta &&
                       b.size() == 4) {
                recupero.emplace(Leggi32(b.data()),
                                 FettaRecuperoDisponibile{Leggi32(b.data()), percorso, p.offsetCorpo + 4});
            } else if (p.tipo == kTipoCreatore && s.creatore.empty()) {
                s.creatore = Testo(b.data(), b.size());
            }
        }
    }
    uint64_t totale = 0;
    for (uint32_t i = 0; i < nFile; ++i) {
        const Md5 id = Md5Da(c.data() + 12 + size_t{16} * i);
        const auto d = descritti.find(id);
        const auto k = somme.find(id);
        if (d == descritti.end() || k == somme.end())
            throw InsiemeNonValido("descrizione mancante del file " + Esadecimale(id));
        FileDescritto f = d->second;
        f.fette = k->second;
        if (f.fette.size() != FetteDi(f.lunghezza, s.dimensioneFetta))
            throw InsiemeNonValido("somme delle fette incoerenti per " + f.nome);
        if (!NomeUtilizzabile(f.nome)) throw NomeNonValido(f.nome);
        totale += f.fette.size();
        if (totale > gf16::kMaxFetteIngresso) throw InsiemeNonValido("troppe fette");
        s.file.push_back(std::move(f));
    }
    for (auto& [e, r] : recupero) s.recupero.push_back(std::move(r));
    return s;
}

InsiemeRecupero LeggiInsieme(const std::vector<std::string>& percorsi) {
    std::vector<std::pair<std::string, Scansione>> scansioni;
    scansioni.reserve(percorsi.size());
    for (const std::string& p : percorsi) scansioni.emplace_back(p, ScandisciFile(p));
    return CostruisciInsieme(scansioni);
}

std::vector<std::string> FileDiRecupero(const std::string& cartella, const std::string& base) {
    std::vector<std::string> trovati;
    for (const VoceCartella& v : Fs().Elenca(cartella)) {
        if (!v.file) continue;
        const bool indice = v.nome == base + ".par2";
        const bool volume = v.nome.size() > base.size() + 9 && v.nome.rfind(base + ".vol", 0) == 0 &&
                            v.nome.compare(v.nome.size() - 5, 5, ".par2") == 0;
        if (indice || volume) trovati.push_back(Unisci(cartella, v.nome));
    }
    std::sort(trovati.begin(), trovati.end());
    return trovati;
}

bool LeggiFetta(const std::string& percorso, uint64_t offset, uint8_t* buf, size_t n, uint64_t fineDati) {
    std::memset(buf, 0, n);
    try {
        File f(percorso, ModoApertura::Lettura);
        const uint64_t fine = std::min(fineDati, f.Dimensione());
        if (offset >= fine) return true;
        const auto vuoi = static_cast<size_t>(std::min<uint64_t>(n, fine - offset));
        size_t letti = 0;
        while (letti < vuoi) {
            const size_t r = f.LeggiDa(offset + letti, buf + letti, vuoi - letti);
            if (r == 0) break;
            letti += r;
        }
        return true;
    } catch (const Errore&) {
        std::memset(buf, 0, n);
        return false;
    }
}

bool Verifica::Integra() const {
    return std::all_of(file.begin(), file.end(),
                       [](const VerificaFile& f) { return f.stato == StatoFile::Integro; });
}

Verifica VerificaInsieme(const InsiemeRecupero& insieme, const std::string& cartella,
                         const std::string& prefisso) {
    Verifica v;
    v.fetteRecupero = static_cast<uint32_t>(insieme.recupero.size());
    const auto dim = static_cast<size_t>(insieme.dimensioneFetta);
    std::vector<uint8_t> buf(dim);
    for (const FileDescritto& f : insieme.file) {
        VerificaFile vf;
        vf.percorso = Unisci(cartella, prefisso + f.nome);
        vf.fetteBuone.assign(f.fette.size(), false);
        const InfoFile info = Fs().Info(vf.percorso);
        if (!info.esiste || !info.file) {
            vf.stato = StatoFile::Mancante;
        } else {
            vf.dimensioneTrovata = info.dimensione;
            std::optional<File> aperto;
            try {
                aperto.emplace(vf.percorso, ModoApertura::Lettura);
            } catch (const Errore&) {
            }
            for (size_t j = 0; aperto && j < f.fette.size(); ++j) {
                const uint64_t offset = j * insieme.dimensioneFetta;
                std::fill(buf.begin(), buf.end(), 0);
                const uint64_t fine = std::min(f.lunghezza, info.dimensione);
                bool letto = true;
                if (offset < fine) {
                    const auto vuoi = static_cast<size_t>(std::min<uint64_t>(dim, fine - offset));
                    try {
                        size_t letti = 0;
                        while (letti < vuoi) {
                            const size_t r = aperto->LeggiDa(offset + letti, buf.data() + letti, vuoi - letti);
                            if (r == 0) break;
                            letti += r;
                        }
                    } catch (const Errore&) {
                        letto = false;  // an unreadable sector: the slice counts as damaged
                    }
                }
                vf.fetteBuone[j] = letto && CalcolaMd5(buf.data(), dim) == f.fette[j].first &&
                                   static_cast<uint32_t>(crc32(0L, buf.data(), static_cast<uInt>(dim))) ==
                                       f.fette[j].second;
            }
            const bool tutte = std::all_of(vf.fetteBuone.begin(), vf.fetteBuone.end(), [](bool b) { return b; });
            vf.stato = tutte && aperto && info.dimensione == f.lunghezza ? StatoFile::Integro
                                                                          : StatoFile::Danneggiato;
        }
        v.fetteDanneggiate += static_cast<uint32_t>(
            std::count(vf.fetteBuone.begin(), vf.fetteBuone.end(), false));
        v.file.push_back(std::move(vf));
    }
    return v;
}

}  // namespace bv::recupero
