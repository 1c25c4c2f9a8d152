// The command line's commands run in-process: output, exit status, questions on the terminal.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/comandi.h"
#include "platform/custodia_chiave.h"
#include "platform/data_ora.h"
#include "platform/impostazioni.h"
#include "platform/istanza.h"
#include "platform/percorsi.h"
#include "sicurezza/giornale.h"
#include "tests/cli/ambiente_cli.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/unita_rimovibile.h"
#include "tests/support/variabili.h"
#include "util/chiave_ripristino.h"
#include "util/koutilita.h"

namespace bv {
namespace {

namespace fs = std::filesystem;

// Standard input that calls back for every line it is asked for.
class Risposte final : public std::streambuf {
  public:
    explicit Risposte(std::function<std::string()> prossima) : prossima_(std::move(prossima)) {}

  protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        riga_ = prossima_();
        if (riga_.empty()) return traits_type::eof();
        setg(riga_.data(), riga_.data(), riga_.data() + riga_.size());
        return traits_type::to_int_type(*gptr());
    }

  private:
    std::function<std::string()> prossima_;
    std::string riga_;
};

class Comandi : public test::AmbienteCli {
  protected:
    void SetUp() override {
        AmbienteCli::SetUp();
        for (const auto& [k, v] : Ambiente()) test::ImpostaVariabile(k.c_str(), v.c_str());
        ImpostaCartellaProgramma(t_ / "programma");
        ImpostaOrologio([] { return DataOra{2024, 3, 15, 18, 42, 7}; });
    }
    void TearDown() override {
        ImpostaCartellaProgramma("");
        ImpostaOrologio({});
        test::TogliVariabile("BVBACKUP_REGISTRY");
        test::TogliVariabile("XDG_RUNTIME_DIR");
        test::TogliVariabile("LC_ALL");
    }
    int Esegui(const std::vector<std::string>& a, bool interattivo = false, bool grafico = false,
               const std::atomic<bool>* interruzione = nullptr) {
        out_.str("");
        err_.str("");
        cli::Terminale t{in_, out_, err_, interattivo, grafico, interruzione};
        return cli::Esegui(a, t);
    }

    // The set's day as the list shows it: the user's short date (15/03/2024 in the C locale).
    static std::string Giorno() { return DataBreve({2024, 3, 15, 0, 0, 0}); }

