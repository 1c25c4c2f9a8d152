// The utility object's helpers: paths, folders, file probes, versions and registry folders.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>

#include "tests/support/variabili.h"
#include "platform/file_reg.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/fs_guasto.h"
#include "tools/pe_builder.h"
#include "util/koutilita.h"

namespace bv {
namespace {

struct CasoTesto {
    const char* ingresso;
    const char* atteso;
};

class AggiungiSepDirTest : public ::testing::TestWithParam<CasoTesto> {};

TEST_P(AggiungiSepDirTest, SenzaSpaziEConSeparatore) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    EXPECT_EQ(Utilita().AggiungiSepDir(GetParam().ingresso), GetParam().atteso);
}

INSTANTIATE_TEST_SUITE_P(Tabella, AggiungiSepDirTest,
                         ::testing::Values(CasoTesto{"  /home/u/backup  ", "/home/u/backup/"},
                                           CasoTesto{"/home/u/", "/home/u/"}, CasoTesto{"", ""},
                                           CasoTesto{"   ", ""}, CasoTesto{"/", "/"},
                                           CasoTesto{"C:\\dati", "C:\\dati/"}));

class EstraiPathTest : public ::testing::TestWithParam<CasoTesto> {};

TEST_P(EstraiPathTest, CartellaConSeparatore) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    EXPECT_EQ(Utilita().EstraiPath(GetParam().ingresso), GetParam().atteso);
}

INSTANTIATE_TEST_SUITE_P(Tabella, EstraiPathTest,
                         ::testing::Values(CasoTesto{"/home/u/dati/a.mdb", "/home/u/dati/"},
                                           CasoTesto{"a.mdb", ""}, CasoTesto{"/a.mdb", ""},
                                           CasoTesto{"/home/u/", "/home/u/"}, CasoTesto{"", ""},
                                           CasoTesto{"x/y", "x/"}));

TEST(koUtilita, IsCartella) {
    test::CartellaTemp t;
    test::ScriviFile(t / "f", "x");
    EXPECT_TRUE(Utilita().IsCartella(t.Percorso()));
    EXPECT_FALSE(Utilita().IsCartella(t / "f"));
    EXPECT_FALSE(Utilita().IsCartella(t / "manca"));
    EXPECT_FALSE(Utilita().IsCartella(""));
}

TEST(koUtilita, CreaPercorsoDirectoryTreLivelli) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    test::CartellaTemp t;
    std::string p = t / "uno/due/tre";
    test::CreaCartelle(t / "uno");
    EXPECT_TRUE(Utilita().CreaPercorsoDirectory(p));
    EXPECT_EQ(p, t / "uno/due/tre/");
    EXPECT_TRUE(Utilita().IsCartella(t / "uno/due/tre"));
    // An existing folder: true, nothing created; the root too.
    std::string esistente = t.Percorso();
    EXPECT_TRUE(Utilita().CreaPercorsoDirectory(esistente));
    std::string radice = "/";
    EXPECT_TRUE(Utilita().CreaPercorsoDirectory(radice));
    std::string vuoto = "   ";
    EXPECT_FALSE(Utilita().CreaPercorsoDirectory(vuoto));
    EXPECT_EQ(vuoto, "   ");
}

TEST(koUtilita, CreaPercorsoDirectoryFallisceSuUnFileOUnLivelloRifiutato) {
    test::CartellaTemp t;
    test::ScriviFile(t / "file", "x");
    std::string p = t / "file/sotto";
    EXPECT_FALSE(Utilita().CreaPercorsoDirectory(p));
    test::FsGuasto guasto;
    guasto.erroreCreaCartella = [&t](const std::string& c) { return c == t / "a/b/" ? EACCES : 0; };
    std::string q = t / "a/b/c";
    EXPECT_FALSE(Utilita().CreaPercorsoDirectory(q));
    EXPECT_TRUE(Utilita().IsCartella(t / "a"));  // the levels made before the failure stay
}

