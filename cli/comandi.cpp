// bvbackup-cli's commands, its terminal interaction and its progress display.
#include "cli/comandi.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <optional>
#include <thread>

#include "fileset/clsinsieme.h"
#include "operazioni/stato_avvio.h"
#include "operazioni/lavoro.h"
#include "resoconto/testi_esito.h"
#include "operazioni/backup.h"
#include "operazioni/impostazioni_programma.h"
#include "operazioni/ripristino.h"
#include "operazioni/verifica_set.h"
#include "operazioni/ultimo_backup.h"
#include "operazioni/backup_pianificato.h"
#include "resoconto/testi_ultimo_backup.h"
#include "platform/data_ora.h"
#include "platform/codifica.h"
#include "platform/custodia_chiave.h"
#include "platform/impostazioni.h"
#include "platform/istanza.h"
#include "platform/percorsi.h"
#include "util/chiave_ripristino.h"
#include "util/errori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

#ifndef BVBACKUP_VERSIONE
#define BVBACKUP_VERSIONE "0"
#endif

namespace bv::cli {

namespace {

constexpr const char* kAiuto =
    "Uso: bvbackup-cli COMANDO [OPZIONI]\n"
    "\n"
    "Backup e ripristino dei dati di Brelvano, come dalla finestra di BVBackup.\n"
    "\n"
    "Comandi:\n"
    "  backup [--dest CARTELLA | --floppy] [--no-verify] [--sostituisci] [--recupero PERCENTO]\n"
    "         [--conserva N] [--cifra] [--chiave-file FILE] [--attendi MINUTI]\n"
    "      Esegue il backup nella cartella indicata (senza --dest: l'ultima destinazione usata)\n"
    "      o sul disco rimovibile (--floppy). La verifica è eseguita salvo --no-verify.\n"
    "      Con --sostituisci, in una cartella senza spazio per tenere il backup precedente di\n"
    "      oggi finché il nuovo non è verificato, il precedente è sostituito subito.\n"
    "      In una cartella scrive accanto al set i file di recupero (BVaaaammgg.par2 e\n"
    "      BVaaaammgg.vol*.par2), pari a --recupero per cento dei suoi byte (predefinito 10,\n"
    "      0 per non scriverli): con essi il ripristino ricostruisce i blocchi danneggiati.\n"
    "      Con --cifra (o \"Cifra il backup\" scelto nella finestra) i file sono cifrati\n"
    "      (AES-256) con la chiave di ripristino conservata su questo computer, o con quella\n"
    "      del file indicato da --chiave-file. Nomi e dimensioni dei file restano visibili.\n"
    "      Con --conserva N, dopo un backup completo e verificato in una cartella sono rimossi\n"
    "      i backup più vecchi oltre gli ultimi N (il nuovo compreso).\n"
    "  list [--orig CARTELLA]\n"
    "      Elenca i backup presenti nella cartella (senza --orig: l'ultima origine usata),\n"
    "      dal più recente: nome del set, tabulazione, data.\n"
    "  restore [--orig CARTELLA] [--set NOME] [--yes] [--cifra] [--chiave-file FILE]\n"
    "          [--attendi MINUTI]\n"
    "      Ripristina il set indicato, o il più recente. Chiede conferma sul terminale;\n"
    "      senza terminale serve --yes. Un backup cifrato è letto con la chiave del file\n"
    "      indicato da --chiave-file, altrimenti con quella conservata su questo computer\n"
    "      (con --cifra, senza una chiave il comando termina subito).\n"
    "  verifica [--orig CARTELLA] [--data GG/MM/AAAA] [--ripara] [--cifra]\n"
    "           [--chiave-file FILE] [--attendi MINUTI]\n"
    "      Controlla il backup indicato (senza --data: il più recente) senza ripristinarlo:\n"
    "      ogni blocco, i dati di recupero e ogni file. Con --ripara riscrive i blocchi\n"
    "      danneggiati con i dati di recupero.\n"
    "  pianifica --ora HH:MM [--giorni lun,mar,...] --dest CARTELLA [--verifica] [--conserva N]\n"
    "  pianifica --rimuovi\n"
    "      Pianifica il backup ogni giorno (o nei giorni indicati) all'ora indicata, per\n"
    "      l'utente corrente, senza finestra; o rimuove la pianificazione.\n"
    "  stato\n"
    "      Mostra l'esito dell'ultimo backup (della finestra, della riga di comando o\n"
    "      pianificato), come l'intestazione della finestra.\n"
    "\n"
    "Con la finestra di BVBackup aperta i comandi funzionano. Se un'altra copia sta eseguendo\n"
    "un backup o un ripristino, backup e restore attendono che termini fino a --attendi\n"
    "minuti (predefinito 5, 0 per non attendere), poi terminano con errore.\n"
    "\n"
    "Ctrl+C ferma il backup o il ripristino al primo punto sicuro: il backup precedente resta\n"
    "com'era e i dati non sono modificati (un secondo Ctrl+C termina subito).\n"
    "\n"
    "Opzioni generali:\n"
    "  --help       mostra questo aiuto\n"
    "  --version    mostra la versione\n"
    "\n"
    "Stato di uscita: 0 riuscito (verifica: backup integro), 1 errore, 2 uso non corretto,\n"
    "3 backup riparato, 4 backup danneggiato ma riparabile, 5 backup non riparabile,\n"
    "130 annullato (Ctrl+C).\n";

// Questions on the terminal, with the window's texts; without one, the answer that changes
// nothing (Cancel, No), so an unattended run ends instead of waiting.
class InterazioneTerminale final : public Interazione {
  public:
    InterazioneTerminale(Terminale& t, bool siAutomatico) : t_(t), siAutomatico_(siAutomatico) {}

