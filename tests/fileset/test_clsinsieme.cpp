// The file name set: adding, order, folder listings, wildcards and the list control.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/variabili.h"
#include "fileset/clsinsieme.h"
#include "platform/errore.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/errori.h"
#include "util/errori.h"

namespace bv {
namespace {

using test::NumeroErrore;

std::vector<std::string> Voci(const ClsInsieme& s) {
    std::vector<std::string> v;
    for (int i = 1; i <= s.Count(); ++i) v.push_back(s.GetItem(i));
    return v;
}

TEST(ClsInsieme, AddPresenteGetItem) {
    ClsInsieme s;
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(NumeroErrore([&] { s.GetItem(1); }), 380);
    EXPECT_TRUE(s.Add("  x  ", true, "#"));
    EXPECT_EQ(s.GetItem(1), "x");
    EXPECT_FALSE(s.Add("    ", true, "#"));
    EXPECT_TRUE(s.Add("ab#cd", false, "#"));
    EXPECT_TRUE(s.Add("ab#ef", false, "#"));
    EXPECT_FALSE(s.Add("AB#gh", true, "#"));
    EXPECT_TRUE(s.Presente(" AB "));
    EXPECT_FALSE(s.Presente("a"));
    EXPECT_TRUE(s.Add("#inizio", false, "#"));  // cut to an empty entry
    EXPECT_EQ(Voci(s), (std::vector<std::string>{"x", "ab", "ab", ""}));
    EXPECT_EQ(NumeroErrore([&] { s.GetItem(0); }), 380);
    EXPECT_EQ(NumeroErrore([&] { s.GetItem(5); }), 380);
    EXPECT_EQ(NumeroErrore([&] { s.GetItem(-1); }), 9);
    EXPECT_TRUE(s.Add("senza terminatore # qui", true, ""));
    EXPECT_EQ(s.GetItem(5), "senza terminatore # qui");
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_FALSE(s.Presente("x"));
}

TEST(ClsInsieme, CountOltre32767Overflow) {
    ClsInsieme s;
    for (int i = 0; i < 32767; ++i) s.Add(std::to_string(i), true, "#");
    EXPECT_EQ(s.Count(), 32767);
    s.Add("ancora", true, "#");
    EXPECT_EQ(NumeroErrore([&] { s.Count(); }), 6);
}

// A folder with more files than the set counts is named, with what to do, under the same number.
TEST(ClsInsieme, CartellaConTroppiFileDiceCosaFare) {
    BV_SOLO_POSIX("32.768 file creati uno per uno: sotto Wine minuti");
    test::CartellaTemp t;
    const std::string c = t / "foto";
    test::CreaCartelle(c);
    for (int i = 0; i <= 32767; ++i) test::ScriviFile(c + "/f" + std::to_string(i), "");
    ClsInsieme s;
    try {
        s.GetFilenames(c, "*.*");
        ADD_FAILURE() << "nessun errore";
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), 6);
        EXPECT_NE(e.Descrizione().find(c), std::string::npos) << e.Descrizione();
        EXPECT_NE(e.Descrizione().find("Spostarne una parte"), std::string::npos) << e.Descrizione();
    }
}

struct CasoOrdine {
    std::vector<std::string> voci;
    bool decrescente;
    std::vector<std::string> attese;
};

class OrdinaListaTest : public ::testing::TestWithParam<CasoOrdine> {};

