// The scheduled run, front-end free.
#include "operazioni/backup_pianificato.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "operazioni/backup.h"
#include "operazioni/destinazione_ritrovata.h"
#include "operazioni/impostazioni_programma.h"
#include "operazioni/stato_avvio.h"
#include "platform/impostazioni.h"
#include "operazioni/ultimo_backup.h"
#include "platform/codifica.h"
#include "platform/custodia_chiave.h"
#include "platform/istanza.h"
#include "util/errori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

std::vector<std::string> ArgomentiPianificati(const RichiestaPianificata& r) {
    std::vector<std::string> a{"--dest", r.destinazione};
    if (!r.verifica) a.emplace_back("--no-verify");
    if (r.conserva > 0) {
        a.emplace_back("--conserva");
        a.push_back(std::to_string(r.conserva));
    }
    return a;
}

bool LeggiArgomentiPianificati(const std::vector<std::string>& a, RichiestaPianificata& r) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--no-verify") {
            r.verifica = false;
        } else if (a[i] == "--dest" && i + 1 < a.size()) {
            r.destinazione = a[++i];
        } else if (a[i] == "--conserva" && i + 1 < a.size() && !a[i + 1].empty() &&
                   a[i + 1].size() <= 3 &&
                   a[i + 1].find_first_not_of("0123456789") == std::string::npos) {
            r.conserva = std::stoi(a[++i]);
        } else {
            return false;
        }
    }
    return !r.destinazione.empty();
}

namespace {

constexpr const char* kGiorni[] = {"lun", "mar", "mer", "gio", "ven", "sab", "dom"};

std::string TestoGiorni(const std::vector<int>& giorni) {
    std::string t;
    for (const int g : giorni) t += (t.empty() ? "" : ",") + std::string(kGiorni[g - 1]);
    return t;
}

}  // namespace

bool LeggiOra(const std::string& testo, int& ora, int& minuto) {
    if (testo.size() != 5 || testo[2] != ':' ||
        testo.substr(0, 2).find_first_not_of("0123456789") != std::string::npos ||
        testo.substr(3).find_first_not_of("0123456789") != std::string::npos)
        return false;
    ora = std::stoi(testo.substr(0, 2));
    minuto = std::stoi(testo.substr(3));
    return ora < 24 && minuto < 60;
}

bool LeggiGiorni(const std::string& testo, std::vector<int>& giorni) {
    std::vector<bool> scelti(8, false);
    size_t inizio = 0;
    while (inizio <= testo.size()) {
        size_t fine = testo.find(',', inizio);
        if (fine == std::string::npos) fine = testo.size();
        const std::string g = Minuscolo(testo.substr(inizio, fine - inizio));
        int n = 0;
        for (int i = 0; i < 7; ++i)
            if (g == kGiorni[i]) n = i + 1;
        if (n == 0) return false;
        scelti[static_cast<size_t>(n)] = true;
        inizio = fine + 1;
    }
    giorni.clear();
    for (int i = 1; i <= 7; ++i)
        if (scelti[static_cast<size_t>(i)]) giorni.push_back(i);
    if (giorni.size() == 7) giorni.clear();  // every day
    return true;
}

std::string PianificaBackup(const PianificazioneBackup& p) {
    Pianificazione s;
    s.ora = p.ora;
    s.minuto = p.minuto;
    s.giorni = p.giorni;
    s.eseguibile = EseguibileFinestra();
    s.argomenti = ArgomentiPianificati(p.richiesta);
    s.argomenti.insert(s.argomenti.begin(), kArgomentoPianificato);
    std::string dove = RegistraPianificazione(s);
    const std::string app = ApplicazioneProgramma();
    char ora[8];
    std::snprintf(ora, sizeof ora, "%02d:%02d", p.ora, p.minuto);
    SalvaImpostazione(app, kSezionePianificazione, "Ora", ora);
    SalvaImpostazione(app, kSezionePianificazione, "Giorni", TestoGiorni(p.giorni));
    SalvaImpostazione(app, kSezionePianificazione, "Dest", p.richiesta.destinazione);
    SalvaImpostazione(app, kSezionePianificazione, "Verifica", p.richiesta.verifica ? "1" : "0");
    SalvaImpostazione(app, kSezionePianificazione, "Conserva", std::to_string(p.richiesta.conserva));
    // A stick's destination is found again under another letter on the nights it gets one.
    RicordaVolumeDestinazione(kSezionePianificazione, p.richiesta.destinazione);
    Utilita().ScriviLog("Backup pianificato (" + dove + ") alle " + ora + " in " + p.richiesta.destinazione);
    return dove;
}

