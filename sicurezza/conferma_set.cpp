// The set commit: marker, forward, back, close, and the start's completion and clean-up.
#include "sicurezza/conferma_set.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/codifica.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "sicurezza/nomi_provvisori.h"
#include "util/koutilita.h"

namespace bv {

namespace {

// `path` with one final separator ("" stays "": the current folder).
std::string ConSeparatore(const std::string& path) {
    if (!path.empty() && path.back() != Separatore()) return path + Separatore();
    return path;
}

}  // namespace

// The set commit. A staged set (every block and descriptor under "~" + its name, whole and
// verified) takes the set's names in renames the marker "~<set>.conferma" (holding the number of
// blocks) covers. Each step below can be repeated from whatever state the names are in, so the
// backup and the next start share them:
// - forward: old blocks step aside as "~<name>.vecchio" (descriptors first), staged ones take
//   the names (descriptors last); then, the commit done, the parked ones go, then the marker;
// - back: a new block that took a name steps back to its staged name, the parked old one
//   returns; then the marker goes (the caller discards the staged set).
// While a marker exists nothing it names is discarded: a crash, or a failed step back, leaves
// it for the next start, which goes forward (the staged set is whole).
namespace {

// A set's files in a folder: each block and descriptor under its staged and final names.
struct FileDelSet {
    const std::string& cartella;
    const std::string& nomefile;
    int32_t blocchi;
    std::string Nuovo(int32_t n, const char* e) const {
        return nomi::Provvisorio(cartella, nomi::Blocco(nomefile, n, e));
    }
    std::string Finale(int32_t n, const char* e) const {
        return cartella + nomi::Blocco(nomefile, n, e);
    }
    // Every file, descriptors first or last: at no moment does a descriptor name a block of
    // the other set, or one that is not there.
    template <typename Passo>
    void DescrittoriPrima(Passo passo) const {
        PerOgni({".inf", ""}, passo);
    }
    template <typename Passo>
    void DescrittoriDopo(Passo passo) const {
        PerOgni({"", ".inf"}, passo);
    }
    void SincronizzaCartella() const {
        Fs().SincronizzaCartella(CartellaSenzaSeparatore(cartella));
    }