TEST_P(OrdinaListaTest, OrdineDellaSelezione) {
    ClsInsieme s;
    for (const auto& v : GetParam().voci) s.Add(v, false, "");
    s.Add("#", false, "#");  // an empty entry
    s.OrdinaLista(GetParam().decrescente);
    auto attese = GetParam().attese;
    attese.emplace_back();
    EXPECT_EQ(Voci(s), attese);
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, OrdinaListaTest,
    ::testing::Values(CasoOrdine{{"BV20230101", "BV20240315", "BV20231120"},
                                 true,
                                 {"BV20240315", "BV20231120", "BV20230101"}},
                      CasoOrdine{{"BV20230101", "BV20240315", "BV20231120"},
                                 false,
                                 {"BV20230101", "BV20231120", "BV20240315"}},
                      // equal ignoring case: index order kept in both directions
                      CasoOrdine{{"b", "A", "a", "B"}, true, {"b", "B", "A", "a"}},
                      CasoOrdine{{"b", "A", "a", "B"}, false, {"A", "a", "b", "B"}},
                      CasoOrdine{{"dati.mdb", "Anagrafe.mdb", "contabilita.mdb"},
                                 true,
                                 {"dati.mdb", "contabilita.mdb", "Anagrafe.mdb"}}));

TEST(ClsInsieme, GetFilenamesSetDiBackup) {
    test::CartellaTemp t;
    for (const char* f :
         {"BV20240131#0", "BV20240131#0.inf", "BV20240131#1", "BV20231231#0", "readme.txt",
          // a repaired block's damaged copy, recovery files: no set of their own
          "BV20190101#0.1", "BV20180101.par2", "BV20180101.vol00+16.par2",
          "bv20220101#0", ".BV20210101#0", "BV2024013#0", "BV20200101X0"}) {
        test::ScriviFile(t / f, "x");
    }
    test::CreaCartelle(t / "BV20250101#0");  // a folder is not a set
    ClsInsieme s;
    EXPECT_EQ(s.GetFilenames(t.Percorso(), "BV????????#*"), 3);
    EXPECT_EQ(Voci(s), (std::vector<std::string>{"BV20240131", "BV20231231", "bv20220101"}));
}

TEST(ClsInsieme, GetFilenamesModelliEMaiuscole) {
    test::CartellaTemp t;
    for (const char* f :
         {"a.mdb", "B.MDB", "c.mdbx", "LEGGIMI", "nota.txt", "c#d.mdb", ".nascosto.mdb"}) {
        test::ScriviFile(t / f, "x");
    }
    test::CreaCartelle(t / "cartella.mdb");
    ClsInsieme s;
    EXPECT_EQ(s.GetFilenames(t.Percorso() + "/", "*.mdb"), 3);
    EXPECT_EQ(Voci(s), (std::vector<std::string>{"c", "B.MDB", "a.mdb"}));  // "c#d.mdb" cut at "#"
    // "*.*" is every file, also one without an extension.
    EXPECT_EQ(s.GetFilenames(t.Percorso(), "*.*"), 6);
    EXPECT_TRUE(s.Presente("LEGGIMI"));
    EXPECT_EQ(s.GetFilenames(t.Percorso(), "?.mdb"), 2);
    EXPECT_EQ(s.GetFilenames(t.Percorso(), "a_*"), 0);
}

TEST(ClsInsieme, GetFilenamesCartellaMancanteLasciaIlSet) {
    test::CartellaTemp t;
    ClsInsieme s;
    s.Add("rimane", true, "#");
    EXPECT_EQ(NumeroErrore([&] { s.GetFilenames(t / "manca", "*.mdb"); }),
              errori::DestinazioneNonValida);
    EXPECT_EQ(Voci(s), std::vector<std::string>{"rimane"});
}

struct CasoModello {
    std::string nome;
    const char* modello;
    bool corrisponde;
};

class CorrispondeTest : public ::testing::TestWithParam<CasoModello> {};

TEST_P(CorrispondeTest, Tabella) {
    EXPECT_EQ(ClsInsieme::Corrisponde(GetParam().nome, GetParam().modello), GetParam().corrisponde);
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, CorrispondeTest,
    ::testing::Values(CasoModello{"BV20240131#0.inf", "BV????????#*", true},
                      CasoModello{"BV20240131_0", "BV????????#*", false},
                      CasoModello{"dati_logo.bmp", "dati_*", true},
                      CasoModello{"DATI_x", "dati_*", true},
                      CasoModello{"datilogo", "dati_*", false},
                      CasoModello{"città.mdb", "CITTÀ.MDB", true},
                      CasoModello{"è.mdb", "?.mdb", true}, CasoModello{"ab", "a*b*", true},
                      CasoModello{"aXbXc", "a*b*d", false}, CasoModello{"", "*", true},
                      CasoModello{"senza", "*.*", true}, CasoModello{"x.mdb", "*.MDB", true},
                      CasoModello{std::string(200, 'a'), "*a*a*a*a*a*a*b", false}));

