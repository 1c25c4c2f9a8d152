// The start-up checks.
#include "operazioni/stato_avvio.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "operazioni/impostazioni_programma.h"
#include "operazioni/ultimo_backup.h"
#include "platform/codifica.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "sicurezza/conferma_set.h"
#include "sicurezza/giornale.h"
#include "sicurezza/nomi_provvisori.h"
#include "util/errori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

void PreparaCartellaTemp() {
    std::string temp = CartellaTempProgramma();
    if (!Utilita().CreaPercorsoDirectory(temp)) throw errori::Crea(errori::TempNonCreata);
}

void PulisciCartellaTemp(const std::string& cartella) {
    const std::string temp = cartella.empty() ? CartellaTempProgramma() : cartella;
    // A Temp that leads elsewhere (a link to a shared folder) is not ours to clear.
    if (Fs().Info(temp).collegamento) {
        Utilita().ScriviLog("Cartella temporanea non ripulita: " + temp + " e' un collegamento");
        return;
    }
    std::vector<VoceCartella> voci;
    try {
        voci = Fs().Elenca(temp);
    } catch (const Errore&) {
        return;
    }
    for (const VoceCartella& v : voci) {
        if (!nomi::NostroInTemp(temp, v)) {
            Utilita().ScriviLog("Lasciato nella cartella temporanea (non creato da BVBackup): " +
                                temp + Separatore() + v.nome);
            continue;
        }
        try {
            RimuoviCartellaLavoro(temp + Separatore() + v.nome);
        } catch (const Errore& e) {  // held by something else: the next start tries again
            Utilita().ScriviLog("Avanzo non rimosso dalla cartella temporanea: " + e.Dettaglio());
        }
    }
}

std::string CreaCartellaLavoro(const std::string& temp) {
    koUtilita& u = Utilita();
    static std::mt19937 casuale(std::random_device{}());
    std::uniform_int_distribution<long> numero(1, 100001);
    const std::string base = u.AggiungiSepDir(temp);
    std::string cartella;
    // A name nothing holds yet: the work folder is ours alone, and removed as a whole.
    for (;;) {
        cartella = nomi::CartellaDiLavoro(base, numero(casuale));
        const InfoFile i = Fs().Info(cartella);
        if (!i.esiste && !i.collegamento) break;
    }
    std::string daCreare = temp;  // CreaPercorsoDirectory adds a separator to it
    u.CreaPercorsoDirectory(daCreare);
    Fs().CreaCartella(cartella);
    try {
        File segno(cartella + Separatore() + nomi::kSegnoLavoro, ModoApertura::ScritturaEsclusiva);
        segno.Chiudi();
    } catch (...) {
        try {
            RimuoviAlbero(cartella);
        } catch (const Errore&) {  // the next start's clean-up takes it
        }
        throw;
    }
    return cartella;
}

void RimuoviCartellaLavoro(const std::string& percorso) {
    if (!Fs().Info(percorso).cartella || Fs().Info(percorso).collegamento) {
        RimuoviAlbero(percorso);
        return;
    }
    // The mark goes last: a removal that stops halfway leaves the folder recognisable.
    for (const VoceCartella& v : Fs().Elenca(percorso))
        if (v.nome != nomi::kSegnoLavoro) RimuoviAlbero(percorso + Separatore() + v.nome);
    RimuoviAlbero(percorso);
}