  private:
    template <typename Passo>
    void PerOgni(std::initializer_list<const char*> estensioni, Passo passo) const {
        for (const char* e : estensioni)
            for (int32_t n = 0; n < blocchi; ++n) passo(Nuovo(n, e), Finale(n, e));
    }
};

// What a marker holds: the number of blocks on its first line, then the final names of the
// set's recovery files, one a line.
struct Marcatore {
    int32_t blocchi = 0;
    std::vector<std::string> recupero;
};

std::string TestoMarcatore(int32_t blocchi, const std::vector<std::string>& recupero) {
    std::string t = std::to_string(blocchi);
    for (const std::string& r : recupero) t += "\n" + r;
    return t;
}

// The number of blocks a marker holds, when it is plausible for the folder: digits only, at
// least one, and no more than the folder's entries could hold.
std::optional<int32_t> BlocchiDelMarcatore(const std::string& testo, size_t voci) {
    const std::string t = Spazi(testo);
    if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const long n = std::stol(t);
    if (n < 1 || static_cast<size_t>(n) > voci) return std::nullopt;
    return static_cast<int32_t>(n);
}

// A marker's contents, when plausible; recovery names not of the set's forms make it damaged
// (acted on, it would rename files that are not the program's).
std::optional<Marcatore> LeggiMarcatore(const std::string& testo, const std::string& nomefile,
                                        size_t voci) {
    std::istringstream righe(testo);
    std::string prima;
    std::getline(righe, prima);
    const std::optional<int32_t> blocchi = BlocchiDelMarcatore(prima, voci);
    if (!blocchi) return std::nullopt;
    Marcatore m{*blocchi, {}};
    for (std::string r; std::getline(righe, r);) {
        r = Spazi(r);
        if (r.empty()) continue;
        if (!nomi::FileDiRecupero(r, nomefile)) return std::nullopt;
        m.recupero.push_back(r);
    }
    return m;
}

// The recovery files of the set standing under their final names in the folder.
std::vector<std::string> RecuperoPresente(const std::string& cartella, const std::string& nomefile) {
    std::vector<std::string> r;
    for (const VoceCartella& v : Fs().Elenca(cartella.empty() ? "." : cartella))
        if (v.file && !v.collegamento && nomi::FileDiRecupero(v.nome, nomefile)) r.push_back(v.nome);
    return r;
}

// The recovery files of the set parked aside ("~<name>.vecchio"), by their final names.
std::vector<std::string> RecuperoParcheggiato(const std::string& cartella,
                                              const std::string& nomefile) {
    std::vector<std::string> r;
    const std::string fine = nomi::Parcheggiato("");
    for (const VoceCartella& v : Fs().Elenca(cartella.empty() ? "." : cartella)) {
        if (!v.file || v.collegamento || !v.nome.starts_with(nomi::kPrefissoProvvisorio) ||
            !v.nome.ends_with(fine))
            continue;
        const std::string finale = v.nome.substr(1, v.nome.size() - 1 - fine.size());
        if (nomi::FileDiRecupero(finale, nomefile)) r.push_back(finale);
    }
    return r;
}

}  // namespace

void AvantiConferma(const std::string& cartella, const std::string& nomefile, int32_t blocchi,
                    const std::vector<std::string>& recupero) {
    const FileDelSet set{cartella, nomefile, blocchi};
    // The old set's recovery files step aside first, every one: a new one that took its
    // name already has no staged file left, and only the new set lists it.
    for (const std::string& r : RecuperoPresente(cartella, nomefile)) {
        const std::string nuovo = nomi::Provvisorio(cartella, r);
        const bool nostro = std::find(recupero.begin(), recupero.end(), r) != recupero.end();
        const InfoFile staged = Fs().Info(nuovo);
        if (nostro && !staged.esiste) continue;
        // A rename cut in half on FAT, as for the blocks below: the empty staged name is the half.
        if (nostro && staged.dimensione == 0 && Fs().Info(cartella + r).dimensione > 0) {
            Fs().Rimuovi(nuovo);
            continue;
        }
        const std::string vecchio = nomi::Parcheggiato(nuovo);
        if (Fs().Info(vecchio).esiste) {
            Fs().Rimuovi(cartella + r);
        } else {
            RinominaDurevole(cartella + r, vecchio);
        }
    }
    // The old set steps aside.
    set.DescrittoriPrima([](const std::string& nuovo, const std::string& finale) {
        const InfoFile staged = Fs().Info(nuovo);
        const InfoFile inUso = Fs().Info(finale);
        if (!staged.esiste || !inUso.esiste) return;
        // A power cut halfway through a rename on FAT leaves both names on the same clusters,
        // and the disk check then empties one of them. No staged file is ever empty: this one
        // is such a half, and the name it was taking holds the new file.
        if (staged.dimensione == 0 && inUso.dimensione > 0) {
            Fs().Rimuovi(nuovo);
            return;
        }
        const std::string vecchio = nomi::Parcheggiato(nuovo);
        if (Fs().Info(vecchio).esiste) {
            Fs().Rimuovi(finale);  // parked already: what stands is a leftover copy
        } else {
            RinominaDurevole(finale, vecchio);
        }
    });
    // Then the new one takes the names.
    set.DescrittoriDopo([](const std::string& nuovo, const std::string& finale) {
        if (Fs().Info(nuovo).esiste) RinominaDurevole(nuovo, finale);
    });
    // Its recovery files last: they describe blocks that are all in place.
    for (const std::string& r : recupero) {
        const std::string nuovo = nomi::Provvisorio(cartella, r);
        if (Fs().Info(nuovo).esiste) RinominaDurevole(nuovo, cartella + r);
    }
    set.SincronizzaCartella();
}

void ChiudiConferma(const std::string& cartella, const std::string& nomefile, int32_t blocchi) {
    const FileDelSet set{cartella, nomefile, blocchi};
    set.DescrittoriPrima([](const std::string& nuovo, const std::string&) {
        const std::string vecchio = nomi::Parcheggiato(nuovo);
        if (Fs().Info(vecchio).esiste) Fs().Rimuovi(vecchio);
    });
    for (const std::string& r : RecuperoParcheggiato(cartella, nomefile))
        Fs().Rimuovi(nomi::Parcheggiato(nomi::Provvisorio(cartella, r)));
    const std::string marcatore = nomi::Marcatore(cartella, nomefile);
    if (Fs().Info(marcatore).esiste) Fs().Rimuovi(marcatore);
    set.SincronizzaCartella();
}

void IndietroConferma(const std::string& cartella, const std::string& nomefile, int32_t blocchi,
                      const std::vector<std::string>& recupero) {
    const FileDelSet set{cartella, nomefile, blocchi};
    for (const std::string& r : recupero) {
        const std::string nuovo = nomi::Provvisorio(cartella, r);
        if (!Fs().Info(nuovo).esiste && Fs().Info(cartella + r).esiste)
            RinominaDurevole(cartella + r, nuovo);
    }
    // A name the new file took goes back to its staged name.
    set.DescrittoriPrima([](const std::string& nuovo, const std::string& finale) {
        if (!Fs().Info(nuovo).esiste && Fs().Info(finale).esiste) RinominaDurevole(finale, nuovo);
    });
    // The parked old file returns.
    set.DescrittoriDopo([](const std::string& nuovo, const std::string& finale) {
        const std::string vecchio = nomi::Parcheggiato(nuovo);
        if (Fs().Info(vecchio).esiste) RinominaDurevole(vecchio, finale);
    });
    for (const std::string& r : RecuperoParcheggiato(cartella, nomefile))
        RinominaDurevole(nomi::Parcheggiato(nomi::Provvisorio(cartella, r)), cartella + r);
    set.SincronizzaCartella();
    const std::string marcatore = nomi::Marcatore(cartella, nomefile);
    if (Fs().Info(marcatore).esiste) Fs().Rimuovi(marcatore);
    set.SincronizzaCartella();
}

void ConfermaSet(const std::string& cartella, const std::string& nomefile, int32_t blocchi,
                 const std::vector<std::string>& recupero) {
    // The marker says the staged set is whole: from its writing on, a run stopped among the
    // renames is finished by the next start, never left half old, half new.
    try {
        nomi::ScriviDurevole(nomi::Marcatore(cartella, nomefile), TestoMarcatore(blocchi, recupero));
        AvantiConferma(cartella, nomefile, blocchi, recupero);
    } catch (...) {
        // Back to the old set; when that fails too the marker stays, and with it every staged
        // and parked file, for the next start to go forward.
        try {
            IndietroConferma(cartella, nomefile, blocchi, recupero);
        } catch (const Errore& e) {
            Utilita().ScriviLog("Backup non annullato in " + cartella + ": " + e.Dettaglio());
        }
        throw;
    }
    // The new set is in place: what follows is tidying, which the next backup or start ends.
    try {
        ChiudiConferma(cartella, nomefile, blocchi);
    } catch (const Errore& e) {
        Utilita().ScriviLog("Pulizia dopo il backup non riuscita in " + cartella + ": " +
                            e.Dettaglio());
    }
}

bool CompletaConfermeInterrotte(const std::string& path) {
    const std::string cartella = ConSeparatore(path);
    bool completate = false;
    const std::vector<VoceCartella> voci = Fs().Elenca(cartella.empty() ? "." : cartella);
    for (const VoceCartella& v : voci) {
        const std::string nomefile = v.file ? nomi::SetDelMarcatore(v.nome) : std::string();
        if (nomefile.empty()) continue;
        const std::string marcatore = cartella + v.nome;
        // A count the folder cannot hold is a damaged marker: acted on, it would make every
        // start run through names that cannot exist.
        const std::optional<Marcatore> m =
            LeggiMarcatore(LeggiFileTesto(marcatore), nomefile, voci.size());
        if (!m) {
            Utilita().ScriviLog("Marcatore di backup danneggiato ignorato: " + marcatore);
            continue;
        }
        AvantiConferma(cartella, nomefile, m->blocchi, m->recupero);
        ChiudiConferma(cartella, nomefile, m->blocchi);
        completate = true;
    }
    return completate;
}

void ScartaSetProvvisori(const std::string& path) {
    const std::string cartella = ConSeparatore(path);
    const std::vector<VoceCartella> voci = Fs().Elenca(cartella.empty() ? "." : cartella);
    for (const VoceCartella& v : voci) {
        if (!v.file || v.collegamento) continue;
        const std::string set = nomi::SetDelResiduo(v.nome);
        if (set.empty()) continue;
        // A set whose commit a marker still covers keeps every file: the next start needs them.
        if (Fs().Info(nomi::Marcatore(cartella, set)).esiste) continue;
        Fs().Rimuovi(cartella + v.nome);
    }
}

}  // namespace bv
