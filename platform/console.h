// The command line's arguments and standard streams as the system hands them over.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace bv {

// The program's arguments after its own name, in UTF-8. On Windows they are read again as the
// system keeps them (UTF-16), so that a folder such as "C:\Copie Società\" arrives whole
// whatever the code page; elsewhere they are argv as given.
std::vector<std::string> ArgomentiProgramma(int argc, char** argv);

// Standard output and standard error for UTF-8 text. On a Windows console the text is written
// as UTF-16 (WriteConsoleW), so that "è" and "°" show as themselves whatever the console's code
// page; to a pipe or a file, and on POSIX, the UTF-8 bytes as they are.
std::ostream& UscitaStandard();
std::ostream& ErroreStandard();

// From now on Ctrl+C and a request to end (SIGINT and SIGTERM; the console's control events on
// Windows) set `richiesta` instead of ending the program, which then stops at a safe point. A
// second one ends the program at once, as it always did: what the program writes is safe
// against a kill.
void InterruzioneComeRichiesta(std::atomic<bool>& richiesta);

}  // namespace bv
