// The program's start, shared by the window and the command line: its own folder current and
// writable, its temporary folder made, the host found and its version checked, the settings read.
#pragma once

#include <string>

namespace bv {

struct StatoAvvio {
    bool nonInstallato = false;
    bool datiNonPresenti = false;
    std::string cartellaInstallazione;  // "" when the host is not registered
    std::string versione;               // the host's version, "" when it is not installed
    std::string percorsoDati;
    std::string dest;  // the last destination
    std::string orig;  // the last origin
};

// Also finishes or undoes an interrupted restore (telling the user) and clears the temporary
// folder of what interrupted runs left. Throws Errore 3001 (program folder not writable), 3002
// (temporary folder), 3012 (host older than 1.0.0.0), or the error of a failing step.
StatoAvvio CaricaAvvio();

// Creates the temporary folder or fails with 3002.
void PreparaCartellaTemp();

// Removes what interrupted runs left in the temporary folder: restore work folders (numbers),
// the temporary archive, temporary and extracted files. Only the program's own names; run
// under the one-copy lock, as part of the start.
void PulisciCartellaTemp(const std::string& cartella = {});

// Removes a restore's work folder (or a file of ours in Temp), its mark last.
void RimuoviCartellaLavoro(const std::string& percorso);

}  // namespace bv