namespace {

// A journal kept aside, untouched, for whoever looks into it: it must not stop every start.
// False when it could not be moved (it then stays where it is).
bool MettiDaParte(const char* suffisso, std::string& dove) {
    const std::string percorso = PercorsoGiornale();
    dove = percorso + suffisso;
    try {
        if (Fs().Info(dove).esiste) Fs().Rimuovi(dove);
        RinominaDurevole(percorso, dove);
        return true;
    } catch (const Errore& e) {
        Utilita().ScriviLog("Giornale del ripristino non messo da parte: " + e.Dettaglio());
        return false;
    }
}

// What to do with a journal that could be neither trusted nor moved: it would otherwise
// refuse every restore without saying why.
std::string GiornaleNonSpostato() {
    return " Il giornale " + PercorsoPerMessaggio(PercorsoGiornale()) +
           " non può essere spostato: dopo aver controllato la cartella dei dati e le copie di "
           "sicurezza, spostarlo o rimuoverlo a mano; fino ad allora non è possibile eseguire "
           "un altro ripristino.";
}

// A mark of the data folder whose journal is gone (a stop between the two removals).
void RimuoviSegniDatiOrfani(const std::string& dati) {
    if (Spazi(dati).empty() || !Fs().Info(dati).cartella) return;
    try {
        for (const VoceCartella& v : Fs().Elenca(dati)) {
            if (!v.file || !nomi::NomeSegnoDati(v.nome)) continue;
            const std::string percorso = Utilita().AggiungiSepDir(dati);
            Fs().Rimuovi(percorso + v.nome);
            Utilita().ScriviLog("Rimosso il segno di un ripristino concluso: " + percorso + v.nome);
        }
    } catch (const Errore& e) {  // the next start tries again
        Utilita().ScriviLog("Segno di un ripristino concluso non rimosso: " + e.Dettaglio());
    }
}

// Each entry finished (after the confirmation) or undone (before it); what could not be is
// returned, with the lines that name it for the user.
std::vector<VoceGiornale> SistemaVoci(const Giornale& g, std::string& elenco) {
    const bool conferma = g.fase == Giornale::Fase::Conferma;
    std::vector<VoceGiornale> rimaste;
    for (const VoceGiornale& v : g.voci) {
        try {
            if (conferma) {
                CompletaVoce(v);
                ConcludiVoce(v);
            } else {
                AnnullaVoce(v, false);
            }
        } catch (const Errore& e) {
            Utilita().ScriviLog("Ripristino interrotto: " + v.database +
                                " non sistemato: " + e.Dettaglio());
            rimaste.push_back(v);
            elenco += "\n" + PercorsoPerMessaggio(v.database);
            if (conferma) {
                if (!v.copiaDatabase.empty())
                    elenco +=
                        " (copia di sicurezza: " + PercorsoPerMessaggio(v.copiaDatabase) + ")";
                elenco += "; file ripristinato: " + PercorsoPerMessaggio(v.nuovoDatabase);
            } else {
                elenco += "; file provvisorio: " + PercorsoPerMessaggio(v.nuovoDatabase);
            }
        }
    }
    return rimaste;
}

// What is done leaves the journal; the rest waits for the next start.
std::string LasciaPerIlProssimoAvvio(const Giornale& g, std::vector<VoceGiornale> rimaste,
                                     const std::string& elenco) {
    try {
        Giornale resto = g;
        resto.voci = std::move(rimaste);
        ScriviGiornale(resto);
    } catch (const Errore& e) {
        Utilita().ScriviLog("Giornale del ripristino non aggiornato: " + e.Dettaglio());
    }
    return std::string(g.fase == Giornale::Fase::Conferma
                           ? "Un ripristino interrotto non è stato completato per:"
                           : "Un ripristino interrotto non è stato annullato per:") +
           elenco +
           "\nVerificare che Brelvano sia chiuso e che la cartella dei dati sia accessibile in "
           "scrittura: l'operazione sarà ripresa al prossimo avvio. Fino ad allora non è "
           "possibile eseguire un altro ripristino.";
}

// Every entry in place or undone: the work folder and the journal go.
std::string Concludi(const Giornale& g) {
    if (!g.cartellaLavoro.empty() && Fs().Info(g.cartellaLavoro).esiste) {
        try {
            RimuoviCartellaLavoro(g.cartellaLavoro);
        } catch (const Errore&) {  // the temporary folder's own clean-up takes it later
        }
    }
    try {
        RimuoviGiornale();
        RimuoviSegnoDati(g);
    } catch (const Errore& e) {  // finishing again at the next start changes nothing
        Utilita().ScriviLog("Giornale del ripristino non rimosso: " + e.Dettaglio());
    }
    return g.fase == Giornale::Fase::Conferma
               ? "Un ripristino interrotto è stato completato. I dati sostituiti sono nelle "
                 "copie di sicurezza (.cfb)."
               : "Un ripristino interrotto è stato annullato: i dati non sono stati modificati.";
}

// Why nothing can be decided yet, "" when every entry can be settled now: the data folder is
// not there, or is not provably the one the restore worked in, or a database it would
// replace is open.
std::string MotivoPerAttendere(const Giornale& g, const std::string& dati) {
    const char* const kFinoAdAllora =
        "; fino ad allora non è possibile eseguire un altro ripristino.";
    // A data folder that is not there now (an unmounted drive, a disconnected share) is
    // finished when it is back: nothing is decided from its absence.
    if (!Fs().Info(dati).cartella) {
        Utilita().ScriviLog(
            "Ripristino interrotto in sospeso: cartella dei dati non raggiungibile " + dati);
        return "Un ripristino interrotto non può ancora essere completato: la cartella dei dati " +
               PercorsoPerMessaggio(dati) +
               " non è raggiungibile. Sarà completato al prossimo avvio, quando la cartella sarà "
               "di nuovo disponibile" + kFinoAdAllora;
    }
    // A folder under that path that is not the one the restore changed (an empty mount point,
    // a link pointed elsewhere) proves nothing: deciding from it would leave the real one
    // half restored with no journal.
    if (!CartellaDelGiornale(g)) {
        Utilita().ScriviLog("Ripristino interrotto in sospeso: " + dati +
                            " non contiene il segno del ripristino");
        return "Un ripristino interrotto non può ancora essere completato: la cartella " +
               PercorsoPerMessaggio(dati) +
               " non è quella in cui il ripristino stava lavorando (un'unità non ancora "
               "collegata, un collegamento che porta altrove). Rendere raggiungibile la "
               "cartella dei dati di Brelvano e riavviare BVBackup: il ripristino sarà "
               "completato allora" + kFinoAdAllora;
    }
    if (g.fase != Giornale::Fase::Conferma) return {};
    // The host opened again before this start: swapping now would put its later writes
    // into the safety copy.
    const std::vector<std::string> inUso = DatabaseDelGiornaleInUso(g);
    if (inUso.empty()) return {};
    std::string elenco;
    for (const std::string& db : inUso) elenco += "\n" + PercorsoPerMessaggio(db);
    Utilita().ScriviLog("Ripristino interrotto in sospeso: database in uso" + elenco);
    return "Un ripristino interrotto non può ancora essere completato: questi database sono "
           "aperti in Brelvano o in un modulo aggiuntivo:" +
           elenco +
           "\nChiudere Brelvano e riavviare BVBackup: il ripristino sarà completato al prossimo "
           "avvio" + kFinoAdAllora;
}

}  // namespace