    std::istringstream in_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(Comandi, BackupElencoRipristino) {
    EXPECT_EQ(Esegui({"backup"}), 0);
    EXPECT_EQ(out_.str(), "Backup completato correttamente.\n");
    EXPECT_EQ(
        err_.str(),
        "Attendere...\nCompressione dati...\nSalvataggio dati...\nTest...\nFine operazione.\n"
        "Backup BV20240315 in " + PercorsoPerMessaggio(t_ / "dest/") + ": 1 KB.\n"
        "Verificato: ogni file confrontato con l'originale.\n");
    EXPECT_EQ(Esegui({"list", "--orig", t_ / "dest"}), 0);
    EXPECT_EQ(out_.str(), "BV20240315\t" + Giorno() + "\n");
    test::ScriviFile(t_ / "dati/dati.mdb", "cambiato");
    EXPECT_EQ(Esegui({"restore", "--orig", t_ / "dest", "--yes"}), 0);
    EXPECT_EQ(out_.str(), "Ripristino effettuato con successo\n");
    EXPECT_NE(err_.str().find("dati.mdb: ripristinato, il precedente conservato come dati.mdb.cfb000"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb"), std::string(50000, 'd'));
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb.cfb000"), "cambiato");
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Orig"), t_ / "dest");
    // The saved origin is the default from now on.
    EXPECT_EQ(Esegui({"list"}), 0);
    EXPECT_EQ(out_.str(), "BV20240315\t" + Giorno() + "\n");
}

TEST_F(Comandi, BarraDiAvanzamentoSuTerminale) {
    EXPECT_EQ(Esegui({"backup", "--no-verify"}, false, true), 0);
    EXPECT_NE(err_.str().find("\r[##############################] 100% Fine operazione."),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(err_.str().find("Test..."), std::string::npos);
}

TEST_F(Comandi, RipristinoSenzaTerminaleNeYesNonCambiaNulla) {
    ASSERT_EQ(Esegui({"backup", "--no-verify"}), 0);
    test::ImpostaVariabile("BVBACKUP_REGISTRY", t_ / "vuoto.reg");  // no data path
    EXPECT_EQ(Esegui({"restore", "--orig", t_ / "dest"}), 1);
    EXPECT_NE(err_.str().find("--yes"), std::string::npos);
    EXPECT_FALSE(test::Esiste(t_ / "vuoto.reg"));
}

TEST_F(Comandi, ConfermaSulTerminale) {
    ASSERT_EQ(Esegui({"backup", "--no-verify"}), 0);
    in_.str("n\n");
    EXPECT_EQ(Esegui({"restore", "--orig", t_ / "dest"}, true), 1);
    EXPECT_NE(err_.str().find("Ripristino: Si desidera realmente procedere con il ripristino del "
                              "backup " + Giorno() + "?\n\nI database attuali saranno "
                              "conservati come copie di sicurezza (.cfb) accanto a quelli "
                              "ripristinati. [s/N]"),
              std::string::npos);
    EXPECT_FALSE(test::Esiste(t_ / "dati/dati.mdb.cfb000"));
    in_.clear();
    in_.str("s\n");
    EXPECT_EQ(Esegui({"restore", "--orig", t_ / "dest", "--set", "bv20240315"}, true), 0);
    EXPECT_TRUE(test::Esiste(t_ / "dati/dati.mdb.cfb000"));
}

TEST_F(Comandi, ErroriComeErroreNumeroTesto) {
    // A missing folder is the same error for every command, naming the folder tried.
    const std::string manca = PercorsoPerMessaggio(t_ / "manca");
    for (const auto& comando : std::vector<std::vector<std::string>>{
             {"backup", "--dest", t_ / "manca"},
             {"list", "--orig", t_ / "manca"},
             {"restore", "--orig", t_ / "manca", "--yes"}}) {
        SCOPED_TRACE(comando[0]);
        EXPECT_EQ(Esegui(comando), 1);
        EXPECT_NE(err_.str().find("Errore 9984: Destinazione non valida o disco non pronto. "
                                  "(cartella: " + manca + ")\n"),
                  std::string::npos)
            << err_.str();
    }
    EXPECT_EQ(Esegui({"restore", "--orig", t_ / "dest", "--set", "BV19990101", "--yes"}), 1);
    EXPECT_NE(err_.str().find("Errore 9241: "), std::string::npos);
    EXPECT_EQ(Esegui({"list", "--orig", t_ / "dati"}), 0);  // no sets: nothing, and no error
    EXPECT_EQ(out_.str(), "");
}

TEST_F(Comandi, RipristinoSenzaSetPrendeIlPiuRecenteDellElenco) {
    ASSERT_EQ(Esegui({"backup", "--no-verify"}), 0);
    // A stray name that sorts first but is no set: list leaves it out, and so must restore.
    test::ScriviFile(t_ / "dest/BVzzzzzzzz#0", "estraneo");
    EXPECT_EQ(Esegui({"list", "--orig", t_ / "dest"}), 0);
    EXPECT_EQ(out_.str(), "BV20240315\t" + Giorno() + "\n");
    test::ScriviFile(t_ / "dati/dati.mdb", "cambiato");
    EXPECT_EQ(Esegui({"restore", "--orig", t_ / "dest", "--yes"}), 0) << err_.str();
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb.cfb000"), "cambiato");
    // Only the stray name: no set to restore, and nothing asked.
    test::CreaCartelle(t_ / "solo_estraneo");
    test::ScriviFile(t_ / "solo_estraneo/BVzzzzzzzz#0", "estraneo");
    EXPECT_EQ(Esegui({"restore", "--orig", t_ / "solo_estraneo", "--yes"}), 1);
    EXPECT_EQ(err_.str(), "Errore 9241: " + PercorsoPerMessaggio(t_ / "solo_estraneo") +
                              ": backup non trovato.\n");
}

TEST_F(Comandi, SottocartelleEscluseAvvisate) {
    test::CreaCartelle(t_ / "dati/dati/vecchie");
    EXPECT_EQ(Esegui({"backup", "--no-verify"}), 0);
    EXPECT_NE(err_.str().find("Attenzione: La cartella " + t_ / "dati/dati/" +
                              " contiene sottocartelle che non fanno parte del backup: vecchie.\n"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(out_.str(), "Backup completato correttamente.\n");
}

// Hidden databases and companion files are left out, each named in a warning.
TEST_F(Comandi, NascostiEsclusiAvvisati) {
    BV_SOLO_POSIX("nascosto vuol dire un nome che comincia con un punto (su Windows un attributo)");
    test::ScriviFile(t_ / "dati/.ordini.mdb", "ordini");
    test::ScriviFile(t_ / "dati/dati/.bozza.txt", "bozza");
    EXPECT_EQ(Esegui({"backup", "--no-verify"}), 0);
    EXPECT_NE(err_.str().find("Attenzione: Il database " + t_ / "dati/.ordini.mdb" +
                              " è nascosto e non fa parte del backup"),
              std::string::npos)
        << err_.str();
    EXPECT_NE(err_.str().find("Attenzione: La cartella " + t_ / "dati/dati/" +
                              " contiene file nascosti che non fanno parte del backup: .bozza.txt."),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(out_.str(), "Backup completato correttamente.\n");
}

TEST_F(Comandi, RichiesteSenzaTerminaleAnnullate) {
    BV_SOLO_POSIX("unità A: reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh");
    // Only the second block of a set on the removable drive: the rebuild asks for the first disk.
    test::FsGuasto guasto;
    test::UnitaRimovibile unita(t_ / "floppy", t_ / "dischi", 1457664, 1);
    unita.Collega(guasto);
    ASSERT_EQ(Esegui({"backup", "--floppy", "--no-verify", "--recupero", "0"}), 0);
    const std::string d = unita.Cartella() + "/";
    fs::rename(d + "BV20240315#0", d + "BV20240315#1");
    fs::rename(d + "BV20240315#0.inf", d + "BV20240315#1.inf");
    EXPECT_EQ(Esegui({"restore", "--orig", d, "--yes"}), 1);
    EXPECT_NE(
        err_.str().find("Ripristino: Inserire il 1° disco del backup. [Annulla: nessun terminale]"),
        std::string::npos);
    EXPECT_NE(err_.str().find("Errore 10003: Operazione annullata."), std::string::npos);
}

// Standard output is the command's result for scripts: the notice of an interrupted restore
// finished at the start goes to standard error, ahead of nothing on standard output.
TEST_F(Comandi, AvvisoDelRecuperoSuErroreStandard) {
    BV_SOLO_POSIX("il giornale qui scritto a mano porta percorsi POSIX");
    const std::string d = t_ / "dati";
    test::ScriviFile(d + "/~bvripristino1.tmp", "nuovo");
    test::CreaCartelle(d + "/~bvripristino1.dir");
    test::ScriviFile(d + "/~bvripristino1.dir/logo.bmp", "logo nuovo");
    test::ScriviFile(d + "/~bvripristino1.dir/.~bvnuova-00ab", "");
    test::ScriviFile(PercorsoGiornale(),
                     "BVBACKUP-GIORNALE-RIPRISTINO 1\nFASE=conferma\nDATI=" + d +
                         "/\nLAVORO=\nVOCE\nDATABASE=" + d + "/dati.mdb\nNUOVO_DATABASE=" + d +
                         "/~bvripristino1.tmp\nCOPIA_DATABASE=" + d +
                         "/dati.mdb.cfb000\nCARTELLA=" + d + "/dati\nNUOVA_CARTELLA=" + d +
                         "/~bvripristino1.dir\nCOPIA_CARTELLA=" + d +
                         "/dati.cfb000\nIDENTITA=12345\nGETTONE=00ab\nFINE\n");
    EXPECT_EQ(Esegui({"list", "--orig", t_ / "dest"}), 0);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("Un ripristino interrotto è stato completato"), std::string::npos)
        << err_.str();
    EXPECT_EQ(test::LeggiTesto(d + "/dati.mdb"), "nuovo");
}

// A scheduled backup runs beside an idle window; another copy's operation is waited for up to
// --attendi, and a list meanwhile leaves that operation's journal alone.
TEST_F(Comandi, AccantoAllaFinestraEAUnAltraOperazione) {
    BloccoIstanza finestra;
    ASSERT_TRUE(finestra.Acquisisci());
    EXPECT_EQ(Esegui({"backup", "--no-verify"}), 0) << err_.str();
    fs::remove_all(t_ / "dest");
    test::CreaCartelle(t_ / "dest");

    BloccoOperazione altra;
    ASSERT_TRUE(altra.Acquisisci());
    EXPECT_EQ(Esegui({"backup", "--attendi", "0"}), 1);
    EXPECT_EQ(err_.str(),
              "Un'altra copia di BVBackup è in esecuzione.\nIl backup o il ripristino in corso "
              "non è terminato entro 0 minuti (--attendi).\n");
    EXPECT_FALSE(test::Esiste(t_ / "dest/BV20240315#0"));
    test::ScriviFile(PercorsoGiornale(), "il giornale del ripristino in corso");
    EXPECT_EQ(Esegui({"list", "--orig", t_ / "dest"}), 0);
    EXPECT_EQ(test::LeggiTesto(PercorsoGiornale()), "il giornale del ripristino in corso");
    fs::remove(PercorsoGiornale());

    std::thread termine([&altra] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        altra.Rilascia();
    });
    const int stato = Esegui({"backup", "--no-verify", "--attendi", "1"});
    termine.join();
    EXPECT_EQ(stato, 0) << err_.str();
    EXPECT_NE(err_.str().find("attesa del suo termine (fino a 1 minuto)"), std::string::npos);
    EXPECT_TRUE(test::Esiste(t_ / "dest/BV20240315#0"));
}

TEST_F(Comandi, HostTroppoVecchio) {
    const auto img = strumenti::CostruisciPe({.versione = std::array<uint16_t, 4>{0, 9, 0, 0}});
    test::ScriviFile(t_ / "host/Brelvano.exe", std::string(img.byte.begin(), img.byte.end()));
    EXPECT_EQ(Esegui({"backup"}), 1);
    EXPECT_NE(err_.str().find("Errore 3012: Il modulo di backup"), std::string::npos);
}

// A relative folder is where the command was started, though the start moves to the program
// folder; the settings keep it in full, so it names the same folder from anywhere.
TEST_F(Comandi, CartellaRelativaDaDoveParteIlComando) {
    for (const char* c : {"utente/chiavetta", "altra"}) test::CreaCartelle(t_ / c);
    const fs::path prima = fs::current_path();
    for (const auto& [argomento, cartella] : std::vector<std::pair<std::string, std::string>>{
             {"chiavetta", t_ / "utente/chiavetta"},
             {".", t_ / "utente"},
             {"../altra/", t_ / "altra"}}) {
        SCOPED_TRACE(argomento);
        const auto salvata = [](const char* nome, const std::string& attesa) {
            const std::string s = LeggiImpostazione("KO_BVBackup", "Backup", nome);
            EXPECT_TRUE(fs::path(s).is_absolute()) << s;
            // Windows' C runtime finds no folder by a name with a final separator.
            std::string senza = s;
            while (senza.size() > 3 && (senza.back() == '/' || senza.back() == '\\')) senza.pop_back();
            EXPECT_TRUE(fs::exists(senza) && fs::equivalent(senza, attesa)) << s;
        };
        fs::current_path(t_ / "utente");
        EXPECT_EQ(Esegui({"backup", "--dest", argomento}), 0) << err_.str();
        EXPECT_TRUE(test::Esiste((fs::path(cartella) / "BV20240315#0").string()));
        salvata("Dest", cartella);
        fs::current_path(t_ / "utente");
        EXPECT_EQ(Esegui({"list", "--orig", argomento}), 0) << err_.str();
        EXPECT_EQ(out_.str(), "BV20240315\t" + Giorno() + "\n");
        fs::current_path(t_ / "utente");
        EXPECT_EQ(Esegui({"restore", "--orig", argomento, "--yes"}), 0) << err_.str();
        salvata("Orig", cartella);
    }
    fs::current_path(prima);
}

struct CasoUso {
    std::vector<std::string> argomenti;
    std::string messaggio;  // the first line, in Italian
};

class UsoErrato : public Comandi, public ::testing::WithParamInterface<CasoUso> {};

TEST_P(UsoErrato, Stato2EMessaggioInItaliano) {
    EXPECT_EQ(Esegui(GetParam().argomenti), 2);
    EXPECT_EQ(err_.str(), GetParam().messaggio + "\nUsare --help per l'elenco dei comandi.\n");
    EXPECT_EQ(out_.str(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Casi, UsoErrato,
    ::testing::Values(
        CasoUso{{}, "Nessun comando indicato."}, CasoUso{{"copia"}, "Comando sconosciuto: copia"},
        CasoUso{{"backup", "--dest"}, "L'opzione --dest richiede un valore."},
        CasoUso{{"backup", "--dest", "/x", "--floppy"},
                "Indicare --dest oppure --floppy, non entrambi."},
        CasoUso{{"backup", "--yes"}, "Opzione non valida per backup: --yes"},
        CasoUso{{"backup", "--dest", "/x", "/y"}, "Opzione non valida per backup: /y"},
        CasoUso{{"list", "--set", "x"}, "Opzione non valida per list: --set"},
        CasoUso{{"backup", "--attendi", "-1"},
                "--attendi richiede un numero di minuti (da 0 a 9999): -1"},
        CasoUso{{"restore", "--attendi", "mezz'ora"},
                "--attendi richiede un numero di minuti (da 0 a 9999): mezz'ora"},
        CasoUso{{"list", "--attendi", "1"}, "Opzione non valida per list: --attendi"},
        CasoUso{{"backup", "--recupero", "101"},
                "--recupero richiede una percentuale (da 0 a 100): 101"},
        CasoUso{{"backup", "--recupero", "-5"},
                "--recupero richiede una percentuale (da 0 a 100): -5"},
        CasoUso{{"restore", "--recupero", "10"}, "Opzione non valida per restore: --recupero"},
        // The next option is never taken as a value.
        CasoUso{{"restore", "--orig", "--yes"}, "L'opzione --orig richiede un valore."}));

// An old set verified and repaired in place: each finding its own exit status; after the
// repair Debian's par2 finds the set whole too.
TEST_F(Comandi, VerificaERiparazione) {
    ASSERT_EQ(Esegui({"backup"}), 0);
    const std::string dest = t_ / "dest";
    const std::string blocco = dest + "/BV20240315#0";
    const auto verifica = [&](std::vector<std::string> extra) {
        std::vector<std::string> a{"verifica", "--orig", dest};
        a.insert(a.end(), extra.begin(), extra.end());
        return Esegui(a);
    };
    EXPECT_EQ(verifica({}), 0);
    EXPECT_NE(out_.str().find("è integro"), std::string::npos) << out_.str();
    std::string d = test::LeggiTesto(blocco);
    d[d.size() / 2] = static_cast<char>(~d[d.size() / 2]);
    test::ScriviFile(blocco, d);
    EXPECT_EQ(verifica({"--data", Giorno()}), cli::kDanneggiato);
    EXPECT_NE(out_.str().find("danneggiato (blocco #0) ma può essere riparato"), std::string::npos)
        << out_.str();
    EXPECT_EQ(test::LeggiTesto(blocco), d);  // only told
    EXPECT_EQ(verifica({"--ripara"}), cli::kRiparato);
    EXPECT_NE(out_.str().find("riscritto il blocco #0"), std::string::npos) << out_.str();
    EXPECT_NE(test::LeggiTesto(blocco), d);
    EXPECT_EQ(verifica({}), 0);
    // Debian's par2 as the independent check, where it runs (not from a Windows build).
    if (!test::kSuWindows && fs::exists("/usr/bin/par2")) {
        EXPECT_EQ(std::system(("cd '" + dest + "' && par2 verify -q BV20240315.par2 >/dev/null 2>&1").c_str()), 0);
    }
    fs::remove(blocco);
    EXPECT_EQ(verifica({"--ripara"}), cli::kNonRiparabile);
    EXPECT_NE(out_.str().find("non può essere riparato: mancano "), std::string::npos) << out_.str();
    EXPECT_EQ(verifica({"--data", "01/01/2001"}), cli::kErrore);
}

// Ctrl+C before the first safe point: nothing written, the cancel told, its own exit status.
TEST_F(Comandi, CtrlCAnnulla) {
    const std::atomic<bool> premuto{true};
    EXPECT_EQ(Esegui({"backup"}, false, false, &premuto), cli::kAnnullato);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("Operazione annullata. Nessun backup è stato scritto in " +
                              PercorsoPerMessaggio(t_ / "dest/") + "."),
              std::string::npos)
        << err_.str();
    EXPECT_TRUE(fs::is_empty(t_ / "dest"));
    EXPECT_EQ(Esegui({"backup"}), 0);
    test::ScriviFile(t_ / "dati/dati.mdb", "cambiato");
    EXPECT_EQ(Esegui({"restore", "--orig", t_ / "dest", "--yes"}, false, false, &premuto),
              cli::kAnnullato);
    EXPECT_NE(err_.str().find("Operazione annullata. I dati non sono stati modificati."),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb"), "cambiato");
}

TEST_F(Comandi, AiutoEVersione) {
    EXPECT_EQ(Esegui({"--help"}), 0);
    EXPECT_TRUE(out_.str().starts_with("Uso: bvbackup-cli COMANDO"));
    // Real accents: both consoles take UTF-8 (or UTF-16) now, no apostrophe stands for one.
    EXPECT_TRUE(std::regex_search(out_.str(), std::regex("è eseguita|finché|più recente")));
    EXPECT_FALSE(std::regex_search(out_.str(), std::regex("[aeiou]' ")));
    EXPECT_EQ(Esegui({"backup", "--version"}), 0);
    EXPECT_TRUE(std::regex_match(out_.str(), std::regex(R"(bvbackup-cli \d+\.\d+\.\d+\n)")));
}

TEST_F(Comandi, DischettiSimulatiRispostiSulTerminale) {
#ifdef _WIN32
    GTEST_SKIP() << "unità A: reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh";
#else
    fs::remove(t_ / "dati/dati.mdb");
    std::mt19937 gen(4);
    std::string rumore(2500000, '\0');
    for (char& c : rumore) c = static_cast<char>(gen());
    test::ScriviFile(t_ / "dati/dati.mdb", rumore);
    test::FsGuasto guasto;
    test::UnitaRimovibile unita(t_ / "floppy", t_ / "dischi", 1457664, 3);
    unita.Collega(guasto);
    test::ImpostaVariabile("BVBACKUP_FLOPPY", unita.Cartella().c_str());
    size_t lette = 0;
    Risposte risposte([&] {
        // The question just printed says which disk the user puts in before answering.
        const std::string schermo = err_.str().substr(lette);
        lette = err_.str().size();
        std::smatch d;
        if (std::regex_search(schermo, d, std::regex(R"(Inserire il (\d+)° disco)"))) {
            unita.Inserisci(std::stoi(d[1]) - 1);
        } else if (schermo.find("Inserire un nuovo disco") != std::string::npos) {
            unita.Inserisci(unita.Inserito() + 1);
        }
        return std::string("r\n");
    });
    std::istream in(&risposte);
    out_.str("");
    err_.str("");
    cli::Terminale t{in, out_, err_, true, false};
    EXPECT_EQ(cli::Esegui({"backup", "--floppy", "--recupero", "0"}, t), 0);
    test::TogliVariabile("BVBACKUP_FLOPPY");
    EXPECT_EQ(out_.str(), "Backup completato correttamente.\n");
    const std::string& e = err_.str();
    EXPECT_NE(e.find("Disco: " + unita.Cartella() +
                     " spazio disco non disponibile. Inserire un nuovo disco e premere Riprova. "
                     "Sarà il disco 2 del backup: annotarlo sull'etichetta. [R]iprova / [A]nnulla: "),
              std::string::npos);
    EXPECT_NE(e.find("Verifica: Inserire il 2° disco del backup. [R]iprova / [A]nnulla: "),
              std::string::npos);
    EXPECT_TRUE(test::Esiste(unita.Disco(1) + "/BV20240315#1"));
#endif
}

TEST_F(Comandi, PianificaEStato) {
    BV_SOLO_POSIX("unità di systemd");
    test::ImpostaVariabile("BVBACKUP_PIANIFICAZIONE", t_ / "unita");
    EXPECT_EQ(Esegui({"stato"}), 0);
    EXPECT_EQ(out_.str(), "Nessun backup registrato.\n");
    for (const std::vector<std::string>& sbagliato :
         {std::vector<std::string>{"pianifica", "--ora", "25:00", "--dest", t_ / "dest"},
          {"pianifica", "--ora", "18:00", "--giorni", "lun,xyz", "--dest", t_ / "dest"},
          {"pianifica", "--ora", "18:00"},
          {"backup", "--conserva", "0"}})
        EXPECT_EQ(Esegui(sbagliato), 2) << sbagliato[1];
    ASSERT_EQ(Esegui({"pianifica", "--ora", "18:00", "--dest", t_ / "dest", "--verifica",
                      "--conserva", "3"}),
              0)
        << err_.str();
    const std::string atteso = "Backup pianificato ogni giorno alle 18:00 in " + (t_ / "dest") + "/\n";
    EXPECT_EQ(out_.str(), atteso);
    const std::string timer = LeggiFileTesto(t_ / "unita/bvbackup.timer");
    EXPECT_NE(timer.find("OnCalendar=*-*-* 18:00:00"), std::string::npos);
    EXPECT_NE(LeggiFileTesto(t_ / "unita/bvbackup.service").find("\"--conserva\" \"3\""),
              std::string::npos);

    // A failed backup is what the next start tells first.
    EXPECT_EQ(Esegui({"backup", "--dest", t_ / "manca"}), 1);
    EXPECT_EQ(Esegui({"stato"}), 0);
    EXPECT_TRUE(out_.str().starts_with("Il backup di oggi alle 18:42 non è riuscito: ")) << out_.str();
    EXPECT_TRUE(out_.str().ends_with(atteso));
    EXPECT_EQ(Esegui({"pianifica", "--rimuovi"}), 0);
    EXPECT_FALSE(std::filesystem::exists(t_ / "unita/bvbackup.timer"));
    EXPECT_EQ(Esegui({"stato"}), 0);
    EXPECT_EQ(out_.str().find("pianificato ogni"), std::string::npos);
    test::TogliVariabile("BVBACKUP_PIANIFICAZIONE");
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// An encrypted set end to end: 7-Zip opens it with the key only, a wrong or missing key
// changes nothing, the key is in no file of the set, the settings or the log, and the key
// kept on this computer serves an unattended backup and restore.
// The key's store as the test found it, put back after it: under Wine it is the prefix's
// user profile, not the test's folder.
class CustodiaMessaDaParte {
  public:
    CustodiaMessaDaParte() {
        if (fs::exists(percorso_)) {
            prima_ = test::LeggiTesto(percorso_);
            fs::remove(percorso_);
        }
    }
    ~CustodiaMessaDaParte() {
        if (prima_) {
            test::ScriviFile(percorso_, *prima_);
        } else {
            fs::remove(percorso_);
        }
    }
    CustodiaMessaDaParte(const CustodiaMessaDaParte&) = delete;
    CustodiaMessaDaParte& operator=(const CustodiaMessaDaParte&) = delete;

  private:
    std::string percorso_ = PercorsoCustodiaChiave();
    std::optional<std::string> prima_;
};

TEST_F(Comandi, SetCifrato) {
    const CustodiaMessaDaParte custodia;
    const std::string chiave = chiave::Genera();
    const std::string fileChiave = t_ / "chiave.txt";
    const std::string altra = t_ / "altra.txt";
    test::ScriviFile(fileChiave, chiave::TestoDelFile(chiave));
    test::ScriviFile(altra, chiave::TestoDelFile(chiave::Genera()));
    const std::string dest = t_ / "dest";
    EXPECT_EQ(Esegui({"backup", "--cifra"}), cli::kErrore);  // no key kept yet
    EXPECT_NE(err_.str().find("Errore 10021"), std::string::npos) << err_.str();
    ASSERT_EQ(Esegui({"backup", "--cifra", "--chiave-file", fileChiave}), 0) << err_.str();
    const std::string blocco = dest + "/BV20240315#0";
    for (const char* sette : {"/usr/bin/7zz", "/usr/bin/7z"}) {
        if (test::kSuWindows || !fs::exists(sette)) continue;
        const auto prova = [&](const std::string& k) {
            return std::system((std::string(sette) + " t -p'" + k + "' '" + blocco + "' >/dev/null 2>&1").c_str());
        };
        EXPECT_EQ(prova(chiave), 0);
        EXPECT_NE(prova("wrong"), 0);
        break;
    }
    std::string senzaTrattini = chiave;
    std::erase(senzaTrattini, '-');
    std::vector<std::string> file{t_ / "registry.reg", koUtilita::FileLog()};
    for (const auto& v : fs::directory_iterator(dest)) file.push_back(v.path().string());
    for (const std::string& f : file) {
        const std::string testo = test::LeggiTesto(f);
        EXPECT_EQ(testo.find(chiave), std::string::npos) << f;
        EXPECT_EQ(testo.find(senzaTrattini), std::string::npos) << f;
    }
    test::ScriviFile(t_ / "dati/dati.mdb", "cambiato");
    struct Rifiuto {
        std::vector<std::string> extra;
    };
    for (const Rifiuto& r : {Rifiuto{{"--chiave-file", altra}}, Rifiuto{{}}}) {
        std::vector<std::string> a{"restore", "--orig", dest, "--yes"};
        a.insert(a.end(), r.extra.begin(), r.extra.end());
        EXPECT_EQ(Esegui(a), cli::kErrore);
        EXPECT_NE(err_.str().find("Errore 10020"), std::string::npos) << err_.str();
        EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb"), "cambiato");
        EXPECT_FALSE(fs::exists(t_ / "dati/dati.mdb.cfb000"));
    }
    EXPECT_EQ(Esegui({"verifica", "--orig", dest, "--chiave-file", fileChiave}), 0) << out_.str();
    EXPECT_EQ(Esegui({"verifica", "--orig", dest, "--chiave-file", altra}), cli::kErrore);
    EXPECT_EQ(Esegui({"restore", "--orig", dest, "--yes", "--chiave-file", fileChiave}), 0)
        << err_.str();
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb"), std::string(50000, 'd'));
    // Kept on this computer: the window's choice makes every backup encrypted. (Under Wine
    // DPAPI keeps its own keys under HKCU, which this test's registry replaces: the store is
    // tested there by test_platform.)
    if (test::kSuWindows) return;
    CustodisciChiave(chiave);
    EXPECT_EQ(LeggiChiaveCustodita(), chiave);
    EXPECT_EQ(fs::status(PercorsoCustodiaChiave()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    SalvaImpostazione("KO_BVBackup", "Backup", "Cifra", "1");
    ASSERT_EQ(Esegui({"backup"}), 0) << err_.str();
    EXPECT_EQ(Esegui({"restore", "--orig", dest, "--yes"}), 0) << err_.str();
    EXPECT_EQ(Esegui({"restore", "--orig", dest, "--yes", "--chiave-file", altra}), cli::kErrore);
    EXPECT_EQ(test::LeggiTesto(t_ / "registry.reg").find(chiave), std::string::npos);
}

}  // namespace
}  // namespace bv
