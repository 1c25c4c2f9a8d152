// The last backup's outcome, kept in a small file of the program folder so that every start
// (the window's header, `bvbackup-cli stato`) can tell whether the last backup, above all a
// scheduled one nobody watched, went well. Written by whichever front end ran the backup.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "operazioni/backup.h"
#include "operazioni/lavoro.h"
#include "platform/data_ora.h"

namespace bv {

inline constexpr const char* kFileUltimoBackup = "ultimo-backup.txt";

struct UltimoBackup {
    DataOra quando;
    bool riuscito = false;
    bool pianificato = false;
    std::string nomeSet;
    std::string cartella;
    uint64_t byte = 0;
    int dischi = 0;
    bool verificato = false;
    int32_t numeroErrore = 0;  // when it failed
    std::string testoErrore;
    // The last backup that succeeded (the same moment when this one did), if any is known.
    std::optional<DataOra> ultimoRiuscito;
};

// The file's path in the program folder.
std::string PercorsoUltimoBackup();

// The file's text and back; a text that is not whole, or not of this form, gives nothing.
std::string TestoFileUltimoBackup(const UltimoBackup& u);
std::optional<UltimoBackup> LeggiTestoUltimoBackup(const std::string& testo);

// The record read from the file: nothing when there is none or it is damaged (never an error:
// a damaged record must not stop a backup or a start).
std::optional<UltimoBackup> LeggiUltimoBackup(const std::string& percorso = PercorsoUltimoBackup());

// Records a backup's result (completed or failed; a cancel or a No records nothing), keeping the
// time of the last success. Written under a staged name, flushed, renamed: a cut leaves the old
// record or the new one. A failure to write is logged, never thrown.
void RegistraUltimoBackup(const Risultato& r, bool pianificato, const DataOra& quando,
                          const std::string& percorso = PercorsoUltimoBackup());

// Removes what a write cut short left of the record (its staged copies), only those exact
// names. Called at the start, with the operation lock held: no other writer is at work then.
void PulisciUltimoBackupInterrotto(const std::string& percorso = PercorsoUltimoBackup());

// The backup as every front end runs it: the job, then room made by rule (--conserva), then
// the outcome recorded.
Risultato EseguiERegistraBackup(const RichiestaBackup& richiesta, GanciOperazione& ganci);

}  // namespace bv
