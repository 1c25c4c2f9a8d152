// The locks' names and errors, and the call of a second copy to the running one: a request
// file beside the lock.
#include "platform/errore.h"
#include "platform/errori_piattaforma.h"
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
    return Errore(errori::OperazioneInCorso, errori::kTestoOperazioneInCorso);
}

Errore ErroreBloccoIstanza(const std::string& percorso, int codice) {
    return Errore(errori::BloccoNonUtilizzabile,
                  Componi(errori::kTestoBloccoNonUtilizzabile, {percorso}),
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
