// The start-up checks.
#include "operazioni/avvio.h"

#include "operazioni/programma.h"
#include "platform/errore.h"
#include "platform/impostazioni.h"
#include "platform/programma.h"
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

StatoAvvio CaricaAvvio() {
    koUtilita& u = Utilita();
    StatoAvvio s;
    u.CurDirApp();
    if (!u.WriteAccess(CartellaProgramma())) throw Errore(3001, kMessaggioUtente);
    PreparaCartellaTemp();
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
    return s;
}

}  // namespace bv