TEST(koUtilita, WriteAccessNonLasciaIlFileDiProva) {
    test::CartellaTemp t;
    EXPECT_TRUE(Utilita().WriteAccess(t.Percorso()));
    EXPECT_FALSE(test::Esiste(t / "120asd12.tmp"));
    EXPECT_TRUE(FsDiSistema().Elenca(t.Percorso()).empty());
    EXPECT_FALSE(Utilita().WriteAccess(t / "manca"));
    test::FsGuasto guasto;
    guasto.erroreApertura = [](const std::string&, ModoApertura m) {
        return m == ModoApertura::Lettura ? 0 : EACCES;
    };
    EXPECT_FALSE(Utilita().WriteAccess(t.Percorso()));
}

struct CasoConfronto {
    size_t dimensione;
    long differenza;  // -1: none; otherwise the byte that differs
};

class ConfrontaFileTest : public ::testing::TestWithParam<CasoConfronto> {};

TEST_P(ConfrontaFileTest, ConfrontaTuttiIByte) {
    const auto& c = GetParam();
    test::CartellaTemp t;
    std::string a(c.dimensione, '\0');
    for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<char>(i * 31 + 7);
    std::string b = a;
    if (c.differenza >= 0) b[static_cast<size_t>(c.differenza)] ^= 1;
    test::ScriviFile(t / "a", a);
    test::ScriviFile(t / "b", b);
    EXPECT_EQ(Utilita().ConfrontaFile(t / "a", t / "b"), c.differenza < 0);
}

INSTANTIATE_TEST_SUITE_P(Blocchi, ConfrontaFileTest,
                         ::testing::Values(CasoConfronto{0, -1}, CasoConfronto{1, -1},
                                           CasoConfronto{1, 0}, CasoConfronto{49999, 49998},
                                           CasoConfronto{50000, -1}, CasoConfronto{50000, 49999},
                                           CasoConfronto{50001, 50000}, CasoConfronto{100000, -1},
                                           CasoConfronto{100000, 99999},
                                           CasoConfronto{100000, 50000},
                                           CasoConfronto{150000, 149999},
                                           CasoConfronto{150000, 0}));

TEST(koUtilita, ConfrontaFileLunghezzeDiverseEFileMancante) {
    test::CartellaTemp t;
    test::ScriviFile(t / "a", "abc");
    test::ScriviFile(t / "b", "abcd");
    EXPECT_FALSE(Utilita().ConfrontaFile(t / "a", t / "b"));
    try {
        Utilita().ConfrontaFile(t / "manca", t / "a");
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), 53);
    }
}

struct CasoVersione {
    const char* a;
    const char* b;
    int32_t risultato;
};

class ConfrontaVersioneTest : public ::testing::TestWithParam<CasoVersione> {};

TEST_P(ConfrontaVersioneTest, NumericoConUltimaParteRipetuta) {
    const auto& c = GetParam();
    EXPECT_EQ(Utilita().ConfrontaVersione(c.a, c.b), c.risultato);
    EXPECT_EQ(Utilita().ConfrontaVersione(c.b, c.a), -c.risultato);
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, ConfrontaVersioneTest,
    ::testing::Values(CasoVersione{"1.0.0.0", "1.0.0.0", 0}, CasoVersione{"0.9.9.9", "1.0.0.0", -1},
                      CasoVersione{"1.0.0.10", "1.0.0.9", 1}, CasoVersione{"2", "2.2.2.2", 0},
                      CasoVersione{"1.5", "1.5.5.5", 0}, CasoVersione{"1.5", "1.5.0.0", 1},
                      CasoVersione{" 3.1", "3.1.1.1", 0}, CasoVersione{"", "0.0.0.0", 0},
                      CasoVersione{"abc", "0", 0}, CasoVersione{"1.2x.0.0", "1.2.0.0", 0},
                      CasoVersione{"32767.0.0.0", "1.0.0.0", 1}));