    Risposta Messaggio(const std::string& testo, const std::string& titolo, Icona,
                       Pulsanti pulsanti) override {
        switch (pulsanti) {
            case Pulsanti::Ok:
                t_.err << testo << '\n';
                return Risposta::Ok;
            case Pulsanti::SiNo:
                if (siAutomatico_) return Risposta::Si;
                if (!t_.interattivo) {
                    t_.err << titolo << ": " << testo << " [No: nessun terminale]\n";
                    return Risposta::No;
                }
                return Chiedi(titolo + ": " + testo + " [s/N] ",
                              {{"s", Risposta::Si},
                               {"si", Risposta::Si},
                               {"sì", Risposta::Si},
                               {"y", Risposta::Si}},
                              Risposta::No);
            case Pulsanti::RiprovaAnnulla:
                if (!t_.interattivo) {
                    t_.err << titolo << ": " << testo << " [Annulla: nessun terminale]\n";
                    return Risposta::Annulla;
                }
                return Chiedi(titolo + ": " + testo + " [R]iprova / [A]nnulla: ",
                              {{"r", Risposta::Riprova}, {"riprova", Risposta::Riprova}},
                              Risposta::Annulla);
            case Pulsanti::RiprovaMancanteAnnulla:
                if (!t_.interattivo) {
                    t_.err << titolo << ": " << testo << " [Annulla: nessun terminale]\n";
                    return Risposta::Annulla;
                }
                return Chiedi(titolo + ": " + testo +
                                  " [R]iprova / [M] disco mancante o illeggibile / [A]nnulla: ",
                              {{"r", Risposta::Riprova},
                               {"riprova", Risposta::Riprova},
                               {"m", Risposta::Mancante},
                               {"mancante", Risposta::Mancante}},
                              Risposta::Annulla);
            case Pulsanti::SiNoAnnulla:
                if (!t_.interattivo) return Risposta::Annulla;
                return Chiedi(titolo + ": " + testo + " [S]i / [N]o / [A]nnulla: ",
                              {{"s", Risposta::Si}, {"n", Risposta::No}}, Risposta::Annulla);
        }
        return Risposta::Annulla;
    }
    std::string ScegliCartella(const std::string&, const std::string&) override { return {}; }
    bool ApriDocumento(const std::string&) override { return false; }

