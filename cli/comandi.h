// The command line's commands: backup, list and restore on the same operations as the window.
// They take their streams and know whether a person sits at a terminal, so tests run them
// in-process as well as as a process.
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

namespace bv::cli {

struct Terminale {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interattivo = false;  // questions can be asked (standard input is a terminal)
    bool grafico = false;      // standard error is a terminal: progress bar instead of plain lines
    // Set by Ctrl+C: the operation stops at its next safe point.
    const std::atomic<bool>* interruzione = nullptr;
};

inline constexpr int kSuccesso = 0;
inline constexpr int kErrore = 1;
inline constexpr int kUso = 2;
inline constexpr int kRiparato = 3;        // verifica: damaged blocks rewritten
inline constexpr int kDanneggiato = 4;     // verifica: damaged, repairable, not repaired
inline constexpr int kNonRiparabile = 5;   // verifica: damaged beyond the recovery data
inline constexpr int kAnnullato = 130;  // as a shell reports a command ended by Ctrl+C

// Runs the command line (arguments without the program name); returns the exit status.
int Esegui(const std::vector<std::string>& argomenti, Terminale& t);

}  // namespace bv::cli
