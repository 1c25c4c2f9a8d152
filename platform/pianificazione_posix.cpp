// The schedule on POSIX: a systemd user timer beside its service, or a crontab line where the
// user has no systemd.
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <string>

#include "platform/errore.h"
#include "platform/errori_piattaforma.h"
#include "platform/filesystem.h"
#include "platform/pianificazione.h"
#include "platform/programma.h"

namespace bv {

namespace {

std::string Variabile(const char* nome) {
    const char* v = ::getenv(nome);
    return v == nullptr ? std::string() : std::string(v);
}

[[noreturn]] void NonRegistrata(const std::string& motivo) {
    std::string t = errori::kTestoPianificazioneNonRegistrata;
    t.replace(t.find("{}"), 2, motivo);
    throw Errore(errori::PianificazioneNonRegistrata, t, motivo);
}

// BVBACKUP_PIANIFICAZIONE names a folder to write the units to without activating them (tests).
std::string CartellaDiProva() {
    return Variabile("BVBACKUP_PIANIFICAZIONE");
}

std::string CartellaUnita() {
    if (std::string prova = CartellaDiProva(); !prova.empty()) return prova;
    const std::string xdg = Variabile("XDG_CONFIG_HOME");
    return (xdg.empty() ? Variabile("HOME") + "/.config" : xdg) + "/systemd/user";
}

void CreaCartelle(const std::string& cartella) {
    for (size_t i = 1; i <= cartella.size(); ++i) {
        if (i < cartella.size() && cartella[i] != '/') continue;
        const std::string parte = cartella.substr(0, i);
        if (!Fs().Info(parte).esiste) Fs().CreaCartella(parte);
    }
}

// The user's own systemd answers (a session with its runtime folder).
bool SystemdUtente() {
    const std::string runtime = Variabile("XDG_RUNTIME_DIR");
    return !runtime.empty() && Fs().Info(runtime + "/systemd/private").esiste;
}

bool Comando(const std::string& riga) {
    const int r = std::system(riga.c_str());
    return r != -1 && WIFEXITED(r) && WEXITSTATUS(r) == 0;
}

// The user's crontab without the program's line.
std::string CrontabSenzaLaNostra() {
    std::string testo;
    if (FILE* f = ::popen("crontab -l 2>/dev/null", "r")) {
        char buf[4096];
        size_t n = 0;
        while ((n = ::fread(buf, 1, sizeof buf, f)) > 0) testo.append(buf, n);
        ::pclose(f);
    }
    std::string resto;
    size_t inizio = 0;
    while (inizio < testo.size()) {
        size_t fine = testo.find('\n', inizio);
        if (fine == std::string::npos) fine = testo.size();
        const std::string riga = testo.substr(inizio, fine - inizio);
        if (riga.find("# bvbackup-pianificazione") == std::string::npos) resto += riga + "\n";
        inizio = fine + 1;
    }
    return resto;
}

void ScriviCrontab(const std::string& testo) {
    FILE* f = ::popen("crontab - 2>/dev/null", "w");
    if (f == nullptr) NonRegistrata("crontab non disponibile.");
    ::fwrite(testo.data(), 1, testo.size(), f);
    const int r = ::pclose(f);
    if (r == -1 || !WIFEXITED(r) || WEXITSTATUS(r) != 0) NonRegistrata("crontab non ha accettato la riga.");
}

}  // namespace

std::string EseguibileFinestra() {
    return CartellaProgramma() + "/" + kNomePianificazione + "";
}

std::string RegistraPianificazione(const Pianificazione& p) {
    const std::string cartella = CartellaUnita();
    const bool prova = !CartellaDiProva().empty();
    if (prova || SystemdUtente()) {
        try {
            CreaCartelle(cartella);
            const std::string servizio = UnitaServizio(p);
            const std::string timer = UnitaTimer(p);
            const std::string base = cartella + "/" + kNomePianificazione;
            ScriviFileAtomico(base + ".service", servizio.data(), servizio.size());
            ScriviFileAtomico(base + ".timer", timer.data(), timer.size());
        } catch (const Errore& e) {
            NonRegistrata("unità di systemd non scritte in " + cartella + " (" + e.Dettaglio() + ").");
        }
        if (prova) return "systemd";
        if (!Comando("systemctl --user daemon-reload >/dev/null 2>&1 && systemctl --user enable "
                     "--now bvbackup.timer >/dev/null 2>&1"))
            NonRegistrata("systemctl --user non ha attivato bvbackup.timer.");
        return "systemd";
    }
    ScriviCrontab(CrontabSenzaLaNostra() + RigaCrontab(p) + "\n");
    return "crontab";
}

void RimuoviPianificazione() {
    const std::string base = CartellaUnita() + "/" + kNomePianificazione;
    const bool prova = !CartellaDiProva().empty();
    if (!prova && SystemdUtente())
        Comando("systemctl --user disable --now bvbackup.timer >/dev/null 2>&1");
    for (const char* estensione : {".timer", ".service"})
        if (Fs().Info(base + estensione).esiste) Fs().Rimuovi(base + estensione);
    if (prova) return;
    if (SystemdUtente()) Comando("systemctl --user daemon-reload >/dev/null 2>&1");
    // A line left by a run without user systemd goes too.
    const std::string resto = CrontabSenzaLaNostra();
    if (Comando("crontab -l >/dev/null 2>&1")) ScriviCrontab(resto);
}

}  // namespace bv
