// In-use test with a child process that holds the file open, and the one-copy lock.
#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/variabili.h"
#include "platform/errori_piattaforma.h"
#include "platform/file_aperto.h"
#include "platform/istanza.h"
#include "platform/programma.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/processo.h"

namespace bv {
namespace {

using test::ProcessoCheTieneAperto;

class FileApertoTest : public ::testing::TestWithParam<int> {};

TEST_P(FileApertoTest, VeroSoloMentreUnAltroProcessoLoTieneAperto) {
    test::CartellaTemp t;
    const std::string db = t / "dati.mdb";
    test::ScriviFile(db, "contenuto");
    EXPECT_FALSE(FileInUso(db));
    {
        ProcessoCheTieneAperto figlio(db, GetParam());
        EXPECT_TRUE(FileInUso(db));
        EXPECT_TRUE(FileApertoDaProcessi(db));
    }
    EXPECT_FALSE(FileInUso(db));
    EXPECT_FALSE(FileApertoDaProcessi(db));
}

INSTANTIATE_TEST_SUITE_P(ModiDiApertura, FileApertoTest, ::testing::Values(O_RDONLY, O_RDWR));

TEST(FileAperto, UnFileCheLUtenteNonPuoLeggereNonEInUso) {
    // Closing the host would not help: the backup must say the file cannot be read.
    if (::geteuid() != 0) GTEST_SKIP() << "serve root per provare come un altro utente";
    test::CartellaTemp t;
    ::chmod(t.Percorso().c_str(), 0755);
    const std::string db = t / "riservato.mdb";
    test::ScriviFile(db, "contenuto");
    ::chmod(db.c_str(), 0600);
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(::setuid(65534) != 0 ? 2 : (FileInUso(db) ? 1 : 0));
    int stato = 0;
    ::waitpid(pid, &stato, 0);
    EXPECT_EQ(WEXITSTATUS(stato), 0);
}

TEST(FileAperto, MancanteNascostoOCartellaNonSonoInUso) {
    test::CartellaTemp t;
    EXPECT_FALSE(FileInUso(t / "manca.mdb"));
    EXPECT_FALSE(FileInUso(t.Percorso()));
    const std::string nascosto = t / ".nascosto.mdb";
    test::ScriviFile(nascosto, "x");
    ProcessoCheTieneAperto figlio(nascosto, O_RDONLY);
    EXPECT_FALSE(FileInUso(nascosto));
}

TEST(BloccoIstanza, UnaSolaCopiaPerCartellaDelProgramma) {
    test::CartellaTemp t;
    ImpostaCartellaProgramma(t.Percorso());
    const char* prima = std::getenv("XDG_RUNTIME_DIR");
    const std::string salvato = prima != nullptr ? prima : "";
    test::ImpostaVariabile("XDG_RUNTIME_DIR", (t / "manca").c_str());  // a missing folder changes nothing
    EXPECT_EQ(PercorsoBloccoIstanza(), t / "bvbackup.lock");
    {
        BloccoIstanza primo;
        ASSERT_TRUE(primo.Acquisisci());
        BloccoIstanza secondo;
        EXPECT_FALSE(secondo.Acquisisci());
        // Another process is refused as well, whatever its environment (cron has none).
        const pid_t pid = ::fork();
        if (pid == 0) {
            test::TogliVariabile("XDG_RUNTIME_DIR");
            BloccoIstanza altro;
            ::_exit(altro.Acquisisci() ? 1 : 0);
        }
        int stato = 0;
        ::waitpid(pid, &stato, 0);
        EXPECT_EQ(WEXITSTATUS(stato), 0);
    }
    BloccoIstanza dopo;
    EXPECT_TRUE(dopo.Acquisisci());
    // Another program folder is another installation, with a lock of its own.
    test::CreaCartelle(t / "altra");
    ImpostaCartellaProgramma(t / "altra");
    BloccoIstanza altrove;
    EXPECT_TRUE(altrove.Acquisisci());
    ImpostaCartellaProgramma("");
    if (prima != nullptr) {
        test::ImpostaVariabile("XDG_RUNTIME_DIR", salvato.c_str());
    } else {
        test::TogliVariabile("XDG_RUNTIME_DIR");
    }
}

// A lock file that cannot be opened at all (another user's, mode 600) in a folder that can be
// written is an error, never a pass: two operations would clash. Only a program folder that
// cannot be written (where the start refuses every operation) needs no lock. Root opens any
// file, so there a child of an unprivileged user tries.
struct LockNonApribile {
    const char* nome;
    bool fileAltrui;  // a lock file of mode 600 is there
    mode_t cartella;  // the program folder's mode
    bool errore;      // 3003 expected, else the lock held
};

class BloccoNonApribile : public ::testing::TestWithParam<LockNonApribile> {};

TEST_P(BloccoNonApribile, ErroreSalvoCartellaNonScrivibile) {
    const LockNonApribile& c = GetParam();
    test::CartellaTemp t;
    ::chmod(t.Percorso().c_str(), 0755);
    const std::string programma = t / "programma";
    test::CreaCartelle(programma);
    ImpostaCartellaProgramma(programma);
    const bool root = ::geteuid() == 0;
    for (const std::string& lock : {PercorsoBloccoIstanza(), PercorsoBloccoOperazione()}) {
        if (!c.fileAltrui) continue;
        test::ScriviFile(lock, "");
        ::chmod(lock.c_str(), root ? 0600 : 0);  // root opens any file: its own, for another user
    }
    ::chmod(programma.c_str(), c.cartella);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (root && ::setuid(65534) != 0) ::_exit(99);
        // 0: held, 1: error 3003, 2: taken for held by another copy, 3: another error.
        const auto esito = [](BloccoEsclusivo& b) {
            try {
                return b.Acquisisci() ? 0 : 2;
            } catch (const Errore& e) {
                return e.Numero() == errori::BloccoNonUtilizzabile ? 1 : 3;
            }
        };
        BloccoIstanza istanza;
        BloccoOperazione operazione;
        ::_exit(esito(istanza) * 4 + esito(operazione));
    }
    int stato = 0;
    ::waitpid(pid, &stato, 0);
    ::chmod(programma.c_str(), 0755);
    ImpostaCartellaProgramma("");
    ASSERT_TRUE(WIFEXITED(stato));
    EXPECT_EQ(WEXITSTATUS(stato), c.errore ? 5 : 0) << "(finestra * 4 + operazione)";
}

INSTANTIATE_TEST_SUITE_P(
    Casi, BloccoNonApribile,
    ::testing::Values(LockNonApribile{"FileAltrui", true, 0777, true},
                      LockNonApribile{"CartellaNonScrivibile", false, 0555, false}),
    [](const auto& i) { return std::string(i.param.nome); });

}  // namespace
}  // namespace bv
