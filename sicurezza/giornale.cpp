// The restore's journal and the steps it makes repeatable.
#include "sicurezza/giornale.h"

#include <algorithm>
#include <cctype>

#include "platform/codifica.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "sicurezza/nomi_provvisori.h"
#include "util/koutilita.h"
#include "util/nomi_host.h"

namespace bv {

namespace {

constexpr const char* kIntestazione = "BVBACKUP-GIORNALE-RIPRISTINO 1";

std::string Codifica(const std::string& s) {
    std::string r;
    for (const char c : s) {
        if (c == '\\') {
            r += "\\\\";
        } else if (c == '\n') {
            r += "\\n";
        } else if (c == '\r') {
            r += "\\r";
        } else {
            r += c;
        }
    }
    return r;
}

std::string Decodifica(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char c = s[++i];
            r += c == 'n' ? '\n' : (c == 'r' ? '\r' : c);
        } else {
            r += s[i];
        }
    }
    return r;
}

bool Esiste(const std::string& p) {
    return Fs().Info(p).esiste;
}

void SincronizzaCartellaDi(const std::string& p) {
    Fs().SincronizzaCartella(CartellaDi(p));
}

void RimuoviSeEsiste(const std::string& p) {
    if (Esiste(p)) Fs().Rimuovi(p);
}

// A safety copy that leaves the live name in place: a second name for the same file, or, on a
// volume without them, a flushed copy that gets its name only when complete.
void CopiaDiSicurezza(const std::string& vivo, const std::string& copia) {
    try {
        Fs().CollegaFisso(vivo, copia);
    } catch (const Errore&) {
        const std::string provvisoria = nomi::CopiaProvvisoria(copia);
        RimuoviSeEsiste(provvisoria);
        CopiaFile(vivo, provvisoria, true);
        RinominaDurevole(provvisoria, copia);
    }
    SincronizzaCartellaDi(copia);
}

bool Separa(char c) {
    return c == '/' || c == Separatore();
}

// The path as its components say it: either separator, repeated separators and "." components
// folded ("/x//dati/./" is "/x/dati"). ".." is kept: what it climbs to depends on links.
std::string Normalizzato(const std::string& p) {
    size_t i = 0;
    while (i < p.size() && Separa(p[i])) ++i;
    // A root, or the two separators of a network share on Windows.
    std::string r(i >= 2 && Separatore() == '\\' ? 2 : std::min<size_t>(i, 1), Separatore());
    const size_t radice = r.size();
    while (i < p.size()) {
        size_t fine = i;
        while (fine < p.size() && !Separa(p[fine])) ++fine;
        const std::string parte = p.substr(i, fine - i);
        if (!parte.empty() && parte != ".") {
            if (r.size() > radice) r += Separatore();
            r += parte;
        }
        i = fine + 1;
    }
    return r;
}

// The same folder, however its path is spelled: the same components, or the same identity on
// the volume.
bool StessoPercorso(const std::string& a, const std::string& b) {
    const std::string x = Normalizzato(a);
    const std::string y = Normalizzato(b);
    // Windows names ignore letter case; POSIX names do not.
    if (Separatore() == '\\' ? UgualiIgnorandoMaiuscole(x, y) : x == y) return true;
    const InfoFile ia = Fs().Info(a);
    const InfoFile ib = Fs().Info(b);
    return ia.cartella && ib.cartella && ia.identita != 0 && ia.identita == ib.identita;
}

std::string ConSeparatore(std::string p) {
    if (!p.empty() && !Separa(p.back())) p += Separatore();
    return p;
}

// Whether the file `copia` is a safety copy of `vivo` as the restore makes it: a second name
// for it, or a copy with the same bytes.
bool CopiaDelloStessoFile(const std::string& copia, const std::string& vivo) {
    const InfoFile c = Fs().Info(copia);
    const InfoFile v = Fs().Info(vivo);
    if (c.identita != 0 && c.identita == v.identita) return true;
    try {
        return c.dimensione == v.dimensione && Utilita().ConfrontaFile(copia, vivo);
    } catch (const Errore&) {
        return false;
    }
}