TEST(ClsInsieme, RigheSaltaLeVociNonConvertibili) {
    BV_SOLO_POSIX("nomi che Windows non ammette (byte non UTF-8, a capo, dispositivi, maiuscole)");
    ClsInsieme s;
    for (const char* v : {"BV20240131", "BVABCDEFGH", "BV20231301", "BV20231231"})
        s.Add(v, true, "#");
    const std::vector<RigaInsieme> righe = s.Righe("DDAAAAAAAA", 3);
    ASSERT_EQ(righe.size(), 2U);
    EXPECT_EQ(righe[0], (RigaInsieme{"31/01/2024", 1}));
    EXPECT_EQ(righe[1], (RigaInsieme{"31/12/2023", 4}));
    EXPECT_TRUE(ClsInsieme().Righe("DDAAAAAAAA", 3).empty());
    // Without a date format the masked text itself is shown.
    const std::vector<RigaInsieme> testi = s.Righe("DDAAAAAAAA", 0);
    EXPECT_EQ(testi.size(), 4U);
    EXPECT_EQ(testi[1].testo, "ABCDEFGH");
}

TEST(ClsInsieme, Trasforma) {
    EXPECT_EQ(ClsInsieme::Trasforma("BV20240131", "DDAAAAAAAA"), "20240131");
    EXPECT_EQ(ClsInsieme::Trasforma("BV2024013199", "DDAAAAAAAA"), "20240131");
    EXPECT_EQ(ClsInsieme::Trasforma("BV", "DDAAAAAAAA"), "");
    EXPECT_EQ(ClsInsieme::Trasforma("ABC", "AdA"), "A C");
    EXPECT_EQ(ClsInsieme::Trasforma("AB", "ADD"), "A");
}

struct CasoData {
    const char* testo;
    int16_t formato;
    int32_t errore;
    DataOra data;
};

class ToDateTest : public ::testing::TestWithParam<CasoData> {};

TEST_P(ToDateTest, Formati) {
    const auto& c = GetParam();
    if (c.errore != 0) {
        EXPECT_EQ(NumeroErrore([&] { ClsInsieme::To_Date(c.testo, c.formato); }), c.errore);
        return;
    }
    const DataOra d = ClsInsieme::To_Date(c.testo, c.formato);
    EXPECT_EQ(d.anno, c.data.anno);
    EXPECT_EQ(d.mese, c.data.mese);
    EXPECT_EQ(d.giorno, c.data.giorno);
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, ToDateTest,
    ::testing::Values(
        CasoData{"31012024", 1, 0, {2024, 1, 31}}, CasoData{"31-01-2024", 2, 0, {2024, 1, 31}},
        CasoData{"31/01/2024", 2, 0, {2024, 1, 31}}, CasoData{" 20240131 ", 3, 0, {2024, 1, 31}},
        CasoData{"01312024", 4, 0, {2024, 1, 31}}, CasoData{"01/31/2024", 5, 0, {2024, 1, 31}},
        CasoData{"2024013", 3, errori::FormatoDataNonValido, {}},
        CasoData{"20240131", 6, errori::FormatoDataNonSupportato, {}},
        CasoData{"20240131", 0, errori::FormatoDataNonSupportato, {}},
        CasoData{"ABCDEFGH", 3, 13, {}}, CasoData{"3101202X", 1, 13, {}},
        CasoData{"20241301", 3, 5, {}}, CasoData{"20240100", 3, 5, {}},
        CasoData{"20230229", 3, 5, {}}, CasoData{"20240229", 3, 0, {2024, 2, 29}}));

}  // namespace
}  // namespace bv