std::string RecuperaRipristinoInterrotto() {
    const std::string dati = LeggiImpostazione(ApplicazioneHost(), kSezioneDati, "Path");
    std::optional<Giornale> g;
    try {
        g = LeggiGiornale();
    } catch (const Errore& e) {
        Utilita().ScriviLog("Giornale del ripristino illeggibile: " + e.Dettaglio());
        std::string dove;
        const bool spostato = MettiDaParte(".illeggibile", dove);
        return std::string("Un ripristino precedente è stato interrotto e il suo giornale è "
                           "illeggibile. Controllare la cartella dei dati e le copie di "
                           "sicurezza (.cfb).") +
               (spostato ? "" : GiornaleNonSpostato());
    }
    if (!g) {
        RimuoviSegniDatiOrfani(dati);
        return {};
    }
    const std::string motivo = MotivoGiornaleNonAffidabile(*g, dati, CartellaTempProgramma());
    if (!motivo.empty()) {
        std::string dove;
        const bool spostato = MettiDaParte(".sospetto", dove);
        Utilita().ScriviLog("Giornale del ripristino non affidabile, nessun file toccato: " +
                            motivo);
        return "È stato trovato il giornale di un ripristino interrotto che non corrisponde ai "
               "dati di Brelvano (" +
               motivo + "). Nessun file è stato modificato." +
               (spostato ? " Il giornale è stato messo da parte in " + PercorsoPerMessaggio(dove) +
                               ": controllare la cartella dei dati e le copie di sicurezza (.cfb)."
                         : GiornaleNonSpostato());
    }
    if (std::string attesa = MotivoPerAttendere(*g, dati); !attesa.empty()) return attesa;
    std::string elenco;
    std::vector<VoceGiornale> rimaste = SistemaVoci(*g, elenco);
    if (!rimaste.empty()) return LasciaPerIlProssimoAvvio(*g, std::move(rimaste), elenco);
    return Concludi(*g);
}

namespace {

// A restore stopped midway is finished or undone (the user told), then the temporary folder
// is cleared of what interrupted runs left.
void RecuperaEPulisci(const AvvisoAvvio& avvisa) {
    const std::string recupero = RecuperaRipristinoInterrotto();
    if (!recupero.empty()) {
        Utilita().ScriviLog(recupero);
        if (avvisa) avvisa(recupero);
    }
    PulisciCartellaTemp();
}

// A backup stopped among its final renames: its set, whole and verified, is put in place.
void CompletaBackupInterrotti(const std::string& dest, const std::string& orig) {
    for (const std::string& cartella : {dest, orig}) {
        try {
            if (!cartella.empty() && Fs().Info(cartella).cartella &&
                CompletaConfermeInterrotte(cartella)) {
                Utilita().ScriviLog("Completato il backup interrotto in " + cartella);
            }
        } catch (const Errore& e) {
            Utilita().ScriviLog("Backup interrotto non completato in " + cartella + ": " +
                                e.Dettaglio());
        }
    }
}

}  // namespace

StatoAvvio CaricaAvvio(bool riparazioni, const AvvisoAvvio& avvisa) {
    koUtilita& u = Utilita();
    StatoAvvio s;
    if (!u.WriteAccess(CartellaProgramma())) throw errori::Crea(errori::UtenteLimitato);
    PreparaCartellaTemp();
    // A restore stopped midway is finished or undone before anything else is done.
    if (riparazioni) {
        RecuperaEPulisci(avvisa);
        PulisciUltimoBackupInterrotto();
    }
    s.cartellaInstallazione = CartellaInstallazioneHost();
    s.nonInstallato = s.cartellaInstallazione.empty();
    if (s.nonInstallato) {
        s.datiNonPresenti = true;
    } else {
        s.versione = u.GetVersione(s.cartellaInstallazione + kEseguibileHost);
        if (u.ConfrontaVersione(s.versione, kVersioneMinima) == -1) {
            throw errori::Crea(errori::VersioneHost);
        }
        s.percorsoDati = LeggiImpostazione(ApplicazioneHost(), kSezioneDati, "Path");
        s.datiNonPresenti = s.percorsoDati.empty();
    }
    s.dest = LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Dest");
    s.orig = LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Orig");
    if (riparazioni) CompletaBackupInterrotti(s.dest, s.orig);
    return s;
}

void RiparaInterruzioni(const std::string& dest, const std::string& orig,
                        const AvvisoAvvio& avvisa) {
    RecuperaEPulisci(avvisa);
    CompletaBackupInterrotti(dest, orig);
}

}  // namespace bv
