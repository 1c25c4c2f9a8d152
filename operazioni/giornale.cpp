// The restore's journal and the steps it makes repeatable.
#include "operazioni/giornale.h"

#include "operazioni/ripristino.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "util/koutilita.h"

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

// A safety copy that leaves the live name in place: a second name for the same file, or, on a
// volume without them, a flushed copy that gets its name only when complete.
std::string CopiaProvvisoria(const std::string& copia) {
    return copia + ".~bvtmp";
}

void RimuoviSeEsiste(const std::string& p) {
    if (Esiste(p)) Fs().Rimuovi(p);
}

void CopiaDiSicurezza(const std::string& vivo, const std::string& copia) {
    try {
        Fs().CollegaFisso(vivo, copia);
    } catch (const Errore&) {
        const std::string provvisoria = CopiaProvvisoria(copia);
        RimuoviSeEsiste(provvisoria);
        CopiaFile(vivo, provvisoria, true);
        Fs().Rinomina(provvisoria, copia);
    }
    SincronizzaCartellaDi(copia);
}

}  // namespace

std::string PercorsoGiornale() {
    std::string cartella = CartellaProgramma();
    return Utilita().AggiungiSepDir(cartella) + "ripristino-in-corso.bvj";
}

void ScriviGiornale(const Giornale& g) {
    std::string t = std::string(kIntestazione) + "\n";
    t += std::string("FASE=") + (g.fase == Giornale::Fase::Conferma ? "conferma" : "preparazione") +
         "\n";
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
    }
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
        if (g.voci.empty()) throw illeggibile;
        VoceGiornale& v = g.voci.back();
        if (chiave == "DATABASE") v.database = valore;
        if (chiave == "NUOVO_DATABASE") v.nuovoDatabase = valore;
        if (chiave == "COPIA_DATABASE") v.copiaDatabase = valore;
        if (chiave == "CARTELLA") v.cartella = valore;
        if (chiave == "NUOVA_CARTELLA") v.nuovaCartella = valore;
        if (chiave == "COPIA_CARTELLA") v.copiaCartella = valore;
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
    if (!v.copiaDatabase.empty()) RimuoviSeEsiste(CopiaProvvisoria(v.copiaDatabase));
    if (Esiste(v.nuovoDatabase)) {
        if (!v.copiaDatabase.empty() && !Esiste(v.copiaDatabase) && Fs().Info(v.database).file)
            CopiaDiSicurezza(v.database, v.copiaDatabase);
        Fs().Rinomina(v.nuovoDatabase, v.database);  // the live name is replaced in one step
        SincronizzaCartellaDi(v.database);
    }
    if (!Esiste(v.nuovaCartella)) return;
    const InfoFile vivo = Fs().Info(v.cartella);
    const std::string copia =
        !v.copiaCartella.empty() ? v.copiaCartella : NomeLibero(v.cartella, "cfb");
    if (vivo.esiste && vivo.identita == v.identitaNuova) {
        Fs().Rinomina(v.nuovaCartella, copia);  // exchanged already: the old one is staged
    } else if (vivo.esiste) {
        if (Fs().ScambiaNomi(v.nuovaCartella, v.cartella)) {
            Fs().Rinomina(v.nuovaCartella, copia);
        } else {
            Fs().Rinomina(v.cartella, copia);
            Fs().Rinomina(v.nuovaCartella, v.cartella);
        }
    } else {
        Fs().Rinomina(v.nuovaCartella, v.cartella);
    }
    SincronizzaCartellaDi(v.cartella);
}

void AnnullaVoce(const VoceGiornale& v, bool confermata) {
    const InfoFile messa = Fs().Info(v.nuovaCartella);
    const InfoFile viva = Fs().Info(v.cartella);
    const bool nuovaAlPosto =
        viva.esiste && v.identitaNuova != 0 && viva.identita == v.identitaNuova;
    if (!v.copiaDatabase.empty()) RimuoviSeEsiste(CopiaProvvisoria(v.copiaDatabase));
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
            Fs().Rinomina(v.nuovaCartella, v.cartella);
        }
    } else if (messa.esiste && !viva.esiste && !v.copiaCartella.empty() &&
               Esiste(v.copiaCartella)) {
        Fs().Rinomina(v.copiaCartella, v.cartella);  // halfway through two renames
        RimuoviAlbero(v.nuovaCartella);
    } else if (messa.esiste) {
        RimuoviAlbero(v.nuovaCartella);  // not yet in place
    } else if (nuovaAlPosto) {
        if (!v.copiaCartella.empty() && Esiste(v.copiaCartella)) {
            if (Fs().ScambiaNomi(v.copiaCartella, v.cartella)) {
                RimuoviAlbero(v.copiaCartella);
            } else {
                RimuoviAlbero(v.cartella);
                Fs().Rinomina(v.copiaCartella, v.cartella);
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
        if (Esiste(v.copiaDatabase)) Fs().Rinomina(v.copiaDatabase, v.database);
    } else if (Esiste(v.database)) {
        Fs().Rimuovi(v.database);  // restored where there was none
    }
    SincronizzaCartellaDi(v.database);
}

std::string RecuperaRipristinoInterrotto() {
    std::optional<Giornale> g;
    try {
        g = LeggiGiornale();
    } catch (const Errore& e) {
        // Kept aside for whoever looks into it; it must not stop every start.
        const std::string p = PercorsoGiornale();
        try {
            Fs().Rinomina(p, p + ".illeggibile");
        } catch (const Errore&) {
        }
        Utilita().ScriviLog("Giornale del ripristino illeggibile: " + e.Dettaglio());
        return "Un ripristino precedente è stato interrotto e il suo giornale è illeggibile. "
               "Controllare la cartella dei dati e le copie di sicurezza (.cfb).";
    }
    if (!g) return {};
    std::string messaggio;
    if (g->fase == Giornale::Fase::Conferma) {
        for (const VoceGiornale& v : g->voci) CompletaVoce(v);
        messaggio =
            "Un ripristino interrotto è stato completato. I dati sostituiti sono nelle copie "
            "di sicurezza (.cfb).";
    } else {
        for (const VoceGiornale& v : g->voci) AnnullaVoce(v, false);
        messaggio = "Un ripristino interrotto è stato annullato: i dati non sono stati modificati.";
    }
    if (!g->cartellaLavoro.empty() && Esiste(g->cartellaLavoro)) {
        try {
            RimuoviAlbero(g->cartellaLavoro);
        } catch (const Errore&) {  // the temporary folder's own clean-up takes it later
        }
    }
    RimuoviGiornale();
    return messaggio;
}

}  // namespace bv
