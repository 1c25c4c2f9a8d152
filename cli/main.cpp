// bvbackup-cli: the backup, list and restore of the window, from the command line.
#include <atomic>
#include <iostream>

#include "cli/comandi.h"
#include "platform/console.h"
#include "platform/programma.h"

int main(int argc, char** argv) {
    // The same program as the window: the same log.
    bv::ImpostaNomeProgramma("bvbackup");
    std::ostream& uscita = bv::UscitaStandard();
    std::ostream& errore = bv::ErroreStandard();
    static std::atomic<bool> interruzione{false};
    bv::InterruzioneComeRichiesta(interruzione);
    bv::cli::Terminale t{std::cin, uscita, errore, bv::IngressoDaTerminale(),
                         bv::ErroriSuTerminale(), &interruzione};
    const int stato = bv::cli::Esegui(bv::ArgomentiProgramma(argc, argv), t);
    uscita.flush();
    errore.flush();
    return stato;
}
