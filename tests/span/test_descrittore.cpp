// The descriptor's text and the rules for the numbers read back from it.
#include <gtest/gtest.h>

#include "platform/errore.h"
#include "span/descrittore.h"

namespace bv {
namespace {

TEST(Descrittore, TredicRigheCrLfNellOrdine) {
    Descrittore d;
    d.inizio = {2024, 3, 15, 18, 42, 7};
    d.termine = {2024, 3, 15, 18, 43, 55};
    d.nomefile = "BV20240315";
    d.dimensioneFile = 3512874;
    d.cartella = "/media/floppy0/";
    d.numero = 1;
    d.dimensioneBlocco = 1447664;
    d.ultimo = false;
    EXPECT_EQ(TestoDescrittore(d),
              "[SPAN]\r\nAPP=Brelvano.exe\r\nDATA=2024/03/15\r\nORA=18:42:07\r\n"
              "TERMINE_BLOCCO=2024/03/15 18:43:55\r\nFILE=BV20240315\r\nSIZE_FILE=3512874\r\n"
              "DEST=/media/floppy0/\r\nBLOCCO=BV20240315#1\r\nNBLOCCO=2\r\nSIZE_BLOCCO=1447664\r\n"
              "ULTIMO=0\r\nBLOCCO_SUCC=BV20240315#2\r\n");
    d.ultimo = true;
    d.cartella = "/dati/città/日/";
    const std::string t = TestoDescrittore(d);
    EXPECT_NE(t.find("ULTIMO=1\r\nBLOCCO_SUCC=\r\n"), std::string::npos);
    EXPECT_NE(t.find("DEST=/dati/citt\xE0/?/\r\n"), std::string::npos);  // Windows-1252
    // Read back as the rebuild reads it.
    const DescrittoreLetto l = LeggiDescrittore(t);
    EXPECT_EQ(l.app, kApplicazioneSpan);
    EXPECT_EQ(l.data + " " + l.ora, "2024/03/15 18:42:07");
    EXPECT_EQ(l.dimensioneFile, 3512874);
    EXPECT_EQ(l.dimensioneBlocco, 1447664);
    EXPECT_EQ(l.ultimo, true);
    EXPECT_EQ(LeggiDescrittore("[SPAN]\r\nSIZE_FILE=" + std::string(400, '9')).dimensioneFile,
              INT64_MAX);  // held, never wrapped
    EXPECT_EQ(LeggiDescrittore("[ALTRO]\r\nULTIMO=1").ultimo, std::nullopt);
}

struct CasoNumero {
    const char* testo;
    double valore;
};

class NumeroInizialeTest : public ::testing::TestWithParam<CasoNumero> {};

TEST_P(NumeroInizialeTest, Tabella) {
    EXPECT_DOUBLE_EQ(NumeroIniziale(GetParam().testo), GetParam().valore);
}

INSTANTIATE_TEST_SUITE_P(Tabella, NumeroInizialeTest,
                         ::testing::Values(CasoNumero{"12abc", 12}, CasoNumero{"  42  ", 42},
                                           CasoNumero{"x", 0}, CasoNumero{"", 0},
                                           CasoNumero{"-3.5", -3.5}, CasoNumero{"+7", 7},
                                           CasoNumero{"2", 2}, CasoNumero{"0", 0},
                                           CasoNumero{".5", 0.5}, CasoNumero{"1 2", 12},
                                           CasoNumero{"1 00", 100}, CasoNumero{"- 3", -3},
                                           CasoNumero{" 2 . 5x", 2.5}));

TEST(Descrittore, Intero32MetaAlPari) {
    EXPECT_EQ(Intero32("2.5"), 2);
    EXPECT_EQ(Intero32("3.5"), 4);
    EXPECT_EQ(Intero32("-2.5"), -2);
    EXPECT_EQ(Intero32("2147483647"), 2147483647);
    try {
        Intero32("3000000000");
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), 6);
    }
}

TEST(Descrittore, ArrotondaAlPari) {
    EXPECT_EQ(Arrotonda("0.4"), 0);
    EXPECT_EQ(Arrotonda("0.5"), 0);  // so ULTIMO=0.5 is not the last block
    EXPECT_EQ(Arrotonda("1.5"), 2);
    EXPECT_TRUE(FuoriDa32(Arrotonda("3000000000")));
    EXPECT_FALSE(FuoriDa32(Arrotonda("-2147483648")));
}

TEST(Descrittore, Percentuale) {
    EXPECT_EQ(Percentuale(1, 8), 12);  // 12.5 -> 12
    EXPECT_EQ(Percentuale(3, 8), 38);  // 37.5 -> 38
    EXPECT_EQ(Percentuale(10, 10), 100);
    EXPECT_EQ(Percentuale(11, 10), 100);
}

}  // namespace
}  // namespace bv
