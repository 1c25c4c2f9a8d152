// The backup: the host's databases and their companion folders compressed into one archive,
// split into a backup set at the destination, and on request verified at once.
#pragma once

#include <functional>
#include <string>

#include "operazioni/osservatore.h"
#include "util/nomi.h"

namespace bv {

struct RichiestaBackup {
    bool floppy = false;       // "Floppy A": the removable drive
    std::string destinazione;  // the destination folder as typed
    bool verifica = true;      // "Verifica dati" when the backup starts
    // "Verifica dati" read again when the split is done (default: `verifica`).
    std::function<bool()> verificaDopo;
    std::string percorsoDati;  // a folder, or the path of one database
    bool nonInstallato = false;
    bool datiNonPresenti = false;
    std::string cartellaTemp;  // the program's temporary folder
    // A folder without room for the day's earlier set and the new one: replace the earlier
    // set first without asking (the command line's --sostituisci).
    bool sostituisciPrecedente = false;
};

// Runs the whole backup. On success shows "Backup completato correttamente." and returns
// true; on failure releases what it holds, shows the error through the observer and
// returns false.
bool EseguiBackup(const RichiestaBackup& richiesta, OsservatoreOperazione& osservatore);

}  // namespace bv
