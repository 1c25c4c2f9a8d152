// The command line's arguments and standard streams on POSIX: as they are.
#include <iostream>

#include "platform/console.h"

namespace bv {

std::vector<std::string> ArgomentiProgramma(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::ostream& UscitaStandard() {
    return std::cout;
}

std::ostream& ErroreStandard() {
    return std::cerr;
}

}  // namespace bv