  private:
    Risposta Chiedi(const std::string& domanda,
                    const std::vector<std::pair<std::string, Risposta>>& scelte,
                    Risposta altrimenti) {
        t_.err << '\n' << domanda << std::flush;
        std::string riga;
        if (!std::getline(t_.in, riga)) return altrimenti;
        const std::string r = Minuscolo(Spazi(riga));
        for (const auto& [parola, risposta] : scelte) {
            if (r == parola) return risposta;
        }
        return altrimenti;
    }

    Terminale& t_;
    bool siAutomatico_;
};

std::string Minuti(int n) {
    return std::to_string(n) + (n == 1 ? " minuto" : " minuti");
}

// The operation's hooks on a terminal: a progress line redrawn in place (the phase, the bar,
// the MB done, the time left) on a terminal, the phases as plain lines otherwise; the
// questions on the terminal; Ctrl+C as a cancel.
class GanciTerminale final : public GanciOperazione {
  public:
    GanciTerminale(Terminale& t, InterazioneTerminale& domande) : t_(t), domande_(domande) {}
    ~GanciTerminale() override { Chiudi(); }

    void Messaggio(const std::string& testo) override {
        if (testo == testo_) return;
        testo_ = testo;
        quantita_.clear();
        if (t_.grafico) {
            Disegna();
        } else {
            t_.err << testo << '\n';
        }
    }
    void Avanzamento(double valore) override {
        const int pc = static_cast<int>(std::clamp(std::floor(valore), 0.0, 100.0));
        const std::string resto = stima_.Rimanente(valore, Secondi());
        if (pc == pc_ && resto == resto_) return;
        pc_ = pc;
        resto_ = resto;
        if (t_.grafico) Disegna();
    }
    void Quantita(uint64_t fatti, uint64_t totale) override {
        if (totale == 0) return;
        std::string q = DimensioneLeggibile(fatti) + " di " + DimensioneLeggibile(totale);
        if (q == quantita_) return;
        quantita_ = std::move(q);
        if (t_.grafico) Disegna();
    }
    void Avviso(const std::string& testo) override {
        Chiudi();
        t_.err << "Attenzione: " << testo << '\n';
        if (t_.grafico) Disegna();
    }
    Interazione& Domande() override {
        Chiudi();
        return domande_;
    }
    bool Annullato() const override {
        return GanciOperazione::Annullato() || (t_.interruzione != nullptr && t_.interruzione->load());
    }

    // The result: the success or the cancel on standard output (for scripts), the summary and
    // the warnings after it on standard error; an error on standard error.
    int Mostra(const Risultato& r) {
        Chiudi();
        switch (r.esito) {
            case Esito::Completato:
                t_.out << TestoEsito(r) << '\n';
                for (const std::string& d : RigheRiepilogo(r)) t_.err << d << '\n';
                for (const std::string& a : r.avvisi) t_.err << "Attenzione: " << a << '\n';
                if (r.operazione != Operazione::Verifica) return kSuccesso;
                switch (r.verifica.stato) {
                    case StatoSet::Integro:
                        return kSuccesso;
                    case StatoSet::Riparato:
                        return kRiparato;
                    case StatoSet::Riparabile:
                        return kDanneggiato;
                    case StatoSet::NonRiparabile:
                        return kNonRiparabile;
                }
                return kErrore;
            case Esito::Annullato:
                t_.err << TestoEsito(r) << '\n';
                return kAnnullato;
            case Esito::Rinunciato:
                t_.err << TestoEsito(r) << '\n';
                return kErrore;
            case Esito::Fallito:
                break;
        }
        if (r.errore) MostraErrore(*r.errore);
        return kErrore;
    }
    void MostraErrore(const Errore& e) {
        Chiudi();
        t_.err << "Errore " << e.Numero() << ": " << e.Descrizione();
        // Without a window showing the folder, say which one was tried.
        if ((e.Numero() == errori::DestinazioneNonValida ||
             e.Numero() == errori::SelezionareUnBackup) &&
            !cartella_.empty())
            t_.err << " (cartella: " << PercorsoPerMessaggio(cartella_) << ")";
        t_.err << '\n';
        Utilita().ScriviLog("Errore " + std::to_string(e.Numero()) + ": " + e.Descrizione() +
                            (e.Dettaglio().empty() ? "" : " (" + e.Dettaglio() + ")"));
    }

