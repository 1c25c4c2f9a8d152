#include "util/errori.h"

#include <utility>

#include "platform/percorsi.h"
#include "util/nomi.h"

namespace bv::errori {

Errore HostInEsecuzione(const std::string& operazione, const std::string& database) {
    std::string testo = "Impossibile effettuare il " + operazione + " se " + kHost +
                        " o un modulo aggiuntivo è in esecuzione.";
    if (!database.empty()) testo += " Il database " + PercorsoPerMessaggio(database) + " è aperto.";
    return Errore(InEsecuzione, testo);
}

Errore DatabaseIlleggibile(const std::string& database, const Errore& causa) {
    return Errore(DatabaseNonLeggibile,
                  "Impossibile leggere il database " + PercorsoPerMessaggio(database) + " (" +
                      causa.Descrizione() +
                      "). Verificare che l'utente abbia il permesso di leggere il file e ripetere "
                      "il backup.",
                  causa.Dettaglio());
}

Errore DestinazioneNonValidaODiscoNonPronto() {
    return Errore(DestinazioneNonValida, "Destinazione non valida o disco non pronto.");
}

Errore ErroreCompressione(std::string dettaglio) {
    return Errore(Compressione,
                  "Errore durante la compressione. Impossibile procedere. Vedere il file log per "
                  "maggiori dettagli.",
                  std::move(dettaglio));
}

Errore ErroreDecompressione(std::string dettaglio) {
    return Errore(Compressione,
                  "Errore durante la decompressione. Impossibile procedere. Vedere il file log "
                  "per maggiori dettagli.",
                  std::move(dettaglio));
}

Errore BackupNonTrovatoIn(const std::string& cartella) {
    return Errore(BackupNonTrovato, PercorsoPerMessaggio(cartella) + ": backup non trovato.");
}

Errore OperazioneAnnullata() {
    return Errore(Annullata, "Operazione annullata.");
}

Errore SpazioDiscoInsufficiente(std::string dettaglio) {
    return Errore(SpazioInsufficiente, "Spazio disco insufficiente.", std::move(dettaglio));
}

namespace {
std::string Mega(uint64_t byte) {  // rounded up
    return std::to_string(byte / 1048576 + (byte % 1048576 != 0 ? 1 : 0)) + " MB";
}
}  // namespace

Errore TempSenzaSpazio(const std::string& cartella, uint64_t servono, int64_t liberi) {
    std::string testo = "Spazio disco insufficiente. La cartella temporanea del programma " +
                        PercorsoPerMessaggio(cartella) +
                        ", dove il backup prepara l'archivio, non ha più spazio: l'archivio può "
                        "occupare fino a " +
                        Mega(servono);
    if (liberi >= 0)
        testo += " e sul disco ne restano liberi " + Mega(static_cast<uint64_t>(liberi));
    testo += ". Liberare spazio su quel disco e ripetere il backup.";
    return Errore(SpazioInsufficiente, testo, cartella);
}

}  // namespace bv::errori
