// The backup: the host's databases and their companion folders compressed into one archive,
// split into a backup set at the destination, and on request verified at once.
#pragma once

#include <string>

#include "operazioni/stato_avvio.h"
#include "operazioni/lavoro.h"

namespace bv {

struct RichiestaBackup {
    bool floppy = false;       // "Floppy A": the removable drive
    // The destination folder as typed. One on a USB stick missing at its letter is looked for on
    // the same stick under the other letters (operazioni/destinazione_ritrovata.h).
    std::string destinazione;
    bool verifica = true;      // "Verifica dati"
    std::string percorsoDati;  // a folder, or the path of one database
    bool nonInstallato = false;
    bool datiNonPresenti = false;
    std::string cartellaTemp;  // the program's temporary folder
    // A folder without room for the day's earlier set and the new one: replace the earlier
    // set first without asking (the command line's --sostituisci).
    bool sostituisciPrecedente = false;
    // A set of today in the folder is replaced only if the user says so (the window); without
    // it (the command line, scheduled runs) it is replaced and the summary says so.
    bool chiediPrimaDiSostituire = false;
    // Recovery files beside a set in a folder, worth this share (%) of its bytes; 0: none.
    int percentualeRecupero = 10;
    // The recovery key the set's members are encrypted with (AES-256); empty: not encrypted.
    // Never written to the log, the settings or the set.
    std::string chiave;
    // "Conserva gli ultimi N backup": once the new set is whole and verified, the folder's older
    // sets beyond N go (0: all are kept). Applied by EseguiERegistraBackup.
    int conserva = 0;
    // Started by the schedule: recorded as such in the last backup's outcome.
    bool pianificato = false;

    // The host, its data and the last destination as the start found them.
    static RichiestaBackup DaAvvio(const StatoAvvio& s);
};

// Runs the whole backup. On failure or cancel, what it made is gone and the day's earlier set
// in a folder is as it was; the result says which.
Risultato EseguiBackup(const RichiestaBackup& richiesta, GanciOperazione& ganci);

}  // namespace bv
