// The start-up checks.
#include "operazioni/avvio.h"

#include <algorithm>
#include <cctype>

#include "operazioni/giornale.h"
#include "operazioni/programma.h"
#include "platform/codifica.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "span/clsspan.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

namespace {
constexpr const char* kMessaggioUtente =
    "Per poter eseguire il modulo è necessario usare un utente senza limitazioni.";
}

void PreparaCartellaTemp() {
    std::string temp = CartellaTempProgramma();
    if (!Utilita().CreaPercorsoDirectory(temp)) throw Errore(3002, kMessaggioUtente);
}

namespace {

bool SoloCifre(const std::string& n) {
    return !n.empty() && n.find_first_not_of("0123456789") == std::string::npos;
}

bool NomeNostroInTemp(const std::string& temp, const VoceCartella& v) {
    const std::string& n = v.nome;
    if (v.collegamento) return false;  // never ours: this program makes no links
    if (v.cartella) {
        // A restore's work folder: a number, with the mark written when it was made (an empty
        // one, whose removal stopped before the folder itself, loses nothing either).
        if (!SoloCifre(n)) return false;
        const std::string c = temp + Separatore() + n;
        if (Fs().Info(c + Separatore() + kSegnoLavoro).file) return true;
        try {
            return Fs().Elenca(c).empty();
        } catch (const Errore&) {
            return false;
        }
    }
    if (!v.file) return false;
    // The temporary archive; the rebuild's name for it while it grows; the name libzip writes
    // it under when it rewrites it (six letters or digits after a dot); the write-access probe.
    const std::string archivio = kArchivioTemporaneo;
    if (n == archivio || n == "~" + archivio + ".tmp" || n == koUtilita::kFileProva) return true;
    if (n.size() == archivio.size() + 7 && n.starts_with(archivio + ".")) {
        return std::all_of(n.begin() + static_cast<std::ptrdiff_t>(archivio.size()) + 1, n.end(),
                           [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
    }
    return false;
}

}  // namespace

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
        if (!NomeNostroInTemp(temp, v)) {
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

void RimuoviCartellaLavoro(const std::string& percorso) {
    if (!Fs().Info(percorso).cartella || Fs().Info(percorso).collegamento) {
        RimuoviAlbero(percorso);
        return;
    }
    // The mark goes last: a removal that stops halfway leaves the folder recognisable.
    for (const VoceCartella& v : Fs().Elenca(percorso))
        if (v.nome != kSegnoLavoro) RimuoviAlbero(percorso + Separatore() + v.nome);
    RimuoviAlbero(percorso);
}

namespace {

// A restore stopped midway is finished or undone (the user told), then the temporary folder
// is cleared of what interrupted runs left.
void RecuperaEPulisci() {
    const std::string recupero = RecuperaRipristinoInterrotto();
    if (!recupero.empty()) {
        InterazioneCorrente().Messaggio(recupero, "Ripristino", Icona::Informazione, Pulsanti::Ok);
    }
    PulisciCartellaTemp();
}

// A backup stopped among its final renames: its set, whole and verified, is put in place.
void CompletaBackupInterrotti(const std::string& dest, const std::string& orig) {
    for (const std::string& cartella : {dest, orig}) {
        try {
            if (!cartella.empty() && Fs().Info(cartella).cartella &&
                ClsSpan::CompletaConfermeInterrotte(cartella)) {
                Utilita().ScriviLog("Completato il backup interrotto in " + cartella);
            }
        } catch (const Errore& e) {
            Utilita().ScriviLog("Backup interrotto non completato in " + cartella + ": " +
                                e.Dettaglio());
        }
    }
}

}  // namespace

StatoAvvio CaricaAvvio(bool riparazioni) {
    koUtilita& u = Utilita();
    StatoAvvio s;
    u.CurDirApp();
    if (!u.WriteAccess(CartellaProgramma())) throw Errore(3001, kMessaggioUtente);
    PreparaCartellaTemp();
    // A restore stopped midway is finished or undone before anything else is done.
    if (riparazioni) RecuperaEPulisci();
    s.cartellaInstallazione = CartellaInstallazioneHost();
    s.nonInstallato = s.cartellaInstallazione.empty();
    if (s.nonInstallato) {
        s.datiNonPresenti = true;
    } else {
        s.versione = u.GetVersione(s.cartellaInstallazione + kEseguibileHost);
        if (u.ConfrontaVersione(s.versione, kVersioneMinima) == -1) {
            throw Errore(3012,
                         "Il modulo di backup è applicabile unicamente alla versione 1.0.0.0 o "
                         "versione successiva "
                         "di Brelvano.");
        }
        s.percorsoDati = LeggiImpostazione(ApplicazioneHost(), kSezioneDati, "Path");
        s.datiNonPresenti = s.percorsoDati.empty();
    }
    s.dest = LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Dest");
    s.orig = LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Orig");
    if (riparazioni) CompletaBackupInterrotti(s.dest, s.orig);
    return s;
}

void RiparaInterruzioni(const std::string& dest, const std::string& orig) {
    RecuperaEPulisci();
    CompletaBackupInterrotti(dest, orig);
}

}  // namespace bv
