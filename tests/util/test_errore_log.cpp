// The error display and the log file.
#include <gtest/gtest.h>

#include <cerrno>
#include <regex>

#include "platform/data_ora.h"
#include "platform/programma.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/interazione_script.h"
#include "util/koutilita.h"

namespace bv {
namespace {

struct CasoErrore {
    int32_t numero;
    const char* descrizione;
    const char* testo;
    const char* titolo;
};

class PrintErroreTest : public ::testing::TestWithParam<CasoErrore> {};

TEST_P(PrintErroreTest, MessaggioETitolo) {
    const auto& c = GetParam();
    test::InterazioneScriptata interazione;
    Utilita().PrintErrore(Errore(c.numero, c.descrizione));
    ASSERT_EQ(interazione.messaggi.size(), 1U);
    EXPECT_EQ(interazione.messaggi[0].testo, c.testo);
    EXPECT_EQ(interazione.messaggi[0].titolo, c.titolo);
    EXPECT_EQ(interazione.messaggi[0].icona, Icona::Informazione);
    EXPECT_EQ(interazione.messaggi[0].pulsanti, Pulsanti::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, PrintErroreTest,
    ::testing::Values(
        CasoErrore{52, "qualcosa", "Impossibile leggere l'unità specificata.", "Errore  52"},
        CasoErrore{9990,
                   "Impossibile procedere con il ripristino. Accesso in scrittura non permesso.",
                   "Impossibile procedere con il ripristino. Accesso in scrittura non permesso.",
                   "Errore  9990"},
        CasoErrore{-5, "negativo", "negativo", "Errore -5"}, CasoErrore{0, "", "", "Errore  0"}));

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override { ImpostaCartellaProgramma(t_.Percorso() + "/"); }
    void TearDown() override {
        ImpostaCartellaProgramma("");
        ImpostaOrologio({});
    }
    test::CartellaTemp t_;
};

TEST_F(LogTest, DueRigheConIlProprioTimestamp) {
    ImpostaOrologio([] { return DataOra{2024, 3, 15, 18, 42, 7}; });
    EXPECT_TRUE(Utilita().ScriviLog("prima"));
    ImpostaOrologio([] { return DataOra{2024, 12, 1, 9, 5, 0}; });
    EXPECT_TRUE(Utilita().ScriviLog("seconda"));
    // The program folder ends in a separator: no doubled one.
    const std::string file = t_.Percorso() + "/" + NomeProgramma() + ".log";
    EXPECT_EQ(koUtilita::FileLog(), file);
    EXPECT_EQ(test::LeggiTesto(file),
              "2024-mar-15 18:42:07 prima\r\n2024-dic-01 09:05:00 seconda\r\n");
}

TEST_F(LogTest, SenzaDataFileIndicatoECancellazione) {
    const std::string file = t_ / "altro.log";
    EXPECT_TRUE(Utilita().ScriviLog("uno", "  " + file + " ", false));
    EXPECT_TRUE(Utilita().ScriviLog("due", file, false));
    EXPECT_EQ(test::LeggiTesto(file), "uno\r\ndue\r\n");
    EXPECT_TRUE(Utilita().ScriviLog("tre", file, false, true));
    EXPECT_EQ(test::LeggiTesto(file), "tre\r\n");
    EXPECT_TRUE(Utilita().ScriviLog("nuovo", t_ / "nuovo.log", false, true));
}

TEST_F(LogTest, FileNonScrivibileDaFalsoSenzaErrori) {
    EXPECT_FALSE(Utilita().ScriviLog("x", t_ / "manca/log.log"));
    test::FsGuasto guasto;
    guasto.erroreApertura = [](const std::string&, ModoApertura) { return EACCES; };
    EXPECT_FALSE(Utilita().ScriviLog("x"));
    guasto.erroreApertura = nullptr;
    guasto.scritturaCheFallisce = 1;
    EXPECT_FALSE(Utilita().ScriviLog("x"));
}

TEST_F(LogTest, PrintErroreScriveIlDettaglioNelLog) {
    test::InterazioneScriptata interazione;
    Utilita().PrintErrore(Errore(61, "Disco pieno: /b/x", "write '/b/x': No space left on device"));
    const std::string log = test::LeggiTesto(koUtilita::FileLog());
    EXPECT_TRUE(std::regex_search(
        log,
        std::regex(R"(^\d{4}-\w{3}-\d\d \d\d:\d\d:\d\d Errore 61: Disco pieno: /b/x \[write)")))
        << log;
    EXPECT_EQ(interazione.messaggi.at(0).testo, "Disco pieno: /b/x");
}

}  // namespace
}  // namespace bv