// Why the entry, in the files as they are now, would replace a live database without keeping
// it: its restored file is staged beside a live database and no copy is named, or the copy
// named is another file already (an older safety copy).
std::string MotivoStatoVoce(const VoceGiornale& v) {
    if (!Esiste(v.nuovoDatabase) || !Fs().Info(v.database).file) return {};
    if (v.copiaDatabase.empty())
        return "COPIA_DATABASE vuota: " + v.database + " sarebbe sostituito senza copia di sicurezza";
    if (Esiste(v.copiaDatabase) && !CopiaDelloStessoFile(v.copiaDatabase, v.database))
        return "COPIA_DATABASE " + v.copiaDatabase + " esiste già ed è un altro file: " +
               v.database + " sarebbe sostituito senza copia di sicurezza";
    return {};
}

// A path in `cartella`, with a plain last name: nothing that climbs or turns elsewhere.
std::string FuoriDa(const std::string& p, const std::string& cartella, const char* campo) {
    const std::string nome = NomeDi(p);
    if (p.empty() || nome.empty() || nome == "." || nome == ".." ||
        nome.find('/') != std::string::npos || nome.find('\\') != std::string::npos ||
        !StessoPercorso(CartellaDi(p), cartella)) {
        return std::string(campo) + " " + p + " non è nella cartella " + cartella;
    }
    if (Fs().Info(p).collegamento) return std::string(campo) + " " + p + " è un collegamento";
    return {};
}

