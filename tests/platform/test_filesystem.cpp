// The file-system layer under faults: nothing half-written is left as if it were good, and
// every failure arrives with its standard number.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>

#include "tests/support/variabili.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/spazio_disco.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/fs_guasto.h"

namespace bv {
namespace {

struct CasoGuasto {
    const char* nome;
    void (*prepara)(test::FsGuasto&);
    int32_t numero;
};

class ScritturaAtomicaTest : public ::testing::TestWithParam<CasoGuasto> {};

TEST_P(ScritturaAtomicaTest, GuastoLasciaIlVecchioFileIntatto) {
    test::CartellaTemp t;
    const std::string f = t / "impostazioni.reg";
    test::ScriviFile(f, "vecchio");
    const std::string nuovo(300000, 'n');
    test::FsGuasto guasto;
    GetParam().prepara(guasto);
    try {
        ScriviFileAtomico(f, nuovo.data(), nuovo.size());
        ADD_FAILURE() << "nessun errore";
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), GetParam().numero);
    }
    EXPECT_EQ(test::LeggiTesto(f), "vecchio");
    EXPECT_EQ(FsDiSistema().Elenca(t.Percorso()).size(), 1U) << "temporaneo rimasto";
}

INSTANTIATE_TEST_SUITE_P(
    Guasti, ScritturaAtomicaTest,
    ::testing::Values(CasoGuasto{"disco pieno", [](auto& g) { g.scritturaCheFallisce = 1; }, 61},
                      CasoGuasto{"disco pieno a meta'",
                                 [](auto& g) {
                                     g.massimoPerScrittura = 4096;
                                     g.scritturaCheFallisce = 10;
                                 },
                                 61},
                      CasoGuasto{"errore di I/O",
                                 [](auto& g) {
                                     g.scritturaCheFallisce = 1;
                                     g.errnoScrittura = EIO;
                                 },
                                 57},
                      CasoGuasto{"flush fallito", [](auto& g) { g.errnoSincronizza = EIO; }, 57},
                      CasoGuasto{"rinomina tra dischi", [](auto& g) { g.errnoRinomina = EXDEV; },
                                 75}),
    [](const auto& info) {
        std::string n = info.param.nome;
        for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return n;
    });

TEST(FileSystem, ScritturaCortaRipetutaFinoAllaFine) {
    test::CartellaTemp t;
    std::string dati;
    for (int i = 0; i < 10000; ++i) dati += static_cast<char>(i * 7);
    test::FsGuasto guasto;
    guasto.massimoPerScrittura = 3;
    ScriviFileAtomico(t / "f", dati.data(), dati.size());
    EXPECT_EQ(test::LeggiTesto(t / "f"), dati);
    EXPECT_GE(guasto.scritture, 3334);
}

TEST(FileSystem, CopiaEErroriConNumero) {
    test::CartellaTemp t;
    test::ScriviFile(t / "a", std::string(3 << 20, 'a'));
    CopiaFile(t / "a", t / "b");
    EXPECT_EQ(test::LeggiTesto(t / "b"), std::string(3 << 20, 'a'));
    try {
        CopiaFile(t / "manca", t / "c");
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), 53);
    }
    try {
        Fs().Elenca(t / "manca");
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), 76);
    }
}

TEST(FileSystem, InfoENascosti) {
    test::CartellaTemp t;
    test::ScriviFile(t / ".nascosto", "12345");
    const InfoFile i = Fs().Info(t / ".nascosto");
    EXPECT_TRUE(i.esiste && i.file && i.nascosto);
    EXPECT_EQ(i.dimensione, 5U);
    EXPECT_TRUE(Fs().Info(t.Percorso()).cartella);
    EXPECT_FALSE(Fs().Info("").esiste);
    EXPECT_EQ(CartellaDi("/a/b/c"), "/a/b");
    EXPECT_EQ(CartellaDi("/c"), "/");
    EXPECT_EQ(NomeDi("/a/b/c"), "c");
}

TEST(SpazioDisco, ValoriOltreI32Bit) {
    EXPECT_EQ(ByteDisponibili(0, 4096), 0.0);
    EXPECT_EQ(ByteDisponibili(3'000'000'000ULL, 1), 3'000'000'000.0);
    EXPECT_EQ(ByteDisponibili(5'000'000'000ULL, 1), 5'000'000'000.0);
    EXPECT_EQ(ByteDisponibili(1220703125ULL, 4096), 5'000'000'000'000.0);
    EXPECT_EQ(ByteDisponibili(1ULL << 41, 4096), 9007199254740992.0);  // 2^53, still exact
}

TEST(SpazioDisco, QueryRealeESimulata) {
    test::CartellaTemp t;
    EXPECT_GE(SpazioLiberoDisco(t.Percorso()), 0.0);
    EXPECT_EQ(SpazioLiberoDisco(t / "non/esiste"), -1.0);
    EXPECT_EQ(SpazioLiberoDisco(""), -1.0);
    test::FsGuasto guasto;
    guasto.spazio = [](const std::string&) { return 5'000'000'000.0; };
    EXPECT_EQ(SpazioLiberoDisco(t.Percorso()), 5'000'000'000.0);
}

TEST(Percorsi, UnitaEMessaggi) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    EXPECT_EQ(UnitaDi("/media/floppy0/"), "/media/floppy0");
    EXPECT_EQ(UnitaDi("/"), "/");
    EXPECT_EQ(UnitaDi("relativo/x"), "");
    EXPECT_FALSE(UnitaValida(UnitaDi("C:\\x")));
    EXPECT_TRUE(UnitaValida("/"));
    EXPECT_EQ(PercorsoPerMessaggio("/Dati/a.mdb"), "/Dati/a.mdb");
}

TEST(Percorsi, TrovaNomeComeWindows) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    test::CartellaTemp t;
    test::CreaCartelle(t / "Archivio");
    const std::string c = t.Percorso() + "/";
    EXPECT_EQ(TrovaNome(c, "archivio"), c + "Archivio");
    test::CreaCartelle(t / "archivio");
    EXPECT_EQ(TrovaNome(c, "archivio"), c + "archivio");  // the exact name first
    EXPECT_EQ(TrovaNome(c, "nuovo"), c + "nuovo");
    EXPECT_EQ(TrovaNome(c + "manca/", "x"), c + "manca/x");
}

TEST(Percorsi, CartellaFloppy) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    test::TogliVariabile("BVBACKUP_FLOPPY");
    EXPECT_EQ(CartellaFloppy(), "/media/floppy0/");
    test::ImpostaVariabile("BVBACKUP_FLOPPY", "/mnt/chiavetta");
    EXPECT_EQ(CartellaFloppy(), "/mnt/chiavetta/");
    test::TogliVariabile("BVBACKUP_FLOPPY");
}

}  // namespace
}  // namespace bv
