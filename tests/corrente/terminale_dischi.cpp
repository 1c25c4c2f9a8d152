// Runs a command on a terminal of its own and answers its disk requests as a person at the
// drive would: at each "[R]iprova / [A]nnulla" it runs the disk-changing command given and
// answers "r" if that succeeded, "a" if there is no further disk. Everything the command
// writes goes to standard output; the request's line is in BV_DOMANDA for the disk-changing
// command. For the power-cut machine, which has no person at it.
//
//   terminale-dischi CAMBIA-DISCO COMANDO [ARGOMENTI...]
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "uso: %s CAMBIA-DISCO COMANDO [ARGOMENTI...]\n", argv[0]);
        return 2;
    }
    int master = -1;
    const pid_t figlio = forkpty(&master, nullptr, nullptr, nullptr);
    if (figlio < 0) {
        std::perror("forkpty");
        return 2;
    }
    if (figlio == 0) {
        execv(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    const std::string domanda = "[R]iprova / [A]nnulla: ";
    std::string coda;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // EIO once the command has ended
        fwrite(buf, 1, static_cast<size_t>(n), stdout);
        fflush(stdout);
        coda.append(buf, static_cast<size_t>(n));
        const auto p = coda.find(domanda);
        if (p == std::string::npos) {
            if (coda.size() > 4096) coda.erase(0, coda.size() - 1024);
            continue;
        }
        const auto inizio = coda.rfind('\n', p);
        const std::string riga =
            coda.substr(inizio == std::string::npos ? 0 : inizio + 1, p - (inizio + 1));
        coda.erase(0, p + domanda.size());
        setenv("BV_DOMANDA", riga.c_str(), 1);
        const bool cambiato = std::system(argv[1]) == 0;
        const char* risposta = cambiato ? "r\n" : "a\n";
        if (write(master, risposta, 2) != 2) break;
    }
    int stato = 0;
    if (waitpid(figlio, &stato, 0) < 0) return 2;
    return WIFEXITED(stato) ? WEXITSTATUS(stato) : 128 + WTERMSIG(stato);
}
