// The locks' names and errors, and the call of a second copy to the running one: a request
// file beside the lock.
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/istanza.h"
#include "platform/percorsi.h"
#include "platform/programma.h"

namespace bv {

namespace {

std::string NelProgramma(const char* nome) {
    std::string cartella = CartellaProgramma();
    if (!cartella.empty() && cartella.back() != Separatore()) cartella += Separatore();
    return cartella + nome;
}

}  // namespace

std::string PercorsoBloccoIstanza() {
    return NelProgramma("bvbackup.lock");
}

std::string PercorsoBloccoOperazione() {
    return NelProgramma("bvbackup-operazione.lock");
}

BloccoIstanza::BloccoIstanza() : BloccoEsclusivo(PercorsoBloccoIstanza()) {}

BloccoOperazione::BloccoOperazione() : BloccoEsclusivo(PercorsoBloccoOperazione()) {}

Errore ErroreOperazioneInCorso() {
    return Errore(3004,
                  "Un backup o un ripristino è in corso in un'altra copia di BVBackup (ad esempio "
                  "un backup pianificato). Attendere che termini e riprovare.");
}

Errore ErroreBloccoIstanza(const std::string& percorso, int codice) {
    return Errore(3003,
                  "Impossibile verificare che non sia in esecuzione un'altra copia di BVBackup: " +
                      percorso + " non può essere usato come blocco. Rimuoverlo e riprovare.",
                  percorso + ": " + std::to_string(codice))
        .CodiceSistema(codice);
}

std::string PercorsoChiamataIstanza() {
    return NelProgramma("bvbackup.mostra");
}

void ChiamaPrimaCopia() {
    CediPrimoPiano();
    try {
        static constexpr char kTesto[] = "mostra\n";
        ScriviFileAtomico(PercorsoChiamataIstanza(), kTesto, sizeof kTesto - 1);
    } catch (const Errore&) {  // a folder that cannot be written: the copy stays where it is
    }
}

}  // namespace bv
