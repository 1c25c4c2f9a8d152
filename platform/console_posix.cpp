// The command line's arguments, standard streams and Ctrl+C on POSIX.
#include <signal.h>

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

namespace bv {

namespace {

std::atomic<bool>* g_richiesta = nullptr;

extern "C" void AllInterruzione(int segnale) {
    if (g_richiesta->exchange(true)) {
        // The second: the default action, now.
        ::signal(segnale, SIG_DFL);
        ::raise(segnale);
    }
}

}  // namespace

void InterruzioneComeRichiesta(std::atomic<bool>& richiesta) {
    g_richiesta = &richiesta;
    struct sigaction a {};
    a.sa_handler = AllInterruzione;
    ::sigemptyset(&a.sa_mask);
    for (const int s : {SIGINT, SIGTERM}) ::sigaction(s, &a, nullptr);
}

}  // namespace bv
