// The file-system layer under faults: nothing half-written is left as if it were good, and
// every failure arrives with its standard number.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <limits>
#include <map>
#include <vector>

#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/spazio_disco.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/variabili.h"

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

// No mode that writes follows a link of the name: it fails, and what the link leads to (or
// would, dangling) is neither changed nor made. A link among the folders above is followed.
TEST(FileSystem, ScritturaNonSegueUnCollegamento) {
    BV_SOLO_POSIX("collegamenti simbolici POSIX");
    test::CartellaTemp t;
    test::CreaCartelle(t / "vera");
    std::filesystem::create_directory_symlink(t / "vera", t / "collegata");
    for (const ModoApertura modo : {ModoApertura::Scrittura, ModoApertura::ScritturaEsclusiva,
                                    ModoApertura::Accoda, ModoApertura::LetturaScrittura}) {
        SCOPED_TRACE(static_cast<int>(modo));
        for (const bool esiste : {true, false}) {
            std::filesystem::remove(t / "altrove");
            if (esiste) test::ScriviFile(t / "altrove", "intatto");
            std::filesystem::remove(t / "nome");
            std::filesystem::create_symlink(t / "altrove", t / "nome");
            EXPECT_THROW(File(t / "nome", modo).ScriviTutto("scritto"), Errore);
            EXPECT_EQ(test::Esiste(t / "altrove") ? test::LeggiTesto(t / "altrove") : "<nessuno>",
                      esiste ? "intatto" : "<nessuno>");
        }
        std::filesystem::remove(t / "vera/nuovo");
        if (modo == ModoApertura::LetturaScrittura) test::ScriviFile(t / "vera/nuovo", "");
        File(t / "collegata/nuovo", modo).ScriviTutto("dentro");
        EXPECT_EQ(test::LeggiTesto(t / "vera/nuovo"), "dentro");
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
    EXPECT_EQ(CartellaSenzaSeparatore("/a/b/"), "/a/b");
    EXPECT_EQ(CartellaSenzaSeparatore("/"), "/");
}

TEST(SpazioDisco, ValoriOltreI32Bit) {
    EXPECT_EQ(ByteDisponibili(0, 4096), 0);
    EXPECT_EQ(ByteDisponibili(3'000'000'000ULL, 1), 3'000'000'000);
    EXPECT_EQ(ByteDisponibili(5'000'000'000ULL, 1), 5'000'000'000);
    EXPECT_EQ(ByteDisponibili(1220703125ULL, 4096), 5'000'000'000'000);
    EXPECT_EQ(ByteDisponibili(9007199254740993ULL, 1), 9007199254740993);  // 2^53 + 1, exact
    EXPECT_EQ(ByteDisponibili(1ULL << 52, 4096), std::numeric_limits<int64_t>::max());  // held
    EXPECT_EQ(ByteDisponibili(UINT64_MAX, 0), 0);
}

TEST(SpazioDisco, QueryRealeESimulata) {
    test::CartellaTemp t;
    EXPECT_GE(SpazioLiberoDisco(t.Percorso()), 0);
    EXPECT_EQ(SpazioLiberoDisco(t / "non/esiste"), -1);
    EXPECT_EQ(SpazioLiberoDisco(""), -1);
    test::FsGuasto guasto;
    guasto.spazio = [](const std::string&) { return int64_t{5'000'000'000}; };
    EXPECT_EQ(SpazioLiberoDisco(t.Percorso()), 5'000'000'000);
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

namespace bv {
namespace {

// Many files moved as one batch: each arrives whole and leaves its source, and the flushes
// are one per volume where the platform has it, else one per file; across file systems the
// files are copied. A handful still go one by one, each flushed.
struct CasoSpostamento {
    const char* nome;
    int file;
    bool volumeSenzaFlush;
    bool traVolumi;
    int flushVolume;  // "syncfs" expected
    int flushFile;    // "fsync" of single files expected
};

class SpostaFilesTest : public ::testing::TestWithParam<CasoSpostamento> {};

TEST_P(SpostaFilesTest, TuttiArrivanoConIFlushAttesi) {
    const CasoSpostamento& c = GetParam();
    test::CartellaTemp t;
    test::CreaCartelle(t / "da");
    test::CreaCartelle(t / "a");
    std::vector<std::pair<std::string, std::string>> coppie;
    for (int i = 0; i < c.file; ++i) {
        const std::string n = "f" + std::to_string(i);
        test::ScriviFile(t / ("da/" + n), std::string(static_cast<size_t>(i) * 10, 'x') + n);
        coppie.emplace_back(t / ("da/" + n), t / ("a/" + n));
    }
    std::map<std::string, int> operazioni;
    {
        test::FsGuasto g;
        g.volumeSenzaFlush = c.volumeSenzaFlush;
        if (c.traVolumi) g.errnoRinomina = EXDEV;
        g.prima = [&](const char* op, const std::string&) {
            ++operazioni[op];
            return 0;
        };
        SpostaFiles(coppie);
    }
    for (int i = 0; i < c.file; ++i) {
        const std::string n = "f" + std::to_string(i);
        EXPECT_FALSE(test::Esiste(t / ("da/" + n)));
        EXPECT_EQ(test::LeggiTesto(t / ("a/" + n)),
                  std::string(static_cast<size_t>(i) * 10, 'x') + n);
    }
    EXPECT_EQ(operazioni["syncfs"], c.flushVolume);
    // Windows has no flush of a volume for an ordinary user: there each file is flushed.
    const bool fileAFile = c.volumeSenzaFlush || (test::kSuWindows && c.flushVolume > 0);
    EXPECT_EQ(operazioni["fsync"], fileAFile ? c.file : c.flushFile);
    EXPECT_GE(operazioni["fsync-dir"], 1);
}

INSTANTIATE_TEST_SUITE_P(
    Casi, SpostaFilesTest,
    ::testing::Values(CasoSpostamento{"pochi", 3, false, false, 0, 3},
                      CasoSpostamento{"molti", 200, false, false, 1, 0},
                      CasoSpostamento{"molti_senza_flush_del_volume", 200, true, false, 1, 200},
                      CasoSpostamento{"molti_tra_volumi", 200, false, true, 1, 0}),
    [](const auto& i) { return std::string(i.param.nome); });

}  // namespace
}  // namespace bv
