// bvbackup-cli as a user runs it: processes, exit statuses, files, the log; and the disks of
// a small real file system answered on a pseudo-terminal when the tests run as root.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <regex>

#include "platform/console.h"
#include "platform/istanza.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "tests/cli/ambiente_cli.h"
#include "tests/support/processo.h"
#include "tests/support/variabili.h"

namespace bv {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> Contenuto(const std::string& cartella) {
    std::map<std::string, std::string> m;
    for (const auto& e : fs::recursive_directory_iterator(cartella)) {
        m[fs::relative(e.path(), cartella).string()] =
            e.is_regular_file() ? test::LeggiTesto(e.path().string()) : "/";
    }
    return m;
}

class Eseguibile : public test::AmbienteCli {
  protected:
    void SetUp() override {
        AmbienteCli::SetUp();
        // A program folder of its own: its Temp, its log, its lock.
        fs::copy_file(BVBACKUP_CLI, cli_);
    }
    test::EsitoProcesso Cli(const std::vector<std::string>& a) {
        return test::EseguiProcesso(cli_, a, Ambiente());
    }

    std::string cli_ = t_ / "programma/bvbackup-cli";
};

// The first Ctrl+C (or SIGTERM) asks for a cancel and the program goes on to its safe point.
TEST(Interruzione, PrimoSegnaleDiventaUnaRichiesta) {
    std::atomic<bool> richiesta{false};
    InterruzioneComeRichiesta(richiesta);
    ::raise(SIGINT);
    EXPECT_TRUE(richiesta.load());
    richiesta = false;
    InterruzioneComeRichiesta(richiesta);
    ::raise(SIGTERM);
    EXPECT_TRUE(richiesta.load());
    for (const int s : {SIGINT, SIGTERM}) ::signal(s, SIG_DFL);
}

TEST_F(Eseguibile, AndataERitornoFileperFile) {
    const auto originale = Contenuto(t_ / "dati");
    const auto b = Cli({"backup"});
    ASSERT_EQ(b.stato, 0) << b.err;
    EXPECT_EQ(b.out, "Backup completato correttamente.\n");
    test::ScriviFile(t_ / "dati/dati.mdb", "rovinato");
    fs::remove_all(t_ / "dati/altro");
    const auto r = Cli({"restore", "--yes"});  // the origin: none saved yet, so...
    EXPECT_EQ(r.stato, 2);
    const auto r2 = Cli({"restore", "--orig", t_ / "dest", "--yes"});
    ASSERT_EQ(r2.stato, 0) << r2.err;
    auto dopo = Contenuto(t_ / "dati");
    EXPECT_EQ(dopo["dati.mdb.cfb000"], "rovinato");
    for (const auto& [nome, dati] : originale) EXPECT_EQ(dopo[nome], dati) << nome;
    // Nothing of ours is left in the temporary folder; the log is where the README says.
    EXPECT_TRUE(fs::is_empty(t_ / "programma/Temp"));
}

TEST_F(Eseguibile, SetDellaCartellaDalPiuRecente) {
    ASSERT_EQ(Cli({"backup", "--no-verify"}).stato, 0);
    for (const auto& e : fs::directory_iterator(t_ / "dest")) {
        const std::string n = e.path().filename().string();
        fs::copy_file(e.path(), t_ / ("dest/BV20200131" + n.substr(10)));
        fs::copy_file(e.path(), t_ / ("dest/BV20231231" + n.substr(10)));
    }
    const auto l = Cli({"list", "--orig", t_ / "dest"});
    ASSERT_EQ(l.stato, 0);
    const std::regex riga(R"(BV(\d{8})\t(\d\d)/(\d\d)/(\d{4})\n)");
    std::vector<std::string> nomi;
    for (std::sregex_iterator i(l.out.begin(), l.out.end(), riga), fine; i != fine; ++i) {
        nomi.push_back((*i)[1]);
        EXPECT_EQ((*i)[4].str() + (*i)[3].str() + (*i)[2].str(), (*i)[1].str());
    }
    ASSERT_EQ(nomi.size(), 3U) << l.out;
    EXPECT_GT(nomi[0], nomi[1]);
    EXPECT_EQ(nomi[1], "20231231");
    EXPECT_EQ(nomi[2], "20200131");
}

TEST_F(Eseguibile, RipristinoRifiutatoSenzaTerminale) {
    ASSERT_EQ(Cli({"backup", "--no-verify"}).stato, 0);
    const auto prima = Contenuto(t_ / "dati");
    const auto r = Cli({"restore", "--orig", t_ / "dest"});
    EXPECT_EQ(r.stato, 1);
    EXPECT_NE(r.err.find("--yes"), std::string::npos);
    EXPECT_EQ(Contenuto(t_ / "dati"), prima);
}

TEST_F(Eseguibile, DomandeSenzaTerminaleAnnullate) {
    // No recovery files: with them the restore would rebuild the missing block itself.
    ASSERT_EQ(Cli({"backup", "--no-verify", "--recupero", "0"}).stato, 0);
    for (const auto& e : fs::directory_iterator(t_ / "dest")) {
        std::string n = e.path().filename().string();
        fs::rename(e.path(), t_ / ("dest/" + n.replace(n.find("#0"), 2, "#1")));
    }
    // A fixed folder is no disk to ask for: the missing block is named.
    const auto fisso = Cli({"restore", "--orig", t_ / "dest", "--yes"});
    EXPECT_EQ(fisso.stato, 1);
    EXPECT_NE(fisso.err.find("Errore 10017: Il backup in "), std::string::npos) << fisso.err;
    EXPECT_NE(fisso.err.find("manca il blocco BV"), std::string::npos) << fisso.err;

}

// The window's lock (another process) lets a scheduled backup through; an operation's does not.
TEST_F(Eseguibile, OperazioneDiUnAltroProcesso) {
    ImpostaCartellaProgramma(t_ / "programma");  // the copied executable's folder
    BloccoIstanza finestra;
    ASSERT_TRUE(finestra.Acquisisci());
    BloccoOperazione operazione;
    ASSERT_TRUE(operazione.Acquisisci());
    ImpostaCartellaProgramma("");
    const auto r = Cli({"backup", "--attendi", "0"});
    EXPECT_EQ(r.stato, 1);
    EXPECT_NE(r.err.find("Un'altra copia"), std::string::npos);
    operazione.Rilascia();
    const auto dopo = Cli({"backup", "--no-verify", "--attendi", "0"});
    EXPECT_EQ(dopo.stato, 0) << dopo.err;
}

TEST_F(Eseguibile, UsoErratoEErrori) {
    EXPECT_EQ(Cli({"bakup"}).stato, 2);
    EXPECT_EQ(Cli({"backup", "--dest"}).stato, 2);
    const auto e = Cli({"backup", "--dest", t_ / "manca"});
    EXPECT_EQ(e.stato, 1);
    EXPECT_EQ(e.err.substr(e.err.find("Errore")),
              "Errore 9984: Destinazione non valida o disco non pronto. (cartella: " +
                  PercorsoPerMessaggio(t_ / "manca") + ")\n");
    EXPECT_EQ(Cli({"--help"}).stato, 0);
}

TEST_F(Eseguibile, CancellettoNelNomeRifiutatoPrimaDiScrivere) {
    // The name set ends a name at "#": such a file is refused by name, nothing written.
    test::ScriviFile(t_ / "dati/vecchio#2.mdb", "x");
    const auto r = Cli({"backup"});
    EXPECT_EQ(r.stato, 1);
    EXPECT_NE(r.err.find("Errore 9992: Il nome del file "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("vecchio#2.mdb contiene il carattere #"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(t_ / "dest"));
}

TEST_F(Eseguibile, DischettiRealiSuTerminale) {
    if (::geteuid() != 0) GTEST_SKIP() << "serve root per montare un tmpfs";
    const std::string unita = t_ / "floppy";
    test::CreaCartelle(unita);
    if (::mount("tmpfs", unita.c_str(), "tmpfs", 0, "size=1440k") != 0)
        GTEST_SKIP() << "mount non permesso";
    std::mt19937 gen(7);
    std::string rumore(2000000, '\0');
    for (char& c : rumore) c = static_cast<char>(gen());
    test::ScriviFile(t_ / "dati/dati.mdb", rumore);
    auto ambiente = Ambiente();
    ambiente["BVBACKUP_FLOPPY"] = unita;
    // The disks: what is on the tmpfs moves out to a folder per disk, and back in on request.
    int inserito = 0;
    auto cambia = [&](int disco) {
        const std::string fuori = t_ / ("disco" + std::to_string(inserito));
        test::CreaCartelle(fuori);
        for (const auto& e : fs::directory_iterator(unita)) {
            fs::copy_file(e.path(), fs::path(fuori) / e.path().filename());
            fs::remove(e.path());
        }
        const std::string dentro = t_ / ("disco" + std::to_string(disco));
        if (fs::exists(dentro)) {
            for (const auto& e : fs::directory_iterator(dentro)) {
                fs::copy_file(e.path(), fs::path(unita) / e.path().filename());
                fs::remove(e.path());
            }
        }
        inserito = disco;
    };
    size_t visti = 0;
    const auto r = test::EseguiSuTerminale(
        cli_, {"backup", "--floppy"}, ambiente, [&](const std::string& schermo) {
            const std::string nuovo = schermo.substr(visti);
            if (nuovo.find("[R]iprova / [A]nnulla:") == std::string::npos) return std::string();
            visti = schermo.size();
            std::smatch d;
            if (std::regex_search(nuovo, d, std::regex(R"(Inserire il (\d+)° disco)"))) {
                cambia(std::stoi(d[1]) - 1);
            } else {
                cambia(inserito + 1);
            }
            return std::string("r\n");
        });
    ::umount(unita.c_str());
    EXPECT_EQ(r.stato, 0) << r.out;
    EXPECT_NE(r.out.find("spazio disco non disponibile"), std::string::npos);
    EXPECT_NE(r.out.find("Inserire il 2° disco del backup."), std::string::npos);
    EXPECT_NE(r.out.find("Backup completato correttamente."), std::string::npos);
}

}  // namespace
}  // namespace bv
