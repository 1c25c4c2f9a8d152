// Dates in the program's forms; the tests run in the plain C locale, where the forms are Italian.
#include <gtest/gtest.h>

#include "tests/support/variabili.h"
#include "platform/data_ora.h"

namespace bv {
namespace {

TEST(DataOra, FormeNelLocaleC) {
    BV_SOLO_POSIX("il locale C di POSIX");
    const DataOra d{2024, 1, 5, 7, 8, 9};
    EXPECT_EQ(TimestampLog(d), "2024-gen-05 07:08:09");
    EXPECT_EQ(DataBreve({2024, 1, 31, 0, 0, 0}), "31/01/2024");
    EXPECT_EQ(FormattaData(d, "yyyy/MM/dd"), "2024/01/05");
    EXPECT_EQ(FormattaData({2024, 3, 15, 18, 42, 7}, "hh:mm:ss"), "18:42:07");
    EXPECT_EQ(FormattaData({2024, 3, 15, 18, 42, 7}, "yyyy/MM/dd hh:mm:ss"), "2024/03/15 18:42:07");
    EXPECT_EQ(FormattaData(d, "BVyyyyMMdd"), "BV20240105");
    const char* mesi[] = {"gen", "feb", "mar", "apr", "mag", "giu",
                          "lug", "ago", "set", "ott", "nov", "dic"};
    for (int m = 1; m <= 12; ++m) EXPECT_EQ(AbbreviazioneMese(m), mesi[m - 1]);
}

TEST(DataOra, OrologioSostituibile) {
    ImpostaOrologio([] { return DataOra{2030, 12, 31, 23, 59, 58}; });
    EXPECT_EQ(Adesso().anno, 2030);
    ImpostaOrologio({});
    EXPECT_GE(Adesso().anno, 2024);
}

struct CasoData {
    int anno, mese, giorno;
    bool valida;
};

class DataValidaTest : public ::testing::TestWithParam<CasoData> {};

TEST_P(DataValidaTest, Calendario) {
    const auto& c = GetParam();
    EXPECT_EQ(DataValida(c.anno, c.mese, c.giorno), c.valida);
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, DataValidaTest,
    ::testing::Values(CasoData{2024, 1, 31, true}, CasoData{2024, 2, 29, true},
                      CasoData{2023, 2, 29, false}, CasoData{1900, 2, 29, false},
                      CasoData{2000, 2, 29, true}, CasoData{2024, 2, 30, false},
                      CasoData{2024, 13, 1, false}, CasoData{2024, 0, 1, false},
                      CasoData{2024, 4, 31, false}, CasoData{2024, 12, 0, false}));

}  // namespace
}  // namespace bv
