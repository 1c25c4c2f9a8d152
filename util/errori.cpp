#include "util/errori.h"

#include <utility>

#include "platform/percorsi.h"
#include "util/nomi.h"

namespace bv::errori {

Errore HostInEsecuzione(const std::string& operazione) {
    return Errore(InEsecuzione, "Impossibile effettuare il " + operazione + " se " + kHost +
                                    " o un modulo aggiuntivo è in esecuzione.");
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

}  // namespace bv::errori
