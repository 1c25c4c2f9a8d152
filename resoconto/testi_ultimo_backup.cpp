// The last backup's lines.
#include "resoconto/testi_ultimo_backup.h"

#include <cstdio>

#include "util/koutilita.h"

namespace bv {

namespace {

// Days since 1970-01-01 of a date of the (proleptic) Gregorian calendar.
long Giorno(const DataOra& d) {
    const long y = d.anno - (d.mese <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long anno = y - era * 400;
    const long m = d.mese;
    const long giornoAnno = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d.giorno - 1;
    const long giornoEra = anno * 365 + anno / 4 - anno / 100 + giornoAnno;
    return era * 146097 + giornoEra - 719468;
}

std::string Ora(const DataOra& d) {
    return FormattaData(d, "hh:mm");
}

// "di oggi alle 18:00", "di ieri alle 18:00", "del 03/12/2026 alle 18:00".
std::string DelGiorno(const DataOra& quando, const DataOra& adesso) {
    const std::string q = QuandoLeggibile(quando, adesso);
    return q.starts_with("il ") ? "del " + q.substr(3) : "di " + q;
}

}  // namespace

int GiorniTra(const DataOra& da, const DataOra& a) {
    return static_cast<int>(Giorno(a) - Giorno(da));
}

std::string QuandoLeggibile(const DataOra& quando, const DataOra& adesso) {
    const int giorni = GiorniTra(quando, adesso);
    if (giorni == 0) return "oggi alle " + Ora(quando);
    if (giorni == 1) return "ieri alle " + Ora(quando);
    return "il " + FormattaData(quando, "dd/MM/yyyy") + " alle " + Ora(quando);
}

TestoUltimoBackup DescriviUltimoBackup(const std::optional<UltimoBackup>& u, const DataOra& adesso) {
    TestoUltimoBackup t;
    if (!u) {
        t.righe.emplace_back("Nessun backup registrato.");
        return t;
    }
    if (u->riuscito) {
        t.righe.push_back("Ultimo backup: " + QuandoLeggibile(u->quando, adesso) +
                          (u->verificato ? ", verificato" : ", non verificato"));
    } else {
        std::string riga = std::string("Il backup ") + (u->pianificato ? "pianificato " : "") +
                           DelGiorno(u->quando, adesso) + " non è riuscito: " + u->testoErrore;
        if (u->numeroErrore != 0) riga += " (errore " + std::to_string(u->numeroErrore) + ")";
        t.righe.push_back(riga);
        t.allarme = true;
    }
    if (u->ultimoRiuscito) {
        const int giorni = GiorniTra(*u->ultimoRiuscito, adesso);
        if (giorni > kGiorniSenzaBackup) {
            t.righe.push_back("Nessun backup da " + std::to_string(giorni) + " giorni");
            t.allarme = true;
        }
    }
    return t;
}

std::string TestoPianificazione(const PianificazioneBackup& p) {
    static const char* const kNomi[] = {"lunedì", "martedì", "mercoledì", "giovedì",
                                        "venerdì", "sabato", "domenica"};
    std::string giorni;
    for (size_t i = 0; i < p.giorni.size(); ++i) {
        if (i > 0) giorni += i + 1 == p.giorni.size() ? " e " : ", ";
        giorni += kNomi[p.giorni[i] - 1];
    }
    char ora[8];
    std::snprintf(ora, sizeof ora, "%02d:%02d", p.ora, p.minuto);
    return "Backup pianificato ogni " + (giorni.empty() ? std::string("giorno") : giorni) +
           " alle " + ora + " in " + Utilita().AggiungiSepDir(p.richiesta.destinazione);
}

}  // namespace bv
