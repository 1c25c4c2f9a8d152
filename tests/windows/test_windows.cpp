// Windows-only cases: the real registry in both views and the settings store, version
// resources read by the system, a file another process holds open, the one-copy mutex, drive
// letters and free space, accented paths.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/collazione.h"
#include "platform/data_ora.h"
#include "platform/documento.h"
#include "platform/errore.h"
#include "platform/file_aperto.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/istanza.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "platform/registro.h"
#include "platform/spazio_disco.h"
#include "platform/versione_pe.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/errori.h"
#include "tests/support/processo.h"
#include "tools/pe_builder.h"
#include "util/koutilita.h"

namespace bv {
namespace {

using test::NumeroErrore;

const std::string kReg = "C:\\windows\\system32\\reg.exe";

// A key of this test process alone: tests run side by side in one Wine prefix.
std::string Unico(const std::string& base) {
    return base + std::to_string(IdProcesso());
}

test::EsitoProcesso Reg(const std::vector<std::string>& argomenti) {
    return test::EseguiProcesso(kReg, argomenti, {});
}

// Names a set made on Linux may carry and Windows cannot hold (a final dot would even be
// dropped, giving another file's name).
TEST(NomiWindows, AmmessiDalSistema) {
    const std::vector<std::pair<std::string, bool>> casi = {
        {"finale.", false}, {"finale ", false}, {"a:b", false},  {"a?b", false},
        {"a*b", false},     {"a<b>", false},    {"a|b", false},  {"a\"b", false},
        {"logo.bmp", true}, {"Società.mdb", true}, {".bozza", true}, {"a b.txt", true},
    };
    for (const auto& [nome, ammesso] : casi) EXPECT_EQ(NomeAmmessoDalSistema(nome), ammesso) << nome;
}

// Paths as the file system layer passes them, without "\\?\": MAX_PATH with the final null,
// 12 fewer for a folder to create; UTF-16 units, not bytes ("è" is one unit, two bytes).
TEST(PercorsiWindows, LunghezzaMassimaSenzaPrefisso) {
    const std::string base = "C:\\";
    const struct {
        std::string percorso;
        bool cartella;
        bool ammesso;
    } casi[] = {
        {base + std::string(256, 'x'), false, true},  // 259 units
        {base + std::string(257, 'x'), false, false},
        {base + std::string(244, 'x'), true, true},   // 247
        {base + std::string(245, 'x'), true, false},
        {base + std::string(127, 'x') + std::string(129, 'x').replace(0, 1, "\xc3\xa8"), false,
         true},  // 259 units, 260 bytes
    };
    for (const auto& c : casi)
        EXPECT_EQ(PercorsoAmmessoDalSistema(c.percorso, c.cartella), c.ammesso)
            << c.percorso.size();
}

TEST(RegistroWindows, AppPathsDaUnHostA32BitEDaUnoA64Bit) {
    const std::string app = Unico("BvProva") + ".exe";
    const std::string chiave = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + app;
    for (const std::string vista : {"/reg:32", "/reg:64"}) {
        SCOPED_TRACE(vista);
        const std::string host = "C:\\Host" + vista.substr(5) + "\\Brelvano.exe";
        ASSERT_EQ(Reg({"add", "HKLM\\" + chiave, "/ve", "/d", host, "/f", vista}).stato, 0);
        EXPECT_EQ(LeggiRegistro(RadiceRegistro::LocalMachine, chiave, "").testo, host);
        EXPECT_EQ(Utilita().CartellaApplicazione(app), "C:\\Host" + vista.substr(5) + "\\");
        Reg({"delete", "HKLM\\" + chiave, "/f", vista});
        EXPECT_FALSE(LeggiRegistro(RadiceRegistro::LocalMachine, chiave, "").trovato);
    }
}

TEST(RegistroWindows, ValoriNonTestualiEValoriTroppoLunghi) {
    const std::string chiave = "Software\\" + Unico("BvProva");
    Reg({"add", "HKCU\\" + chiave, "/v", "Espandibile", "/t", "REG_EXPAND_SZ", "/d", "%TEMP%", "/f"});
    Reg({"add", "HKCU\\" + chiave, "/v", "Lungo", "/d", std::string(1100, 'x'), "/f"});
    const ValoreRegistro e = LeggiRegistro(RadiceRegistro::CurrentUser, chiave, "Espandibile");
    EXPECT_TRUE(e.trovato);
    EXPECT_EQ(e.testo, "");
    EXPECT_FALSE(LeggiRegistro(RadiceRegistro::CurrentUser, chiave, "Lungo").trovato);
    Reg({"delete", "HKCU\\" + chiave, "/f"});
}

TEST(ImpostazioniWindows, ValoriGiaPresentiEDopoUnRiavvio) {
    const std::string app = Unico("KO_Prova");
    const std::string chiave = "HKCU\\Software\\VB and VBA Program Settings\\" + app + "\\Backup";
    // A value already there, with accents, found ignoring the key's letter case.
    ASSERT_EQ(Reg({"add", chiave, "/v", "Dest", "/d", "D:\\Città\\", "/f"}).stato, 0);
    EXPECT_EQ(LeggiImpostazione(app, "Backup", "DEST"), "D:\\Città\\");
    EXPECT_EQ(LeggiImpostazione(app, "Backup", "Orig", "nessuna"), "nessuna");
    SalvaImpostazione(app, "Backup", "Orig", "E:\\Backup perché\\");
    // Another process (the registry tool) reads what was written: it outlives this one.
    const auto letto = Reg({"query", chiave, "/v", "Orig"});
    EXPECT_EQ(letto.stato, 0);
    EXPECT_NE(letto.out.find("REG_SZ"), std::string::npos);
    EXPECT_NE(letto.out.find("Backup perch"), std::string::npos);
    Reg({"delete", "HKCU\\Software\\VB and VBA Program Settings\\" + app, "/f"});
}

TEST(VersioneWindows, RisorsaVeraEFileSenzaVersione) {
    test::CartellaTemp t;
    const auto pe = strumenti::CostruisciPe({.versione = std::array<uint16_t, 4>{1, 2, 3, 4}});
    ScriviFileAtomico(t / "Host.exe", pe.byte.data(), pe.byte.size());
    EXPECT_EQ(Utilita().GetVersione(t / "Host.exe"), "1.2.3.4");
    const auto senza = strumenti::CostruisciPe({});
    ScriviFileAtomico(t / "Senza.exe", senza.byte.data(), senza.byte.size());
    EXPECT_EQ(Utilita().GetVersione(t / "Senza.exe"), "0.0.0.0");
    ScriviFileAtomico(t / "testo.exe", "MZ", 2);
    EXPECT_EQ(Utilita().GetVersione(t / "testo.exe"), "0.0.0.0");
    EXPECT_EQ(Utilita().GetVersione(t / "manca.exe"), "0.0.0.0");
}

TEST(FileApertoWindows, UnAltroProcessoLoTieneAperto) {
    test::CartellaTemp t;
    ScriviFileAtomico(t / "dati.mdb", "x", 1);
    EXPECT_FALSE(FileInUso(t / "dati.mdb"));
    {
        test::ProcessoCheTieneAperto host(t / "dati.mdb", 0);
        EXPECT_TRUE(FileInUso(t / "dati.mdb"));
        // The program's own reads share: a backup could read it, but must not take it.
        File f(t / "dati.mdb", ModoApertura::Lettura);
    }
    EXPECT_FALSE(FileInUso(t / "dati.mdb"));
    EXPECT_FALSE(FileInUso(t / "manca.mdb"));
}

TEST(IstanzaWindows, UnaFinestraEUnaOperazioneAllaVolta) {
    BloccoIstanza primo;
    ASSERT_TRUE(primo.Acquisisci());
    EXPECT_TRUE(PercorsoBloccoIstanza().ends_with("\\bvbackup.lock"));
    BloccoIstanza secondo;
    EXPECT_FALSE(secondo.Acquisisci());
    // The command line beside this test shares its folder, so its locks: the window's lets it
    // run, an operation's makes it wait, then fail.
    BloccoOperazione operazione;
    ASSERT_TRUE(operazione.Acquisisci());
    const auto e = test::EseguiProcesso(BVBACKUP_CLI, {"backup", "--attendi", "0"}, {});
    EXPECT_EQ(e.stato, 1);
    EXPECT_NE(e.err.find("Un'altra copia di BVBackup"), std::string::npos) << e.err;
    operazione.Rilascia();
    const auto l = test::EseguiProcesso(BVBACKUP_CLI, {"list", "--orig", "C:\\"}, {});
    EXPECT_EQ(l.err.find("Un'altra copia di BVBackup"), std::string::npos) << l.err;
}

TEST(UnitaWindows, LettereDiUnitaESpazioLibero) {
    EXPECT_TRUE(UnitaValida("C:"));
    EXPECT_TRUE(UnitaValida(UnitaDi("c:\\dati\\")));
    EXPECT_TRUE(UnitaValida("Q:"));  // the form only: the drive's absence shows next
    EXPECT_FALSE(UnitaValida("\\\\"));
    EXPECT_FALSE(UnitaValida("1:"));
    EXPECT_GT(SpazioLiberoDisco("C:"), 0);
    EXPECT_GT(SpazioLiberoDisco("C:\\"), 0);
    EXPECT_EQ(SpazioLiberoDisco("Q:"), -1);
    EXPECT_EQ(CartellaFloppy(), "A:\\");
    EXPECT_TRUE(SuUnitaRimovibile("a:\\BV20240315#0"));
    EXPECT_FALSE(SuUnitaRimovibile("C:\\backup\\"));
    EXPECT_EQ(PercorsoPerMessaggio("c:\\Dati\\àb"), "C:\\DATI\\ÀB");
    EXPECT_EQ(CartellaDi("C:\\a.mdb"), "C:\\");
    EXPECT_EQ(CartellaDi("C:\\dati\\a.mdb"), "C:\\dati");
    EXPECT_EQ(NomeDi("C:\\dati\\a.mdb"), "a.mdb");
    EXPECT_EQ(CartellaSenzaSeparatore("C:\\dati\\"), "C:\\dati");
    EXPECT_EQ(CartellaSenzaSeparatore("C:\\"), "C:\\");
}

TEST(DocumentoWindows, LaShellApreORispondeComeSuLinux) {
    test::CartellaTemp t;
    // The shell's own answers become the program's messages: a missing file, a missing folder.
    EXPECT_FALSE(Utilita().EseguiEx(t / "leggimi.htm", true));
    EXPECT_FALSE(Utilita().EseguiEx(t / "manca\\leggimi.htm", true));
    EXPECT_EQ(ApriDocumentoDiSistema(t / "leggimi.htm").value_or(0), 2);  // SE_ERR_FNF
}

TEST(LocaleWindows, FormeDellUtenteItaliano) {
    // The tests run as an Italian user (LC_ALL=it_IT.UTF-8 under Wine).
    EXPECT_EQ(AbbreviazioneMese(12), "dic");
    EXPECT_EQ(TimestampLog({2024, 3, 5, 8, 4, 9}), "2024-mar-05 08:04:09");
    EXPECT_TRUE(DataBreve({2024, 3, 15, 0, 0, 0}).starts_with("15/"));  // day first
    EXPECT_LT(ConfrontaTestoSenzaMaiuscole("Città", "citte"), 0);  // à sorts as a, not after z
    EXPECT_EQ(ConfrontaTestoSenzaMaiuscole("Città", "CITTÀ"), 0);
}

TEST(PercorsiWindows, LettereAccentateEMaiuscoleComeLeTieneIlDisco) {
    test::CartellaTemp t;
    const std::string cartella = t / "Città";
    Fs().CreaCartella(cartella);
    ScriviFileAtomico(cartella + "\\Perché.mdb", "abc", 3);
    const auto voci = Fs().Elenca(cartella);
    ASSERT_EQ(voci.size(), 1U);
    EXPECT_EQ(voci[0].nome, "Perché.mdb");
    EXPECT_EQ(TrovaNome(cartella + "\\", "PERCHÉ.MDB"), cartella + "\\Perché.mdb");
    EXPECT_EQ(Fs().Info(cartella + "\\Perché.mdb").dimensione, 3U);
    Fs().Rinomina(cartella + "\\Perché.mdb", cartella + "\\Già.mdb");
    EXPECT_EQ(LeggiFileTesto(cartella + "\\Già.mdb"), "abc");
    EXPECT_TRUE(PercorsoCanonico(cartella).ends_with("\\Città"));
    EXPECT_EQ(NumeroErrore([&] { File f(cartella + "\\manca.mdb", ModoApertura::Lettura); }), 53);
    EXPECT_EQ(NumeroErrore([&] { Fs().Elenca(cartella + "\\manca"); }), 76);
}

TEST(FileSystemWindows, SostituzioneCopiaCollegamentoEFileInUso) {
    test::CartellaTemp t;
    ScriviFileAtomico(t / "a", "nuovo", 5);
    ScriviFileAtomico(t / "b", "vecchio", 7);
    Fs().Rinomina(t / "a", t / "b");  // replaces, as on POSIX
    EXPECT_EQ(LeggiFileTesto(t / "b"), "nuovo");
    Fs().CollegaFisso(t / "b", t / "c");
    EXPECT_EQ(LeggiFileTesto(t / "c"), "nuovo");
    EXPECT_FALSE(Fs().ScambiaNomi(t / "b", t / "c"));
    Fs().ImpostaPermessi(t / "c", 0444);
    EXPECT_EQ(Fs().Info(t / "c").permessi, 0444U);
    Fs().ImpostaPermessi(t / "c", 0644);
    {
        test::ProcessoCheTieneAperto host(t / "b", 0);
        // Sharing: the holder has not allowed deletion, so the name cannot go.
        EXPECT_EQ(NumeroErrore([&] { Fs().Rimuovi(t / "b"); }), 70);
    }
    Fs().Rimuovi(t / "b");
    EXPECT_FALSE(Fs().Info(t / "b").esiste);
}

}  // namespace
}  // namespace bv
