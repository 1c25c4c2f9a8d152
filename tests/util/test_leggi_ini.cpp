// LeggiINI: the rules of the profile reader.
#include <gtest/gtest.h>

#include "tests/support/cartella_temp.h"
#include "util/koutilita.h"

namespace bv {
namespace {

constexpr const char* kIni =
    "; commento\r\n"
    "[Altra]\r\n"
    "ULTIMO=9\r\n"
    "[SPAN]\r\n"
    "APP=Brelvano.exe\r\n"
    "Vuota=   \r\n"
    "Numero=  12  \r\n"
    "Doppie=\" tra virgolette \"\r\n"
    "Singole='x'\r\n"
    "Spaiate=\"x\r\n"
    "  Spazi  =  valore con spazi  \r\n"
    "APP=Secondo.exe\r\n"
    "Ansi=Citt\xE0\r\n"
    "[span]\r\n"
    "Dopo=trovato\r\n";

struct CasoIni {
    const char* sezione;
    const char* chiave;
    const char* atteso;
};

class LeggiIniTest : public ::testing::TestWithParam<CasoIni> {
  protected:
    static void SetUpTestSuite() {
        cartella_ = new test::CartellaTemp();
        test::ScriviFile(*cartella_ / "a.inf", kIni);
        std::string lf = kIni;
        for (size_t p; (p = lf.find('\r')) != std::string::npos;) lf.erase(p, 1);
        test::ScriviFile(*cartella_ / "lf.inf", lf);
    }
    static void TearDownTestSuite() { delete cartella_; }
    static test::CartellaTemp* cartella_;
};

test::CartellaTemp* LeggiIniTest::cartella_ = nullptr;

TEST_P(LeggiIniTest, CrLfELf) {
    const auto& c = GetParam();
    for (const char* file : {"a.inf", "lf.inf"}) {
        EXPECT_EQ(Utilita().LeggiINI(*cartella_ / file, c.sezione, c.chiave, "DEF"), c.atteso)
            << file;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Regole, LeggiIniTest,
    ::testing::Values(CasoIni{"SPAN", "APP", "Brelvano.exe"},  // the first occurrence wins
                      CasoIni{"span", "app", "Brelvano.exe"},  // letter case ignored
                      CasoIni{"SPAN", "Vuota", "DEF"},         // blank value: default
                      CasoIni{"SPAN", "Numero", "12"},         // trimmed
                      CasoIni{"SPAN", "Doppie", "tra virgolette"}, CasoIni{"SPAN", "Singole", "x"},
                      CasoIni{"SPAN", "Spaiate", "\"x"},
                      CasoIni{"SPAN", "spazi", "valore con spazi"},
                      CasoIni{"SPAN", "ULTIMO", "DEF"},  // only in another section
                      CasoIni{"Altra", "ULTIMO", "9"},
                      CasoIni{"SPAN", "Ansi", "Città"},  // Windows code page
                      CasoIni{"SPAN", "Dopo", "trovato"}, CasoIni{"Manca", "APP", "DEF"}));

TEST(LeggiIni, FileMancanteEValoreTroppoLungo) {
    test::CartellaTemp t;
    EXPECT_EQ(Utilita().LeggiINI(t / "manca.inf", "SPAN", "APP", "d"), "d");
    test::ScriviFile(t / "lungo.inf", "[S]\nK=" + std::string(2500, 'x') + "\n");
    EXPECT_EQ(Utilita().LeggiINI(t / "lungo.inf", "S", "K", ""), std::string(1999, 'x'));
}

}  // namespace
}  // namespace bv