void RimuoviBackupPianificato() {
    RimuoviPianificazione();
    SalvaImpostazione(ApplicazioneProgramma(), kSezionePianificazione, "Ora", "");
}

std::optional<PianificazioneBackup> BackupPianificato() {
    const std::string app = ApplicazioneProgramma();
    PianificazioneBackup p;
    if (!LeggiOra(LeggiImpostazione(app, kSezionePianificazione, "Ora", ""), p.ora, p.minuto))
        return std::nullopt;
    const std::string giorni = LeggiImpostazione(app, kSezionePianificazione, "Giorni", "");
    if (!giorni.empty() && !LeggiGiorni(giorni, p.giorni)) return std::nullopt;
    p.richiesta.destinazione = LeggiImpostazione(app, kSezionePianificazione, "Dest", "");
    p.richiesta.verifica = LeggiImpostazione(app, kSezionePianificazione, "Verifica", "1") != "0";
    p.richiesta.conserva =
        std::clamp(std::atoi(LeggiImpostazione(app, kSezionePianificazione, "Conserva", "0").c_str()), 0, 999);
    if (p.richiesta.destinazione.empty()) return std::nullopt;
    return p;
}

int EseguiBackupPianificato(const std::vector<std::string>& argomenti) {
    RichiestaPianificata p;
    if (!LeggiArgomentiPianificati(argomenti, p)) return 2;
    InterazioneNonPresidiata nessuno;  // nobody to answer: each question gets the safe answer
    UsaInterazione usa(nessuno);
    RichiestaBackup r;
    r.destinazione = p.destinazione;
    r.verifica = p.verifica;
    r.conserva = p.conserva;
    r.pianificato = true;
    const auto fallito = [&r](const Errore& e) {
        Risultato ris;
        ris.errore = e;
        ris.backup.cartella = r.destinazione;
        RegistraUltimoBackup(ris, true, Adesso());
        Utilita().ScriviLog("Backup pianificato non eseguito: " + e.Descrizione());
        return 1;
    };
    try {
        // The window open and idle lets it run; another copy's job is waited for.
        BloccoOperazione blocco;
        const auto fine = std::chrono::steady_clock::now() + std::chrono::minutes(kMinutiAttesaPianificato);
        while (!blocco.Acquisisci()) {
            if (std::chrono::steady_clock::now() >= fine) return fallito(errori::Crea(errori::OperazioneInCorso));
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        const StatoAvvio s = CaricaAvvio(true, [](const std::string& testo) {
            Utilita().ScriviLog("Avvio del backup pianificato: " + testo);
        });
        RichiestaBackup completa = RichiestaBackup::DaAvvio(s);
        completa.destinazione = r.destinazione;
        completa.verifica = r.verifica;
        completa.conserva = r.conserva;
        completa.pianificato = true;
        // Encrypted as the clerk chose in the window, with the key kept for unattended runs.
        if (LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, kValoreCifra) == "1") {
            completa.chiave = LeggiChiaveCustodita();
            if (completa.chiave.empty()) return fallito(errori::Crea(errori::ChiaveMancante));
        }
        GanciOperazione ganci;
        return EseguiERegistraBackup(completa, ganci).Riuscito() ? 0 : 1;
    } catch (const Errore& e) {
        return fallito(e);
    }
}

}  // namespace bv
