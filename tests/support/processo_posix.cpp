// Child processes for the end-to-end tests: pipes, or a pseudo-terminal.
#include "tests/support/processo.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/variabili.h"

namespace bv::test {

namespace {

[[noreturn]] void Avvia(const std::string& programma, const std::vector<std::string>& argomenti,
                        const std::map<std::string, std::string>& ambiente) {
    for (const auto& [k, v] : ambiente) test::ImpostaVariabile(k.c_str(), v.c_str());
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(programma.c_str()));
    for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(programma.c_str(), argv.data());
    ::_exit(127);
}

int Attendi(pid_t pid) {
    int stato = 0;
    ::waitpid(pid, &stato, 0);
    return WIFEXITED(stato) ? WEXITSTATUS(stato) : -1;
}

}  // namespace

EsitoProcesso EseguiProcesso(const std::string& programma,
                             const std::vector<std::string>& argomenti,
                             const std::map<std::string, std::string>& ambiente, int secondi) {
    int out[2];
    int err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nulla = ::open("/dev/null", O_RDONLY);
        ::dup2(nulla, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        Avvia(programma, argomenti, ambiente);
    }
    ::close(out[1]);
    ::close(err[1]);
    EsitoProcesso e;
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(secondi);
    pollfd fd[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int aperti = 2;
    while (aperti > 0 && std::chrono::steady_clock::now() < limite) {
        if (::poll(fd, 2, 200) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fd[i].fd < 0 || (fd[i].revents & (POLLIN | POLLHUP)) == 0) continue;
            char buf[4096];
            const ssize_t n = ::read(fd[i].fd, buf, sizeof buf);
            if (n <= 0) {
                ::close(fd[i].fd);
                fd[i].fd = -1;
                --aperti;
            } else {
                (i == 0 ? e.out : e.err).append(buf, static_cast<size_t>(n));
            }
        }
    }
    if (aperti > 0) {
        ::kill(pid, SIGKILL);
        for (auto& f : fd) {
            if (f.fd >= 0) ::close(f.fd);
        }
    }
    e.stato = Attendi(pid);
    return e;
}

EsitoProcesso EseguiSuTerminale(const std::string& programma,
                                const std::vector<std::string>& argomenti,
                                const std::map<std::string, std::string>& ambiente,
                                const std::function<std::string(const std::string&)>& rispondi,
                                int secondi) {
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return {};
    if (pid == 0) Avvia(programma, argomenti, ambiente);
    EsitoProcesso e;
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(secondi);
    size_t risposto = 0;  // output already answered
    for (;;) {
        if (std::chrono::steady_clock::now() >= limite) {
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd fd{master, POLLIN, 0};
        const int r = ::poll(&fd, 1, 300);
        if (r > 0) {
            char buf[4096];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0) break;  // the program ended
            e.out.append(buf, static_cast<size_t>(n));
            continue;
        }
        if (r == 0 && e.out.size() > risposto) {  // output paused: maybe a question
            const std::string risposta = rispondi(e.out);
            if (!risposta.empty()) {
                risposto = e.out.size();
                (void)!::write(master, risposta.data(), risposta.size());
            }
        }
    }
    ::close(master);
    e.stato = Attendi(pid);
    return e;
}

ProcessoCheTieneAperto::ProcessoCheTieneAperto(const std::string& percorso, int modo) {
    int pronto[2];
    int fine[2];
    if (::pipe(pronto) != 0 || ::pipe(fine) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(pronto[0]);
        ::close(fine[1]);  // or the read below would never see the end
        const int fd = ::open(percorso.c_str(), modo == kApertoEsclusivo ? O_RDWR : modo);
        char c = fd >= 0 ? 'k' : 'x';
        (void)!::write(pronto[1], &c, 1);
        (void)!::read(fine[0], &c, 1);
        ::_exit(0);
    }
    ::close(pronto[1]);
    ::close(fine[0]);
    fine_ = fine[1];
    char c = 0;
    const bool aperto = ::read(pronto[0], &c, 1) == 1 && c == 'k';
    ::close(pronto[0]);
    if (!aperto) throw std::runtime_error("il processo figlio non ha aperto " + percorso);
}

ProcessoCheTieneAperto::~ProcessoCheTieneAperto() {
    ::close(static_cast<int>(fine_));
    ::waitpid(static_cast<pid_t>(pid_), nullptr, 0);
}

}  // namespace bv::test