    void Cartella(const std::string& c) { cartella_ = c; }

  private:
    double Secondi() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - inizio_).count();
    }
    void Disegna() {
        constexpr int kLarghezza = 30;
        const int pieni = std::max(0, pc_) * kLarghezza / 100;
        t_.err << "\r[" << std::string(static_cast<size_t>(pieni), '#')
               << std::string(static_cast<size_t>(kLarghezza - pieni), '.') << "] "
               << (pc_ < 10    ? "  "
                   : pc_ < 100 ? " "
                               : "")
               << std::max(0, pc_) << "% " << testo_;
        if (!quantita_.empty()) t_.err << " " << quantita_;
        if (!resto_.empty()) t_.err << ", " << resto_;
        t_.err << "\033[K" << std::flush;
        aperta_ = true;
    }
    void Chiudi() {
        if (aperta_) t_.err << '\n';
        aperta_ = false;
    }

    Terminale& t_;
    InterazioneTerminale& domande_;
    const std::chrono::steady_clock::time_point inizio_ = std::chrono::steady_clock::now();
    StimaTempo stima_;
    std::string testo_;
    std::string quantita_;
    std::string resto_;
    std::string cartella_;
    int pc_ = -1;
    bool aperta_ = false;
};

struct Opzioni {
    std::string comando;
    std::optional<std::string> dest;
    std::optional<std::string> orig;
    std::optional<std::string> set;
    bool floppy = false;
    bool noVerify = false;
    bool yes = false;
    bool sostituisci = false;
    int attendi = 5;  // minutes to wait for another copy's operation
    int recupero = 10;  // the recovery files' share of a set in a folder, in %
    std::optional<std::string> data;  // verifica: the set's date as the list shows it
    bool ripara = false;
    bool cifra = false;
    std::optional<std::string> fileChiave;  // a text file holding the recovery key
    int conserva = 0;  // backup: the sets kept in the folder, the new one counted (0: all)
};

// The option a CLI11 error is about: its messages begin with the option's name.
std::string OpzioneDellErrore(const CLI::Error& e) {
    const std::string testo = e.what();
    return testo.substr(0, testo.find_first_of(": "));
}

