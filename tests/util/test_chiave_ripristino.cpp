// The recovery key: made at random in its one form, read back however it was typed.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/cartella_temp.h"
#include "util/chiave_ripristino.h"
#include "util/errori.h"

namespace bv {
namespace {

TEST(ChiaveRipristino, GenerataNellaSuaFormaEOgniVoltaDiversa) {
    std::set<std::string> viste;
    for (int i = 0; i < 20; ++i) {
        const std::string k = chiave::Genera();
        ASSERT_EQ(k.size(), 35U) << k;  // six groups of five, five dashes
        EXPECT_EQ(chiave::Normalizza(k), k);
        for (const char vietato : {'0', 'O', '1', 'I'}) EXPECT_EQ(k.find(vietato), std::string::npos);
        viste.insert(k);
    }
    EXPECT_EQ(viste.size(), 20U);
}

struct Scritta {
    const char* testo;
    const char* attesa;  // nullptr: not a key
};

class NormalizzaTest : public ::testing::TestWithParam<Scritta> {};

TEST_P(NormalizzaTest, TolleranteDiSpaziTrattiniEMaiuscole) {
    const auto k = chiave::Normalizza(GetParam().testo);
    if (GetParam().attesa == nullptr) {
        EXPECT_FALSE(k) << *k;
    } else {
        EXPECT_EQ(k.value_or("-"), GetParam().attesa);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casi, NormalizzaTest,
    ::testing::Values(
        Scritta{"ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34567", "ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34567"},
        Scritta{" abcde fghjk lmnpq rstuv wxyz2 34567 ", "ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34567"},
        Scritta{"ABCDEFGHJKLMNPQRSTUVWXYZ234567", "ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34567"},
        Scritta{"ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-3456", nullptr},     // one short
        Scritta{"ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-345670", nullptr},   // a zero
        Scritta{"ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-3456O", nullptr},    // an O
        Scritta{"", nullptr}));

TEST(ChiaveRipristino, LettaDalSuoFileRifiutataDaUnAltro) {
    test::CartellaTemp t;
    const std::string k = chiave::Genera();
    test::ScriviFile(t / "chiave.txt", chiave::TestoDelFile(k));
    EXPECT_EQ(chiave::LeggiDaFile(t / "chiave.txt"), k);
    test::ScriviFile(t / "altro.txt", "nessuna chiave qui\n");
    try {
        chiave::LeggiDaFile(t / "altro.txt");
        ADD_FAILURE() << "nessun errore";
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), errori::ChiaveNonValida);
    }
}

}  // namespace
}  // namespace bv
