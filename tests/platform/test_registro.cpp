// The registry stand-in: reading the export format, editing it in place, and the settings
// store on top of it.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <filesystem>

#include <cerrno>

#include "tests/support/variabili.h"
#include "platform/codifica.h"
#include "platform/errore.h"
#include "platform/file_reg.h"
#include "platform/impostazioni.h"
#include "platform/registro.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/fs_guasto.h"

namespace bv {
namespace {

constexpr const char* kEsempio =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; installed by hand\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
    "Paths\\Brelvano.exe]\r\n"
    "@=\"C:\\\\Programmi\\\\Brelvano\\\\Brelvano.exe\"\r\n"
    "\"Path\"=\"C:\\\\Programmi\\\\Brelvano\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
    "\"AppData\"=\"/home/u/AppData\"\r\n"
    "\"Espandibile\"=hex(2):25,00,41,00,50,00,50,00,44,00,41,00,54,00,41,00,25,00,\\\r\n"
    "  00,00\r\n"
    "\"Numero\"=dword:00000010\r\n"
    "\"Citato\"=\"dice \\\"ciao\\\"\"\r\n"
    "questa riga non significa nulla\r\n"
    "\"senza fine=\"x\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati]\r\n"
    "\"Path\"=\"D:\\\\Dati\\\\\"\r\n";

TEST(DocumentoReg, LeggeValoriIgnorandoLeMaiuscole) {
    const auto doc = DocumentoReg::Analizza(kEsempio);
    const auto v = doc.Leggi(
        "hkey_local_machine\\software\\MICROSOFT\\windows\\currentversion\\app paths\\BRELVANO.EXE",
        "");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->tipo, ValoreReg::Tipo::Testo);
    EXPECT_EQ(v->testo, "C:\\Programmi\\Brelvano\\Brelvano.exe");
    const auto abbreviato =
        doc.Leggi("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati", "path");
    ASSERT_TRUE(abbreviato);
    EXPECT_EQ(abbreviato->testo, "D:\\Dati\\");
}

TEST(DocumentoReg, TipiEEscape) {
    const auto doc = DocumentoReg::Analizza(kEsempio);
    const std::string chiave =
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    EXPECT_EQ(doc.Leggi(chiave, "Espandibile")->tipo, ValoreReg::Tipo::TestoEspandibile);
    EXPECT_EQ(doc.Leggi(chiave, "Numero")->tipo, ValoreReg::Tipo::Altro);
    EXPECT_EQ(doc.Leggi(chiave, "Citato")->testo, "dice \"ciao\"");
    // The line after the malformed ones is still read.
    EXPECT_EQ(doc.Leggi(chiave, "AppData")->testo, "/home/u/AppData");
    EXPECT_FALSE(doc.Leggi(chiave, "senza fine"));
    EXPECT_FALSE(doc.Leggi(chiave, "Manca"));
    EXPECT_FALSE(doc.Leggi("HKEY_CURRENT_USER\\Manca", "AppData"));
}

TEST(DocumentoReg, FineRigaLfEUtf16) {
    std::string lf = kEsempio;
    for (size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
    const auto doc = DocumentoReg::Analizza(lf);
    EXPECT_EQ(
        doc.Leggi("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati", "Path")
            ->testo,
        "D:\\Dati\\");
    EXPECT_EQ(doc.Contenuto(), lf);

    DocumentoReg utf16 =
        DocumentoReg::Analizza("\xFF\xFE" + Utf8AUtf16le("[HKCU\\K]\r\n@=\"è\"\r\n"));
    EXPECT_EQ(utf16.Leggi("HKEY_CURRENT_USER\\K", "")->testo, "è");
    utf16.Imposta("HKCU\\K", "", "x");
    EXPECT_TRUE(utf16.Contenuto().starts_with("\xFF\xFE"));
    EXPECT_EQ(DocumentoReg::Analizza(utf16.Contenuto()).Leggi("HKCU\\K", "")->testo, "x");
}

TEST(DocumentoReg, ModificaSoloIlProprioValore) {
    auto doc = DocumentoReg::Analizza(kEsempio);
    doc.Imposta(
        "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati",
        "path", "E:\\Nuovi \"dati\"\\");
    std::string atteso = kEsempio;
    // The name keeps its spelling in the file, as the registry keeps it.
    atteso.replace(atteso.find("\"Path\"=\"D:"), std::string("\"Path\"=\"D:\\\\Dati\\\\\"").size(),
                   "\"Path\"=\"E:\\\\Nuovi \\\"dati\\\"\\\\\"");
    EXPECT_EQ(doc.Contenuto(), atteso);
    EXPECT_EQ(
        doc.Leggi("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati", "Path")
            ->testo,
        "E:\\Nuovi \"dati\"\\");
}

TEST(DocumentoReg, ValoreConContinuazioneSostituitoPerIntero) {
    auto doc = DocumentoReg::Analizza(kEsempio);
    const std::string chiave =
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    doc.Imposta(chiave, "Espandibile", "testo");
    EXPECT_EQ(doc.Contenuto().find("  00,00"), std::string::npos);
    EXPECT_EQ(doc.Leggi(chiave, "Espandibile")->testo, "testo");
    EXPECT_EQ(doc.Leggi(chiave, "Numero")->tipo, ValoreReg::Tipo::Altro);
}

TEST(DocumentoReg, NuovoValoreENuovaChiave) {
    auto doc = DocumentoReg::Analizza(kEsempio);
    doc.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati", "Altro",
                "1");
    doc.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_BVBackup\\Backup", "Dest", "/b/");
    const std::string c = doc.Contenuto();
    EXPECT_TRUE(c.starts_with(std::string(kEsempio).substr(0, 200)));
    EXPECT_NE(c.find("\"Path\"=\"D:\\\\Dati\\\\\"\r\n\"Altro\"=\"1\"\r\n"), std::string::npos);
    EXPECT_NE(c.find("\r\n[HKEY_CURRENT_USER\\Software\\VB and VBA Program "
                     "Settings\\KO_BVBackup\\Backup]\r\n"
                     "\"Dest\"=\"/b/\"\r\n"),
              std::string::npos);
    EXPECT_EQ(DocumentoReg::Analizza(c)
                  .Leggi("HKCU\\Software\\VB and VBA Program Settings\\KO_BVBackup\\Backup", "DEST")
                  ->testo,
              "/b/");
}

class RegistroFile : public ::testing::Test {
  protected:
    void SetUp() override { test::ImpostaVariabile("BVBACKUP_REGISTRY", file_.c_str()); }
    void TearDown() override { test::TogliVariabile("BVBACKUP_REGISTRY"); }
    test::CartellaTemp cartella_;
    std::string file_ = cartella_ / "config/bvbackup/registry.reg";
};

TEST_F(RegistroFile, FileMancanteNonTrovato) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    EXPECT_FALSE(LeggiRegistro(RadiceRegistro::CurrentUser, "Software", "x").trovato);
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Dest", "predefinito"), "predefinito");
}