TEST(koUtilita, ConfrontaVersioneOverflow) {
    try {
        Utilita().ConfrontaVersione("40000.0.0.0", "1.0.0.0");
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), 6);
        EXPECT_EQ(e.Descrizione(), "Overflow");
    }
}

TEST(koUtilita, GetVersione) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    test::CartellaTemp t;
    const auto img = strumenti::CostruisciPe({.versione = std::array<uint16_t, 4>{1, 2, 0, 15}});
    test::ScriviFile(t / "host.exe", std::string(img.byte.begin(), img.byte.end()));
    test::ScriviFile(t / "testo.exe", "non un eseguibile");
    EXPECT_EQ(Utilita().GetVersione(t / "host.exe"), "1.2.0.15");
    EXPECT_EQ(Utilita().GetVersione(t / "testo.exe"), "0.0.0.0");
    EXPECT_EQ(Utilita().GetVersione(t / "manca.exe"), "0.0.0.0");
    // A host that cannot be opened (permissions, held exclusively) has no version to tell.
    test::FsGuasto guasto;
    guasto.erroreApertura = [](const std::string& p, ModoApertura) {
        return p.ends_with("host.exe") ? EACCES : 0;
    };
    EXPECT_EQ(Utilita().GetVersione(t / "host.exe"), "0.0.0.0");
}

class RegistroUtilita : public ::testing::Test {
  protected:
    void SetUp() override { test::ImpostaVariabile("BVBACKUP_REGISTRY", (t_ / "registry.reg").c_str()); }
    void TearDown() override { test::TogliVariabile("BVBACKUP_REGISTRY"); }
    void Scrivi(const std::string& righe) {
        test::ScriviFile(t_ / "registry.reg",
                         "Windows Registry Editor Version 5.00\r\n\r\n" + righe);
    }
    test::CartellaTemp t_;
};

TEST_F(RegistroUtilita, CartellaApplicazione) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    EXPECT_EQ(Utilita().CartellaApplicazione("Brelvano.exe"), "");  // no file
    Scrivi(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
        "Paths\\Brelvano.exe]\r\n"
        "@=\"/opt/Brelvano/Brelvano.exe\"\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
        "Paths\\Citato.exe]\r\n"
        "@=\"\\\"/opt/Citato/Citato.exe\\\"\"\r\n");
    EXPECT_EQ(Utilita().CartellaApplicazione("Brelvano.exe"), "/opt/Brelvano/");
    EXPECT_EQ(Utilita().CartellaApplicazione("brelvano.EXE"), "/opt/Brelvano/");
    EXPECT_EQ(Utilita().CartellaApplicazione("Altro.exe"), "");
    // The value is used unchanged: quotes stay.
    EXPECT_EQ(Utilita().CartellaApplicazione("Citato.exe"), "\"/opt/Citato/");
}

TEST_F(RegistroUtilita, CartellaDati) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    const std::string chiave =
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
        "Folders]\r\n";
    Scrivi(chiave + "\"AppData\"=\"/home/u/AppData\"\r\n");
    EXPECT_EQ(Utilita().CartellaDati(), "/home/u/AppData/");
    Scrivi(chiave + "\"AppData\"=hex(2):25,00,00,00\r\n");
    EXPECT_EQ(Utilita().CartellaDati(), "");
    Scrivi(chiave + "\"AppData\"=\"\"\r\n");
    EXPECT_EQ(Utilita().CartellaDati(), "");
}

TEST(koUtilita, FileAperto) {
    test::CartellaTemp t;
    EXPECT_FALSE(Utilita().FileAperto(t / "manca.mdb"));
    test::ScriviFile(t / "a.mdb", "x");
    EXPECT_FALSE(Utilita().FileAperto(t / "a.mdb"));
}

}  // namespace
}  // namespace bv
