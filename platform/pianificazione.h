// The scheduled backup: the program started by the system's scheduler of the current user (a
// systemd user timer, or a crontab line where there is no user systemd; on Windows a Task
// Scheduler task registered from its XML form), never with administrator rights.
#pragma once

#include <string>
#include <vector>

namespace bv {

struct Pianificazione {
    int ora = 18;
    int minuto = 0;
    std::vector<int> giorni;  // 1 Monday ... 7 Sunday, ascending; empty: every day
    std::string eseguibile;   // what the scheduler starts
    std::vector<std::string> argomenti;
};

// The schedule's texts, the same on every system so that each can be checked anywhere.
// systemd's calendar: "*-*-* 18:00:00", "Mon,Fri *-*-* 18:00:00".
std::string CalendarioSystemd(const Pianificazione& p);
std::string UnitaServizio(const Pianificazione& p);
std::string UnitaTimer(const Pianificazione& p);
// "0 18 * * 1,5 'exe' 'arg'..." (with the marker comment that finds it again).
std::string RigaCrontab(const Pianificazione& p);
// The Task Scheduler's task: interactive logon, least privilege, run as soon as possible after a
// missed start, no second instance, not held back or stopped by batteries.
std::string XmlAttivita(const Pianificazione& p);

// The name the schedule goes by (unit files, task).
inline constexpr const char* kNomePianificazione = "bvbackup";

// The window's executable, which the schedule starts (with no window).
std::string EseguibileFinestra();

// Registers the schedule for the current user, replacing the program's earlier one; returns
// where it went ("systemd", "crontab", "Utilità di pianificazione"). Error 10019 when it could
// not be registered.
std::string RegistraPianificazione(const Pianificazione& p);
// Removes the program's schedule, if any.
void RimuoviPianificazione();

}  // namespace bv
