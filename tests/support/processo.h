// Runs a program as a user would, with its own environment, and collects what it prints.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bv::test {

struct EsitoProcesso {
    int stato = -1;  // exit status, -1 when it did not end normally
    std::string out;
    std::string err;
};

// Standard input is empty (no terminal); the variables in `ambiente` are added to or
// replace the test's own. Gives up (killing it) after `secondi`.
EsitoProcesso EseguiProcesso(const std::string& programma,
                             const std::vector<std::string>& argomenti,
                             const std::map<std::string, std::string>& ambiente, int secondi = 120);

// Runs the program on a pseudo-terminal. `rispondi` is called with everything printed so far
// whenever output pauses; what it returns (if anything) is typed in.
EsitoProcesso EseguiSuTerminale(
    const std::string& programma, const std::vector<std::string>& argomenti,
    const std::map<std::string, std::string>& ambiente,
    const std::function<std::string(const std::string& schermo)>& rispondi, int secondi = 120);

// The file opened for reading and writing, sharing nothing with other programs (as the host
// may open a database on Windows); on POSIX, where nothing is exclusive, as O_RDWR.
inline constexpr int kApertoEsclusivo = -1;

// Another program that keeps a file open (as the host keeps its databases) until destroyed;
// `modo`: open(2) flags on POSIX, or kApertoEsclusivo.
class ProcessoCheTieneAperto {
  public:
    ProcessoCheTieneAperto(const std::string& percorso, int modo);
    ~ProcessoCheTieneAperto();
    ProcessoCheTieneAperto(const ProcessoCheTieneAperto&) = delete;
    ProcessoCheTieneAperto& operator=(const ProcessoCheTieneAperto&) = delete;

  private:
    intptr_t pid_ = -1;   // the child (its process handle on Windows)
    intptr_t fine_ = -1;  // closing it tells the child to end
};

}  // namespace bv::test