TEST_F(RegistroFile, LimitiDelBufferETipi) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    test::CreaCartelle(cartella_ / "config/bvbackup");
    test::ScriviFile(file_,
                     "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n"
                     "\"Lungo\"=\"" +
                         std::string(1024, 'x') +
                         "\"\n"
                         "\"Giusto\"=\"" +
                         std::string(1023, 'x') +
                         "\"\n"
                         "\"Esp\"=hex(2):41,00,00,00\n");
    EXPECT_FALSE(LeggiRegistro(RadiceRegistro::CurrentUser, "K", "Lungo").trovato);
    EXPECT_EQ(LeggiRegistro(RadiceRegistro::CurrentUser, "K", "Giusto").testo.size(), 1023U);
    const auto esp = LeggiRegistro(RadiceRegistro::CurrentUser, "k", "esp");
    EXPECT_TRUE(esp.trovato);
    EXPECT_EQ(esp.testo, "");
}

TEST_F(RegistroFile, ImpostazioniCreanoFileECartelleELeggonoSenzaMaiuscole) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    SalvaImpostazione("KO_Brelvano", "CartellaDati", "path", "/dati/");
    EXPECT_EQ(LeggiImpostazione("KO_Brelvano", "CartellaDati", "Path"), "/dati/");
    SalvaImpostazione("KO_BVBackup", "Backup", "Dest", "/b/");
    SalvaImpostazione("KO_BVBackup", "Backup", "Dest", "/c/");
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "dest"), "/c/");
    EXPECT_EQ(LeggiImpostazione("KO_Brelvano", "CartellaDati", "PATH"), "/dati/");
    // Nothing but the file itself is left in its folder.
    EXPECT_EQ(LeggiRegistro(RadiceRegistro::CurrentUser,
                            "Software\\VB and VBA Program Settings\\KO_BVBackup\\Backup", "Dest")
                  .testo,
              "/c/");
    int voci = 0;
    for (const auto& v : FsDiSistema().Elenca(cartella_ / "config/bvbackup"))
        voci += v.nome.empty() ? 0 : 1;
    EXPECT_EQ(voci, 1);
}