std::string MotivoVoce(const VoceGiornale& v, const std::string& dati) {
    for (const auto& [p, campo] :
         {std::pair{&v.database, "DATABASE"}, std::pair{&v.nuovoDatabase, "NUOVO_DATABASE"},
          std::pair{&v.cartella, "CARTELLA"}, std::pair{&v.nuovaCartella, "NUOVA_CARTELLA"}}) {
        if (std::string m = FuoriDa(*p, dati, campo); !m.empty()) return m;
    }
    for (const auto& [p, campo] : {std::pair{&v.copiaDatabase, "COPIA_DATABASE"},
                                   std::pair{&v.copiaCartella, "COPIA_CARTELLA"}}) {
        if (p->empty()) continue;
        if (std::string m = FuoriDa(*p, dati, campo); !m.empty()) return m;
    }
    const std::string db = NomeDi(v.database);
    if (!Minuscolo(db).ends_with(".mdb")) return "DATABASE " + v.database + " non è un database";
    if (Minuscolo(NomeDi(v.cartella)) != NomeBase(db))
        return "CARTELLA " + v.cartella + " non è la cartella di " + db;
    if (!nomi::CoppiaRipristinata(v.nuovoDatabase, v.nuovaCartella))
        return "NUOVO_DATABASE " + v.nuovoDatabase + " non è un nome provvisorio del ripristino";
    if (!v.copiaDatabase.empty() && !nomi::CopiaDi(v.copiaDatabase, v.database))
        return "COPIA_DATABASE " + v.copiaDatabase + " non è una copia di sicurezza";
    if (!v.copiaCartella.empty() && !nomi::CopiaDi(v.copiaCartella, v.cartella))
        return "COPIA_CARTELLA " + v.copiaCartella + " non è una copia di sicurezza";
    if (!std::all_of(v.gettone.begin(), v.gettone.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
        return "GETTONE non valido";
    return {};
}

// The mark of the staged folder, under its name `cartella`.
std::string Segno(const VoceGiornale& v, const std::string& cartella) {
    return nomi::SegnoRipristinata(cartella, v.gettone);
}

// Whether the folder at `cartella` is the restored one (rather than the old one).
bool EQuellaNuova(const VoceGiornale& v, const std::string& cartella, const InfoFile& info) {
    if (!info.cartella) return false;
    if (!v.gettone.empty()) return Fs().Info(Segno(v, cartella)).file;
    return v.identitaNuova != 0 && info.identita == v.identitaNuova;
}

// The restored folder in place loses its mark: from now on it is the live folder.
void TogliSegno(const VoceGiornale& v) {
    if (v.gettone.empty()) return;
    const std::string s = Segno(v, v.cartella);
    if (Fs().Info(s).file) {
        Fs().Rimuovi(s);
        Fs().SincronizzaCartella(v.cartella);
    }
}

}  // namespace

std::string MotivoGiornaleNonAffidabile(const Giornale& g, const std::string& dati,
                                        const std::string& temp) {
    if (Spazi(dati).empty()) return "nessuna cartella dei dati nelle impostazioni";
    if (!g.cartellaDati.empty() && !StessoPercorso(g.cartellaDati, dati))
        return "la cartella dei dati del giornale (" + g.cartellaDati +
               ") non è quella delle impostazioni (" + dati + ")";
    if (!g.cartellaLavoro.empty()) {
        if (!StessoPercorso(CartellaDi(g.cartellaLavoro), temp) ||
            !nomi::NomeDiLavoro(NomeDi(g.cartellaLavoro)))
            return "LAVORO " + g.cartellaLavoro + " non è una cartella di lavoro del programma";
        const InfoFile lavoro = Fs().Info(g.cartellaLavoro);
        if (lavoro.collegamento) return "LAVORO " + g.cartellaLavoro + " è un collegamento";
        // A numbered folder of the user's in Temp ("2023") is not ours to remove.
        if (lavoro.esiste &&
            !Fs().Info(g.cartellaLavoro + Separatore() + nomi::kSegnoLavoro).file)
            return "LAVORO " + g.cartellaLavoro + " non è segnata come cartella di lavoro";
    }
    if (!g.gettoneDati.empty() && !nomi::NomeSegnoDati(nomi::kSegnoDati + g.gettoneDati))
        return "GETTONE_DATI non valido";
    for (const VoceGiornale& v : g.voci)
        if (std::string m = MotivoVoce(v, dati); !m.empty()) return m;
    if (g.fase == Giornale::Fase::Conferma) {
        for (const VoceGiornale& v : g.voci)
            if (std::string m = MotivoStatoVoce(v); !m.empty()) return m;
    }
    return {};
}

bool GiornaleUtilizzabile(const std::string& dati, const std::string& temp) {
    try {
        const std::optional<Giornale> g = LeggiGiornale();
        return !g || MotivoGiornaleNonAffidabile(*g, dati, temp).empty();
    } catch (const Errore&) {
        return false;
    }
}

namespace {
std::string SegnoDatiDi(const Giornale& g) {
    return nomi::SegnoCartellaDati(ConSeparatore(g.cartellaDati), g.gettoneDati);
}
}  // namespace

void CreaSegnoDati(const Giornale& g) {
    File segno(SegnoDatiDi(g), ModoApertura::ScritturaEsclusiva);
    segno.Sincronizza();
    segno.Chiudi();
    Fs().SincronizzaCartella(CartellaDi(SegnoDatiDi(g)));
}

void RimuoviSegnoDati(const Giornale& g) {
    if (g.gettoneDati.empty()) return;
    RimuoviSeEsiste(SegnoDatiDi(g));
    SincronizzaCartellaDi(SegnoDatiDi(g));
}

bool CartellaDelGiornale(const Giornale& g) {
    if (!g.gettoneDati.empty()) return Fs().Info(SegnoDatiDi(g)).file;
    // An earlier version's journal: some entry must show one of its own forms.
    for (const VoceGiornale& v : g.voci) {
        if (Esiste(v.nuovoDatabase) || Esiste(v.nuovaCartella)) return true;
        if (!v.gettone.empty() && Fs().Info(Segno(v, v.cartella)).file) return true;
        for (const std::string* copia : {&v.copiaDatabase, &v.copiaCartella})
            if (!copia->empty() && Esiste(*copia)) return true;
    }
    return false;
}

std::vector<std::string> DatabaseDelGiornaleInUso(const Giornale& g) {
    std::vector<std::string> inUso;
    for (const VoceGiornale& v : g.voci)
        if (Fs().Info(v.database).file && Utilita().FileAperto(v.database))
            inUso.push_back(v.database);
    return inUso;
}

std::string PercorsoGiornale() {
    return Utilita().AggiungiSepDir(CartellaProgramma()) + "ripristino-in-corso.bvj";
}

void ScriviGiornale(const Giornale& g) {
    std::string t = std::string(kIntestazione) + "\n";
    t += std::string("FASE=") + (g.fase == Giornale::Fase::Conferma ? "conferma" : "preparazione") +
         "\n";
    if (!g.cartellaDati.empty()) t += "DATI=" + Codifica(g.cartellaDati) + "\n";
    t += "LAVORO=" + Codifica(g.cartellaLavoro) + "\n";
    for (const VoceGiornale& v : g.voci) {
        t += "VOCE\n";
        t += "DATABASE=" + Codifica(v.database) + "\n";
        t += "NUOVO_DATABASE=" + Codifica(v.nuovoDatabase) + "\n";
        t += "COPIA_DATABASE=" + Codifica(v.copiaDatabase) + "\n";
        t += "CARTELLA=" + Codifica(v.cartella) + "\n";
        t += "NUOVA_CARTELLA=" + Codifica(v.nuovaCartella) + "\n";
        t += "COPIA_CARTELLA=" + Codifica(v.copiaCartella) + "\n";
        t += "IDENTITA=" + std::to_string(v.identitaNuova) + "\n";
        if (!v.gettone.empty()) t += "GETTONE=" + v.gettone + "\n";
    }
    // After the entries, where earlier versions' readers pass over a key they do not know.
    if (!g.gettoneDati.empty()) t += "GETTONE_DATI=" + g.gettoneDati + "\n";
    t += "FINE\n";
    ScriviFileAtomico(PercorsoGiornale(), t.data(), t.size());
}

std::optional<Giornale> LeggiGiornale() {
    const std::string percorso = PercorsoGiornale();
    if (!Esiste(percorso)) return std::nullopt;
    const std::string testo = LeggiFileTesto(percorso);
    const Errore illeggibile(num::ErroreIO, TestoErroreStandard(num::ErroreIO),
                             "giornale del ripristino illeggibile: " + percorso);
    Giornale g;
    bool intestazione = false;
    bool fine = false;
    size_t inizio = 0;
    while (inizio < testo.size()) {
        size_t a = testo.find('\n', inizio);
        if (a == std::string::npos) a = testo.size();
        const std::string riga = testo.substr(inizio, a - inizio);
        inizio = a + 1;
        if (!intestazione) {
            if (riga != kIntestazione) throw illeggibile;
            intestazione = true;
            continue;
        }
        if (riga == "FINE") {
            fine = true;
            break;
        }
        if (riga == "VOCE") {
            g.voci.emplace_back();
            continue;
        }
        const size_t uguale = riga.find('=');
        if (uguale == std::string::npos) throw illeggibile;
        const std::string chiave = riga.substr(0, uguale);
        const std::string valore = Decodifica(riga.substr(uguale + 1));
        if (chiave == "FASE") {
            g.fase = valore == "conferma" ? Giornale::Fase::Conferma : Giornale::Fase::Preparazione;
            continue;
        }
        if (chiave == "LAVORO") {
            g.cartellaLavoro = valore;
            continue;
        }
        if (chiave == "DATI") {
            g.cartellaDati = valore;
            continue;
        }
        if (chiave == "GETTONE_DATI") {
            g.gettoneDati = valore;
            continue;
        }
        if (g.voci.empty()) throw illeggibile;
        VoceGiornale& v = g.voci.back();
        if (chiave == "DATABASE") v.database = valore;
        if (chiave == "NUOVO_DATABASE") v.nuovoDatabase = valore;
        if (chiave == "COPIA_DATABASE") v.copiaDatabase = valore;
        if (chiave == "CARTELLA") v.cartella = valore;
        if (chiave == "NUOVA_CARTELLA") v.nuovaCartella = valore;
        if (chiave == "COPIA_CARTELLA") v.copiaCartella = valore;
        if (chiave == "GETTONE") v.gettone = valore;
        if (chiave == "IDENTITA") {
            try {
                v.identitaNuova = std::stoull(valore);
            } catch (const std::exception&) {
                throw illeggibile;
            }
        }
    }
    if (!fine) throw illeggibile;
    return g;
}

void RimuoviGiornale() {
    const std::string p = PercorsoGiornale();
    if (Esiste(p)) Fs().Rimuovi(p);
    SincronizzaCartellaDi(p);
}

void CompletaVoce(const VoceGiornale& v) {
    if (!v.copiaDatabase.empty()) RimuoviSeEsiste(nomi::CopiaProvvisoria(v.copiaDatabase));
    if (Esiste(v.nuovoDatabase)) {
        if (!v.copiaDatabase.empty() && !Esiste(v.copiaDatabase) && Fs().Info(v.database).file)
            CopiaDiSicurezza(v.database, v.copiaDatabase);
        RinominaDurevole(v.nuovoDatabase, v.database);  // the live name is replaced in one step
        SincronizzaCartellaDi(v.database);
    }
    const InfoFile messa = Fs().Info(v.nuovaCartella);
    if (!messa.esiste) return;
    const InfoFile vivo = Fs().Info(v.cartella);
    const std::string copia =
        !v.copiaCartella.empty() ? v.copiaCartella : nomi::NomeLibero(v.cartella, "cfb");
    const bool vivoNuovo = EQuellaNuova(v, v.cartella, vivo);
    // Neither name carries the mark: what stands there is not what the journal describes.
    if (!v.gettone.empty() && vivo.esiste && !vivoNuovo &&
        !EQuellaNuova(v, v.nuovaCartella, messa)) {
        throw Errore(num::ErroreIO, TestoErroreStandard(num::ErroreIO),
                     v.nuovaCartella + ": la cartella ripristinata non è riconoscibile");
    }
    if (vivoNuovo) {
        RinominaDurevole(v.nuovaCartella, copia);  // exchanged already: the old one is staged
    } else if (vivo.esiste) {
        if (Fs().ScambiaNomi(v.nuovaCartella, v.cartella)) {
            RinominaDurevole(v.nuovaCartella, copia);
        } else {
            RinominaDurevole(v.cartella, copia);
            RinominaDurevole(v.nuovaCartella, v.cartella);
        }
    } else {
        RinominaDurevole(v.nuovaCartella, v.cartella);
    }
    SincronizzaCartellaDi(v.cartella);
}

void ConcludiVoce(const VoceGiornale& v) {
    if (EQuellaNuova(v, v.cartella, Fs().Info(v.cartella))) TogliSegno(v);
}

void AnnullaVoce(const VoceGiornale& v, bool confermata) {
    const InfoFile messa = Fs().Info(v.nuovaCartella);
    const InfoFile viva = Fs().Info(v.cartella);
    const bool nuovaAlPosto = EQuellaNuova(v, v.cartella, viva);
    if (!v.copiaDatabase.empty()) RimuoviSeEsiste(nomi::CopiaProvvisoria(v.copiaDatabase));
    if (!confermata) {
        if (messa.esiste) RimuoviAlbero(v.nuovaCartella);
        if (Esiste(v.nuovoDatabase)) Fs().Rimuovi(v.nuovoDatabase);
        return;
    }
    // The folder.
    if (messa.esiste && nuovaAlPosto) {
        // Exchanged: the old folder stands at the staged name.
        if (Fs().ScambiaNomi(v.nuovaCartella, v.cartella)) {
            RimuoviAlbero(v.nuovaCartella);
        } else {
            RimuoviAlbero(v.cartella);
            RinominaDurevole(v.nuovaCartella, v.cartella);
        }
    } else if (messa.esiste && !viva.esiste && !v.copiaCartella.empty() &&
               Esiste(v.copiaCartella)) {
        RinominaDurevole(v.copiaCartella, v.cartella);  // halfway through two renames
        RimuoviAlbero(v.nuovaCartella);
    } else if (messa.esiste) {
        RimuoviAlbero(v.nuovaCartella);  // not yet in place
    } else if (nuovaAlPosto) {
        if (!v.copiaCartella.empty() && Esiste(v.copiaCartella)) {
            if (Fs().ScambiaNomi(v.copiaCartella, v.cartella)) {
                RimuoviAlbero(v.copiaCartella);
            } else {
                RimuoviAlbero(v.cartella);
                RinominaDurevole(v.copiaCartella, v.cartella);
            }
        } else if (v.copiaCartella.empty()) {
            RimuoviAlbero(v.cartella);  // there was no folder before
        }
    }
    // The database.
    if (Esiste(v.nuovoDatabase)) {
        // Not in place: the old database is still live; drop its copy and the staged file.
        if (!v.copiaDatabase.empty() && Esiste(v.copiaDatabase) && Esiste(v.database))
            Fs().Rimuovi(v.copiaDatabase);
        Fs().Rimuovi(v.nuovoDatabase);
    } else if (!v.copiaDatabase.empty()) {
        if (Esiste(v.copiaDatabase)) RinominaDurevole(v.copiaDatabase, v.database);
    } else if (Esiste(v.database)) {
        Fs().Rimuovi(v.database);  // restored where there was none
    }
    SincronizzaCartellaDi(v.database);
}

bool RipristinoInSospeso() {
    return Esiste(PercorsoGiornale());
}

}  // namespace bv
