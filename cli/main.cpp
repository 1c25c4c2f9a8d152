// bvbackup-cli: the backup, list and restore of the window, from the command line.
#include <unistd.h>

#include <iostream>

#include "cli/comandi.h"
#include "platform/programma.h"

int main(int argc, char** argv) {
    // The same program as the window: the same log.
    bv::ImpostaNomeProgramma("bvbackup");
    bv::cli::Terminale t{std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) != 0,
                         ::isatty(STDERR_FILENO) != 0};
    return bv::cli::Esegui(std::vector<std::string>(argv + 1, argv + argc), t);
}
