// bvbackup-cli: the backup, list and restore of the window, from the command line.
#include <iostream>

#include "cli/comandi.h"
#include "platform/programma.h"

int main(int argc, char** argv) {
    // The same program as the window: the same log.
    bv::ImpostaNomeProgramma("bvbackup");
    bv::cli::Terminale t{std::cin, std::cout, std::cerr, bv::IngressoDaTerminale(),
                         bv::ErroriSuTerminale()};
    return bv::cli::Esegui(std::vector<std::string>(argv + 1, argv + argc), t);
}
