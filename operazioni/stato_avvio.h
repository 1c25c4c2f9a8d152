// The program's start, shared by the window and the command line: its own folder current and
// writable, its temporary folder made, the host found and its version checked, the settings read.
#pragma once

#include <functional>
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

// What the start tells the user (an interrupted restore finished or undone): shown by the
// front end as it comes, before any error that ends the start.
using AvvisoAvvio = std::function<void(const std::string& testo)>;

// With `riparazioni`, also finishes or undoes an interrupted restore (told through `avvisa`), clears
// the temporary folder of what interrupted runs left and puts in place a backup stopped among
// its final renames: only under the operation lock (BloccoOperazione), since another copy's
// running operation looks just like an interrupted one. Throws Errore 3001 (program folder not
// writable), 3002 (temporary folder), 3012 (host older than 1.0.0.0), or the error of a
// failing step.
StatoAvvio CaricaAvvio(bool riparazioni, const AvvisoAvvio& avvisa);

// The repairs of CaricaAvvio, for a start that could not make them (another copy's operation
// was running): run them once the operation lock is had.
void RiparaInterruzioni(const std::string& dest, const std::string& orig,
                        const AvvisoAvvio& avvisa);

// Creates the temporary folder or fails with 3002.
void PreparaCartellaTemp();

// Removes what interrupted runs left in the temporary folder: restore work folders (numbers),
// the temporary archive, temporary and extracted files. Only the program's own names; run
// under the operation lock.
void PulisciCartellaTemp(const std::string& cartella = {});

// Removes a restore's work folder (or a file of ours in Temp), its mark last.
void RimuoviCartellaLavoro(const std::string& percorso);

// Makes a work folder of ours in the temporary folder `temp` (made if missing): a number no
// entry (nor link) holds yet, with the mark that tells the start's clean-up it is ours.
// Returns its path without a final separator; a failure leaves none.
std::string CreaCartellaLavoro(const std::string& temp);

// At start-up, under the operation lock: finishes (after the confirmation) or undoes (before
// it) a restore that was interrupted. Returns what to tell the user, "" when there was none.
// Never throws: a journal it cannot trust is put aside untouched; one whose data folder is not
// reachable, or whose entries cannot all be finished (a database in use, a read-only folder),
// stays, with what is left, for the next start, and the message says which database and where
// its copies are. Until then no other restore runs (EseguiRipristino: 10016).
std::string RecuperaRipristinoInterrotto();

}  // namespace bv
