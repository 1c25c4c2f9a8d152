// The scheduled run: the backup the schedule asked for, with no window and no console, through
// the same lock and job as the command line (waiting for another copy's operation as --attendi
// does). Its outcome, even a run that could not start, is recorded for the next start to tell.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/pianificazione.h"

namespace bv {

// The argument that starts the program in this mode, and how long it waits for the lock.
inline constexpr const char* kArgomentoPianificato = "--pianificato";
inline constexpr int kMinutiAttesaPianificato = 720;

// What the schedule asks for: a destination, the verification, the sets kept.
struct RichiestaPianificata {
    std::string destinazione;
    bool verifica = true;
    int conserva = 0;
};

// The arguments after kArgomentoPianificato and back ("--dest DIR [--no-verify] [--conserva N]").
std::vector<std::string> ArgomentiPianificati(const RichiestaPianificata& r);
bool LeggiArgomentiPianificati(const std::vector<std::string>& a, RichiestaPianificata& r);

// A schedule as the user sets it: the time, the weekdays (1 Monday ... 7 Sunday; none: every
// day) and the run it starts.
struct PianificazioneBackup {
    int ora = 18;
    int minuto = 0;
    std::vector<int> giorni;
    RichiestaPianificata richiesta;
};

// "18:00" and "lun,ven" read; false for anything else.
bool LeggiOra(const std::string& testo, int& ora, int& minuto);
bool LeggiGiorni(const std::string& testo, std::vector<int>& giorni);

// Registers the schedule (replacing the earlier one) and keeps it in the settings; where it
// went. Error 10019 when the system's scheduler refused it.
std::string PianificaBackup(const PianificazioneBackup& p);
// Removes it from the scheduler and the settings.
void RimuoviBackupPianificato();
// The schedule the settings keep, if any.
std::optional<PianificazioneBackup> BackupPianificato();

// Runs it; the exit status (0 success, 1 failure, 2 wrong arguments).
int EseguiBackupPianificato(const std::vector<std::string>& argomenti);

}  // namespace bv
