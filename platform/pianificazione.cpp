// The schedule's texts for systemd, cron and the Task Scheduler.
#include "platform/pianificazione.h"

#include <cstdio>

namespace bv {

namespace {

constexpr const char* kGiorniInglesi[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr const char* kGiorniXml[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                      "Friday", "Saturday", "Sunday"};
constexpr const char* kDescrizione = "BVBackup: backup pianificato";
constexpr const char* kMarcaCrontab = "# bvbackup-pianificazione";

std::string DueCifre(int n) {
    char t[8];
    std::snprintf(t, sizeof t, "%02d", n);
    return t;
}

// An ExecStart= word: quoted, with the specifiers and variables systemd would expand doubled.
std::string ParolaSystemd(const std::string& s) {
    std::string t = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') t += '\\';
        if (c == '%') t += '%';
        if (c == '$') t += '$';
        t += c;
    }
    return t + "\"";
}

// A shell word for cron, where "%" ends the command unless escaped.
std::string ParolaShell(const std::string& s) {
    std::string t = "'";
    for (const char c : s) {
        if (c == '\'') {
            t += "'\\''";
        } else if (c == '%') {
            t += "\\%";
        } else {
            t += c;
        }
    }
    return t + "'";
}

std::string Xml(const std::string& s) {
    std::string t;
    for (const char c : s) {
        switch (c) {
            case '&': t += "&amp;"; break;
            case '<': t += "&lt;"; break;
            case '>': t += "&gt;"; break;
            case '"': t += "&quot;"; break;
            case '\'': t += "&apos;"; break;
            default: t += c;
        }
    }
    return t;
}

// A Windows command line's argument, as CommandLineToArgvW reads it back.
std::string ArgomentoWindows(const std::string& s) {
    if (!s.empty() && s.find_first_of(" \t\"") == std::string::npos) return s;
    std::string t = "\"";
    size_t barre = 0;
    for (const char c : s) {
        if (c == '\\') {
            ++barre;
            continue;
        }
        t.append(c == '"' ? barre * 2 + 1 : barre, '\\');
        barre = 0;
        t += c;
    }
    t.append(barre * 2, '\\');
    return t + "\"";
}

std::string Ora(const Pianificazione& p) {
    return DueCifre(p.ora) + ":" + DueCifre(p.minuto);
}

}  // namespace

std::string CalendarioSystemd(const Pianificazione& p) {
    std::string giorni;
    for (const int g : p.giorni) giorni += (giorni.empty() ? "" : ",") + std::string(kGiorniInglesi[g - 1]);
    return (giorni.empty() ? "" : giorni + " ") + "*-*-* " + Ora(p) + ":00";
}

std::string UnitaServizio(const Pianificazione& p) {
    std::string comando = ParolaSystemd(p.eseguibile);
    for (const std::string& a : p.argomenti) comando += " " + ParolaSystemd(a);
    return std::string("[Unit]\nDescription=") + kDescrizione +
           "\n\n[Service]\nType=oneshot\nExecStart=" + comando + "\n";
}

std::string UnitaTimer(const Pianificazione& p) {
    return std::string("[Unit]\nDescription=") + kDescrizione + "\n\n[Timer]\nOnCalendar=" +
           CalendarioSystemd(p) + "\nPersistent=true\n\n[Install]\nWantedBy=timers.target\n";
}

std::string RigaCrontab(const Pianificazione& p) {
    std::string giorni;
    for (const int g : p.giorni) giorni += (giorni.empty() ? "" : ",") + std::to_string(g % 7);
    std::string riga = std::to_string(p.minuto) + " " + std::to_string(p.ora) + " * * " +
                       (giorni.empty() ? "*" : giorni) + " " + ParolaShell(p.eseguibile);
    for (const std::string& a : p.argomenti) riga += " " + ParolaShell(a);
    return riga + " " + kMarcaCrontab;
}

std::string XmlAttivita(const Pianificazione& p) {
    std::string pianificazione;
    if (p.giorni.empty()) {
        pianificazione = "      <ScheduleByDay>\n        <DaysInterval>1</DaysInterval>\n      </ScheduleByDay>\n";
    } else {
        pianificazione = "      <ScheduleByWeek>\n        <DaysOfWeek>\n";
        for (const int g : p.giorni) pianificazione += "          <" + std::string(kGiorniXml[g - 1]) + " />\n";
        pianificazione += "        </DaysOfWeek>\n        <WeeksInterval>1</WeeksInterval>\n      </ScheduleByWeek>\n";
    }
    std::string argomenti;
    for (const std::string& a : p.argomenti) argomenti += (argomenti.empty() ? "" : " ") + ArgomentoWindows(a);
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
           "  <RegistrationInfo>\n    <Description>" + Xml(kDescrizione) + "</Description>\n  </RegistrationInfo>\n"
           "  <Triggers>\n    <CalendarTrigger>\n"
           "      <StartBoundary>2000-01-01T" + Ora(p) + ":00</StartBoundary>\n"
           "      <Enabled>true</Enabled>\n" + pianificazione +
           "    </CalendarTrigger>\n  </Triggers>\n"
           "  <Principals>\n    <Principal id=\"Author\">\n"
           "      <LogonType>InteractiveToken</LogonType>\n"
           "      <RunLevel>LeastPrivilege</RunLevel>\n"
           "    </Principal>\n  </Principals>\n"
           "  <Settings>\n"
           "    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\n"
           "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\n"
           "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\n"
           "    <StartWhenAvailable>true</StartWhenAvailable>\n"
           "    <ExecutionTimeLimit>PT72H</ExecutionTimeLimit>\n"
           "    <Enabled>true</Enabled>\n"
           "  </Settings>\n"
           "  <Actions Context=\"Author\">\n    <Exec>\n"
           "      <Command>" + Xml(p.eseguibile) + "</Command>\n"
           "      <Arguments>" + Xml(argomenti) + "</Arguments>\n"
           "    </Exec>\n  </Actions>\n</Task>\n";
}

}  // namespace bv