// Parses the arguments; an error message for a usage error. Each command takes its own
// options; CLI11 reads them, the messages are the program's own, in Italian.
std::optional<std::string> Analizza(const std::vector<std::string>& a, Opzioni& o) {
    if (a.empty()) return "Nessun comando indicato.";
    o.comando = a[0];
    const bool backup = o.comando == "backup";
    const bool restore = o.comando == "restore";
    const bool verifica = o.comando == "verifica";
    if (o.comando == "pianifica") return std::nullopt;  // read by Pianifica
    if (o.comando == "stato") return a.size() > 1 ? std::optional<std::string>(
                                                        "Opzione non valida per stato: " + a[1])
                                                  : std::nullopt;
    if (!backup && !restore && !verifica && o.comando != "list")
        return "Comando sconosciuto: " + o.comando;
    CLI::App app;
    app.set_help_flag();  // --help and --version are answered before the arguments are read
    app.allow_extras();   // what no option of this command takes is named below
    app.allow_windows_style_options(false);  // "/x" is a folder, on Windows too
    std::string dest;
    std::string orig;
    std::string set;
    std::string minuti;
    std::string percento;
    std::string data;
    std::string fileChiave;
    std::string conserva;
    // An option's value is never the next option ("--orig --yes"): taken as none, and told.
    const auto valore = [&app](const char* nome, std::string& dove) {
        return app.add_option(nome, dove)
            ->expected(0, 1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    };
    CLI::Option* opzioneDest = nullptr;
    CLI::Option* opzioneOrig = nullptr;
    CLI::Option* opzioneSet = nullptr;
    CLI::Option* opzioneAttendi = nullptr;
    CLI::Option* opzioneRecupero = nullptr;
    CLI::Option* opzioneData = nullptr;
    CLI::Option* opzioneChiave = nullptr;
    if (backup || restore || verifica) {
        app.add_flag("--cifra", o.cifra);
        opzioneChiave = valore("--chiave-file", fileChiave);
    }
    CLI::Option* opzioneConserva = nullptr;
    if (verifica) {
        opzioneData = valore("--data", data);
        app.add_flag("--ripara", o.ripara);
    }
    if (backup) {
        opzioneDest = valore("--dest", dest);
        app.add_flag("--floppy", o.floppy)->excludes(opzioneDest);
        app.add_flag("--no-verify", o.noVerify);
        app.add_flag("--sostituisci", o.sostituisci);
        opzioneRecupero = valore("--recupero", percento);
        opzioneConserva = valore("--conserva", conserva);
    } else {
        opzioneOrig = valore("--orig", orig);
    }
    if (restore) {
        opzioneSet = valore("--set", set);
        app.add_flag("--yes", o.yes);
    }
    if (o.comando != "list") opzioneAttendi = valore("--attendi", minuti);
    try {
        std::vector<std::string> resto(a.rbegin(), a.rend() - 1);  // CLI11 takes them reversed
        app.parse(resto);
    } catch (const CLI::ExcludesError&) {
        return "Indicare --dest oppure --floppy, non entrambi.";
    } catch (const CLI::ArgumentMismatch& e) {
        return "L'opzione " + OpzioneDellErrore(e) + " richiede un valore.";
    } catch (const CLI::ParseError& e) {
        return "Opzione non valida per " + o.comando + ": " + OpzioneDellErrore(e);
    }
    if (const std::vector<std::string> estranee = app.remaining(); !estranee.empty())
        return "Opzione non valida per " + o.comando + ": " + estranee.front();
    for (const auto& [opzione, testo] :
         {std::pair{opzioneDest, &dest}, std::pair{opzioneOrig, &orig}, std::pair{opzioneSet, &set},
          std::pair{opzioneAttendi, &minuti}, std::pair{opzioneRecupero, &percento},
          std::pair{opzioneData, &data}, std::pair{opzioneChiave, &fileChiave},
          std::pair{opzioneConserva, &conserva}}) {
        if (opzione != nullptr && opzione->count() > 0 && testo->empty())
            return "L'opzione " + opzione->get_name() + " richiede un valore.";
    }
    // A relative folder is where the command was started: the start moves to the program
    // folder, and the setting saved must name the same folder from anywhere.
    if (opzioneDest != nullptr && opzioneDest->count() > 0)
        o.dest = PercorsoAssoluto(Spazi(CartellaDaArgomento(dest)));
    if (opzioneOrig != nullptr && opzioneOrig->count() > 0)
        o.orig = PercorsoAssoluto(Spazi(CartellaDaArgomento(orig)));
    if (opzioneSet != nullptr && opzioneSet->count() > 0) o.set = set;
    if (opzioneData != nullptr && opzioneData->count() > 0) o.data = Spazi(data);
    if (opzioneChiave != nullptr && opzioneChiave->count() > 0)
        o.fileChiave = PercorsoAssoluto(fileChiave);
    if (opzioneAttendi != nullptr && opzioneAttendi->count() > 0) {
        if (minuti.empty() || minuti.size() > 4 ||
            !std::all_of(minuti.begin(), minuti.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return "--attendi richiede un numero di minuti (da 0 a 9999): " + minuti;
        o.attendi = std::stoi(minuti);
    }
    if (opzioneRecupero != nullptr && opzioneRecupero->count() > 0) {
        if (percento.empty() || percento.size() > 3 ||
            !std::all_of(percento.begin(), percento.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(percento) > 100)
            return "--recupero richiede una percentuale (da 0 a 100): " + percento;
        o.recupero = std::stoi(percento);
    }
    if (opzioneConserva != nullptr && opzioneConserva->count() > 0) {
        if (conserva.empty() || conserva.size() > 3 ||
            !std::all_of(conserva.begin(), conserva.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(conserva) < 1)
            return "--conserva richiede un numero di backup (da 1 a 999): " + conserva;
        o.conserva = std::stoi(conserva);
    }
    return std::nullopt;
}

// Fills `elenco` with the sets of a folder; the rows as the list shows them, newest first.
// A name the list cannot read as a date is not a set and has no row.
std::vector<RigaInsieme> SetDellaCartella(const std::string& origine, ClsInsieme& elenco) {
    elenco.GetFilenames(Utilita().AggiungiSepDir(origine), kModelloSet);
    return elenco.Righe(kMascheraSet, 3);
}

int Lista(const Opzioni& o, const StatoAvvio& s, Terminale& t, GanciTerminale& ganci) {
    const std::string origine = Spazi(o.orig.value_or(s.orig));
    if (origine.empty()) {
        t.err << "Nessuna origine: indicare --orig CARTELLA.\n";
        return kUso;
    }
    ganci.Cartella(origine);
    try {
        ClsInsieme elenco;
        for (const RigaInsieme& riga : SetDellaCartella(origine, elenco))
            t.out << elenco.GetItem(riga.indice) << '\t' << riga.testo << '\n';
        return kSuccesso;
    } catch (...) {
        ganci.MostraErrore(ErroreCorrente());
        return kErrore;
    }
}

// The recovery key: the one of --chiave-file, else the one kept on this computer ("" for none).
// With --cifra (and for a backup the window's choice) none is an error.
std::string Chiave(const Opzioni& o, bool obbligatoria) {
    std::string k = o.fileChiave ? chiave::LeggiDaFile(*o.fileChiave) : LeggiChiaveCustodita();
    if (k.empty() && obbligatoria) throw errori::Crea(errori::ChiaveMancante);
    return k;
}

int Backup(const Opzioni& o, const StatoAvvio& s, GanciTerminale& ganci) {
    RichiestaBackup r = RichiestaBackup::DaAvvio(s);
    try {
        if (o.cifra || LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, kValoreCifra) == "1")
            r.chiave = Chiave(o, true);
    } catch (...) {
        ganci.MostraErrore(ErroreCorrente());
        return kErrore;
    }
    r.floppy = o.floppy;
    if (o.dest) r.destinazione = *o.dest;
    r.verifica = !o.noVerify;
    r.sostituisciPrecedente = o.sostituisci;
    r.percentualeRecupero = o.recupero;
    r.conserva = o.conserva;
    if (!r.floppy) ganci.Cartella(Spazi(r.destinazione));
    return ganci.Mostra(EseguiERegistraBackup(r, ganci));
}

int VerificaSet(const Opzioni& o, const StatoAvvio& s, Terminale& t, GanciTerminale& ganci) {
    RichiestaVerifica r;
    r.origine = Spazi(o.orig.value_or(s.orig));
    r.ripara = o.ripara;
    r.cartellaTemp = CartellaTempProgramma();
    try {
        r.chiave = Chiave(o, o.cifra);
    } catch (...) {
        ganci.MostraErrore(ErroreCorrente());
        return kErrore;
    }
    if (r.origine.empty()) {
        t.err << "Nessuna origine: indicare --orig CARTELLA.\n";
        return kUso;
    }
    ganci.Cartella(r.origine);
    try {
        // The set of the date given as the list shows it, else the newest.
        ClsInsieme elenco;
        for (const RigaInsieme& riga : SetDellaCartella(r.origine, elenco)) {
            if (!o.data || riga.testo == *o.data) {
                r.nomeSet = elenco.GetItem(riga.indice);
                break;
            }
        }
        if (r.nomeSet.empty()) throw errori::BackupNonTrovatoIn(r.origine);
    } catch (...) {
        ganci.MostraErrore(ErroreCorrente());
        return kErrore;
    }
    return ganci.Mostra(EseguiVerifica(r, ganci));
}

int Ripristina(const Opzioni& o, const StatoAvvio& s, Terminale& t, GanciTerminale& ganci) {
    RichiestaRipristino r = RichiestaRipristino::DaAvvio(s);
    if (o.orig) r.origine = *o.orig;
    r.origine = Spazi(r.origine);
    if (r.origine.empty()) {
        t.err << "Nessuna origine: indicare --orig CARTELLA.\n";
        return kUso;
    }
    try {
        r.chiave = Chiave(o, o.cifra);
    } catch (...) {
        ganci.MostraErrore(ErroreCorrente());
        return kErrore;
    }
    ganci.Cartella(r.origine);
    try {
        // The set restored is one the list shows: the one named, else the newest. A folder
        // that is missing, or a drive without a disk, is the list's error (9984).
        ClsInsieme elenco;
        for (const RigaInsieme& riga : SetDellaCartella(r.origine, elenco)) {
            if (!o.set || UgualiIgnorandoMaiuscole(elenco.GetItem(riga.indice), Spazi(*o.set))) {
                r.nomeSet = elenco.GetItem(riga.indice);
                r.dataSet = riga.testo;
                break;
            }
        }
        if (r.nomeSet.empty()) throw errori::BackupNonTrovatoIn(r.origine);
    } catch (...) {
        ganci.MostraErrore(ErroreCorrente());
        return kErrore;
    }
    return ganci.Mostra(EseguiRipristino(r, ganci));
}

// pianifica --ora HH:MM [--giorni lun,mar,...] --dest DIR [--verifica] [--conserva N], or
// pianifica --rimuovi.
int Pianifica(const std::vector<std::string>& a, Terminale& t) {
    PianificazioneBackup p;
    p.richiesta.verifica = false;
    bool ora = false;
    bool rimuovi = false;
    std::string errore;
    for (size_t i = 1; i < a.size() && errore.empty(); ++i) {
        const bool conValore = i + 1 < a.size();
        if (a[i] == "--rimuovi") {
            rimuovi = true;
        } else if (a[i] == "--verifica") {
            p.richiesta.verifica = true;
        } else if (a[i] == "--ora" && conValore) {
            ora = LeggiOra(a[++i], p.ora, p.minuto);
            if (!ora) errore = "--ora richiede un orario HH:MM: " + a[i];
        } else if (a[i] == "--giorni" && conValore) {
            if (!LeggiGiorni(a[++i], p.giorni))
                errore = "--giorni richiede giorni come lun,mar,mer,gio,ven,sab,dom: " + a[i];
        } else if (a[i] == "--dest" && conValore) {
            p.richiesta.destinazione = PercorsoAssoluto(Spazi(CartellaDaArgomento(a[++i])));
        } else if (a[i] == "--conserva" && conValore) {
            const std::string& n = a[++i];
            if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(n) < 1)
                errore = "--conserva richiede un numero di backup (da 1 a 999): " + n;
            else
                p.richiesta.conserva = std::stoi(n);
        } else {
            errore = "Opzione non valida per pianifica: " + a[i];
        }
    }
    if (errore.empty() && !rimuovi && (!ora || p.richiesta.destinazione.empty()))
        errore = "pianifica richiede --ora HH:MM e --dest CARTELLA (oppure --rimuovi).";
    if (!errore.empty()) {
        t.err << errore << "\nUsare --help per l'elenco dei comandi.\n";
        return kUso;
    }
    try {
        if (rimuovi) {
            RimuoviBackupPianificato();
            t.out << "Backup pianificato rimosso.\n";
        } else {
            PianificaBackup(p);
            t.out << TestoPianificazione(p) << '\n';
        }
        return kSuccesso;
    } catch (const Errore& e) {
        t.err << "Errore " << e.Numero() << ": " << e.Descrizione() << '\n';
        return kErrore;
    }
}

// Takes the operation lock, waiting up to --attendi minutes for another copy's operation to
// end (said once on standard error). False when it stayed taken.
bool AttendiOperazione(BloccoOperazione& b, const Opzioni& o, Terminale& t) {
    const auto fine = std::chrono::steady_clock::now() + std::chrono::minutes(o.attendi);
    bool avvisato = false;
    while (!b.Acquisisci()) {
        if (std::chrono::steady_clock::now() >= fine) return false;
        if (!avvisato) {
            t.err << "Un backup o un ripristino è in corso in un'altra copia di BVBackup: attesa "
                     "del suo termine (fino a "
                  << Minuti(o.attendi) << ")...\n";
            t.err.flush();
            avvisato = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    return true;
}

}  // namespace

int Esegui(const std::vector<std::string>& argomenti, Terminale& t) {
    if (std::find(argomenti.begin(), argomenti.end(), "--help") != argomenti.end()) {
        t.out << kAiuto;
        return kSuccesso;
    }
    if (std::find(argomenti.begin(), argomenti.end(), "--version") != argomenti.end()) {
        t.out << "bvbackup-cli " << BVBACKUP_VERSIONE << '\n';
        return kSuccesso;
    }
    Opzioni o;
    if (const auto errore = Analizza(argomenti, o)) {
        t.err << *errore << "\nUsare --help per l'elenco dei comandi.\n";
        return kUso;
    }
    // Only reads the record: no lock, no start's repairs.
    if (o.comando == "stato") {
        for (const std::string& riga : DescriviUltimoBackup(LeggiUltimoBackup(), Adesso()).righe)
            t.out << riga << '\n';
        if (const auto p = BackupPianificato()) t.out << TestoPianificazione(*p) << '\n';
        return kSuccesso;
    }
    if (o.comando == "pianifica") return Pianifica(argomenti, t);
    // A restore changes the data folder: unattended, it needs to be told so.
    if (o.comando == "restore" && !o.yes && !t.interattivo) {
        t.err << "Nessun terminale per confermare il ripristino: aggiungere --yes per procedere.\n";
        return kErrore;
    }
    // The window may be open: only another copy's operation keeps this one waiting. A list
    // never waits; it skips the start's repairs while another copy works.
    BloccoOperazione operazione;
    bool libera = false;
    try {
        libera = o.comando == "list" ? operazione.Acquisisci() : AttendiOperazione(operazione, o, t);
    } catch (const Errore& e) {
        t.err << "Errore " << e.Numero() << ": " << e.Descrizione() << '\n';
        return kErrore;
    }
    if (!libera && o.comando != "list") {
        t.err << "Un'altra copia di BVBackup è in esecuzione.\n"
              << "Il backup o il ripristino in corso non è terminato entro " << Minuti(o.attendi)
              << " (--attendi).\n";
        return kErrore;
    }

    InterazioneTerminale interazione(t, o.yes);
    UsaInterazione usa(interazione);
    GanciTerminale ganci(t, interazione);
    StatoAvvio s;
    try {
        // What the start repaired is told before the command's own output.
        s = CaricaAvvio(libera, [&](const std::string& testo) {
            interazione.Messaggio(testo, "Ripristino", Icona::Informazione, Pulsanti::Ok);
        });
    } catch (...) {
        ganci.MostraErrore(ErroreCorrente());
        return kErrore;
    }
    if (o.comando == "list") return Lista(o, s, t, ganci);
    if (o.comando == "backup") return Backup(o, s, ganci);
    if (o.comando == "verifica") return VerificaSet(o, s, t, ganci);
    return Ripristina(o, s, t, ganci);
}

}  // namespace bv::cli