TEST_F(RegistroFile, ScritturaFallitaLasciaIlFileComEra) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    test::CreaCartelle(cartella_ / "config/bvbackup");
    const std::string originale =
        "Windows Registry Editor Version 5.00\n\n; mio\n[HKEY_CURRENT_USER\\X]\n\"a\"=\"1\"\n";
    test::ScriviFile(file_, originale);
    for (int caso = 0; caso < 3; ++caso) {
        test::FsGuasto guasto;
        if (caso == 0) guasto.scritturaCheFallisce = 1;
        if (caso == 1) guasto.errnoSincronizza = EIO;
        if (caso == 2) guasto.errnoRinomina = EXDEV;
        EXPECT_THROW(SalvaImpostazione("KO_BVBackup", "Backup", "Dest", "/b/"), Errore) << caso;
        EXPECT_EQ(test::LeggiTesto(file_), originale) << caso;
        EXPECT_EQ(FsDiSistema().Elenca(cartella_ / "config/bvbackup").size(), 1U) << caso;
    }
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

class RegistroRiscritto : public ::testing::Test {
  protected:
    void SetUp() override {
        test::CreaCartelle(cartella_ / "vero");
        test::ScriviFile(vero_, "Windows Registry Editor Version 5.00\r\n\r\n; mio\r\n");
        test::ImpostaVariabile("BVBACKUP_REGISTRY", file_.c_str());
    }
    void TearDown() override { test::TogliVariabile("BVBACKUP_REGISTRY"); }
    test::CartellaTemp cartella_;
    std::string vero_ = cartella_ / "vero/registry.reg";
    std::string file_ = cartella_ / "registry.reg";
};

TEST_F(RegistroRiscritto, UnCollegamentoAggiornaIlSuoBersaglio) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    std::filesystem::create_symlink(vero_, file_);
    SalvaImpostazione("KO_BVBackup", "Backup", "Dest", "/b/");
    EXPECT_TRUE(std::filesystem::is_symlink(file_));  // still a link
    EXPECT_NE(test::LeggiTesto(vero_).find("\"Dest\"=\"/b/\""), std::string::npos);
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Dest"), "/b/");
}

TEST_F(RegistroRiscritto, IPermessiRestano) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    std::filesystem::rename(vero_, file_);
    std::filesystem::permissions(
        file_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    SalvaImpostazione("KO_BVBackup", "Backup", "Dest", "/b/");
    EXPECT_EQ(std::filesystem::status(file_).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(RegistroRiscritto, CaratteriDiControlloNonSpezzanoLaRiga) {
    BV_SOLO_POSIX("il file che sostituisce il registro su POSIX; su Windows il registro vero, in tests/windows");
    std::filesystem::rename(vero_, file_);
    const std::string strano = "/media/a\ncapo\t\"virgolette\"/";
    SalvaImpostazione("KO_BVBackup", "Backup", "Dest", strano);
    SalvaImpostazione("KO_BVBackup", "Backup", "Orig", "/semplice/");
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Dest"), strano);
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Orig"), "/semplice/");
    const std::string t = test::LeggiTesto(file_);
    EXPECT_NE(t.find("\"Dest\"=hex(1):2f,00,6d,00"), std::string::npos) << t;
    EXPECT_NE(t.find("; mio"), std::string::npos);  // the rest kept
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// What an import into a real registry writes: the text values, roots spelled out.
TEST(DocumentoRegValori, SoloITestiConLaRadiceCompleta) {
    const auto doc = DocumentoReg::Analizza(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKLM\\Software\\A]\r\n@=\"radice\"\r\n\"Numero\"=dword:00000001\r\n"
        "[HKEY_CURRENT_USER\\Software\\B]\r\n\"Nome\"=\"Città\"\r\n\"Via\"=-\r\n");
    const auto v = doc.ValoriTesto();
    ASSERT_EQ(v.size(), 2U);
    EXPECT_EQ(v[0].chiave, "HKEY_LOCAL_MACHINE\\SOFTWARE\\A");
    EXPECT_EQ(v[0].nome, "");
    EXPECT_EQ(v[0].testo, "radice");
    EXPECT_EQ(v[1].chiave, "HKEY_CURRENT_USER\\SOFTWARE\\B");
    EXPECT_EQ(v[1].nome, "Nome");
    EXPECT_EQ(v[1].testo, "Città");
}

}  // namespace
}  // namespace bv
