// Shared names and folders of the program.
#include "operazioni/impostazioni_programma.h"

#include "platform/programma.h"
#include "util/koutilita.h"

namespace bv {

std::string ApplicazioneProgramma() {
    return std::string("KO_") + kTitoloProgramma;
}
std::string ApplicazioneHost() {
    return std::string("KO_") + kHost;
}

std::string CartellaTempProgramma() {
    return Utilita().AggiungiSepDir(CartellaProgramma()) + "Temp";
}

std::string CartellaInstallazioneHost() {
    return Utilita().CartellaApplicazione(kEseguibileHost);
}

}  // namespace bv
