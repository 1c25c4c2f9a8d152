// The restore through the window: the selected line's set, the confirmation, and the data
// folder made when none was known.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <filesystem>
#include <regex>

#include "operazioni/backup.h"
#include "platform/istanza.h"
#include "sicurezza/giornale.h"
#include "tests/app/finestra_test.h"
#include "tests/support/fs_guasto.h"

namespace bv {
namespace {

class RipristinoFinestra : public test::FinestraTest {
  protected:
    void SetUp() override {
        FinestraTest::SetUp();
        test::CreaCartelle(t_ / "sorgente/dati");
        test::CreaCartelle(t_ / "origine");
        test::CreaCartelle(t_ / "dati");
        test::ScriviFile(t_ / "sorgente/dati.mdb", "dal backup");
        test::ScriviFile(t_ / "sorgente/dati/logo.bmp", "logo");
        RichiestaBackup b;
        b.destinazione = t_ / "origine";
        b.verifica = false;
        b.percorsoDati = t_ / "sorgente/";
        b.cartellaTemp = programma_ + "/Temp";
        test::CreaCartelle(b.cartellaTemp);
        GanciOperazione o;
        ASSERT_TRUE(EseguiBackup(b, o));
        Registra(std::array<uint16_t, 4>{1, 2, 0, 0});
        ImpostaBackup("Orig", t_ / "origine");
        reg_.Imposta("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                     "AppData", t_ / "appdata");
    }
};

TEST_F(RipristinoFinestra, RipristinaIlSetSelezionato) {
    ImpostaPath(t_ / "dati/");
    Carica();
    ASSERT_EQ(C<QListWidget>("ListBackup")->count(), 1);
    interazione_.Rispondi(Risposta::Si);
    C<QPushButton>("CmdRipristino")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 2U);
    EXPECT_EQ(interazione_.messaggi[0].testo,
              "Si desidera realmente procedere con il ripristino del backup " +
                  C<QListWidget>("ListBackup")->item(0)->data(Qt::UserRole + 1).toString().toStdString() +
                  "?\n\nI database attuali saranno conservati come copie di sicurezza (.cfb) "
                  "accanto a quelli ripristinati.");
    EXPECT_EQ(interazione_.messaggi[1].testo, "Ripristino effettuato con successo\n\ndati.mdb: ripristinato.");
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb"), "dal backup");
    EXPECT_TRUE(C<QPushButton>("CmdRipristino")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RipristinoFinestra, MostraCosaStaFacendo) {
    ImpostaPath(t_ / "dati/");
    Carica();
    std::vector<std::string> testi;
    bool visibili = false;
    interazione_.allaRisposta = [&](const test::MessaggioMostrato& m, Risposta) {
        if (!m.testo.starts_with("Ripristino effettuato con successo")) return;
        BloccoOperazione altraCopia;  // the lock is not held while the notice waits
        visibili = altraCopia.Acquisisci() && !C<QLabel>("lblMsgRipristino")->isHidden() &&
                   !C<QProgressBar>("StatoRipristino")->isHidden() &&
                   C<QProgressBar>("StatoRipristino")->value() == 100;
    };
    auto* etichetta = C<QLabel>("lblMsgRipristino");
    interazione_.Rispondi(Risposta::Si);
    // Record the status text at every file opened, as the label shows it then: read on the
    // window's thread once what the work told it before is shown (the work runs on its own).
    test::FsGuasto guasto;
    guasto.erroreApertura = [&](const std::string&, ModoApertura) {
        const std::string t =
            test::DallaFinestra(etichetta, [etichetta] { return etichetta->text(); }).toStdString();
        if (!t.empty() && (testi.empty() || testi.back() != t)) testi.push_back(t);
        return 0;
    };
    C<QPushButton>("CmdRipristino")->click();
    Attendi();
    EXPECT_TRUE(visibili);
    EXPECT_EQ(testi, (std::vector<std::string>{"Ricostruzione del backup...", "Decompressione...",
                                               "Ripristino dei file..."}));
    EXPECT_TRUE(etichetta->isHidden());  // idle again
}

TEST_F(RipristinoFinestra, ChiusuraDuranteIlLavoroRinviataAllaFine) {
    ImpostaPath(t_ / "dati/");
    Carica();
    f_.show();
    interazione_.Rispondi(Risposta::Si);
    bool tentata = false;
    bool chiusaDurante = false;
    test::FsGuasto guasto;
    guasto.erroreApertura = [&](const std::string&, ModoApertura) {
        // Once the restore is at work (busy pointer shown), on the window's thread.
        test::DallaFinestra(&f_, [&] {
            if (tentata || !f_.isVisible() || QApplication::overrideCursor() == nullptr) return;
            tentata = true;
            f_.close();  // the user clicks the close button mid-restore
            chiusaDurante = !f_.isVisible();
        });
        return 0;
    };
    C<QPushButton>("CmdRipristino")->click();
    Attendi();
    EXPECT_TRUE(tentata);
    EXPECT_FALSE(chiusaDurante);
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb"), "dal backup");  // the restore went on
    EXPECT_TRUE(f_.statusBar()->currentMessage().contains(QStringLiteral("al termine")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f_.isVisible(); }));  // and closed at its end
}

TEST_F(RipristinoFinestra, BackupNellOrigineAggiornaLElenco) {
    ImpostaPath(t_ / "sorgente/");
    ImpostaBackup("Dest", t_ / "origine");
    Carica();
    C<QListWidget>("ListBackup")->clear();  // as if the list were stale
    // The folder holds today's set already: the window asks, naming its time; No keeps it.
    const std::string blocco = t_ / "origine/BV" + FormattaData(Adesso(), "yyyyMMdd") + "#0";
    const std::string prima = test::LeggiTesto(blocco);
    test::ScriviFile(t_ / "sorgente/dati.mdb", "più recente");
    interazione_.Rispondi(Risposta::No);
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_TRUE(std::regex_search(interazione_.messaggi[0].testo,
                                  std::regex("contiene già il backup di oggi delle [0-9]{2}:[0-9]{2}\\. ")))
        << interazione_.messaggi[0].testo;
    EXPECT_EQ(interazione_.messaggi[0].pulsanti, Pulsanti::SiNo);
    EXPECT_EQ(test::LeggiTesto(blocco), prima);
    interazione_.Rispondi(Risposta::Si);
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    EXPECT_NE(test::LeggiTesto(blocco), prima);
    EXPECT_EQ(C<QListWidget>("ListBackup")->count(), 1);
}

// A restore of the command line (a scheduled job) runs while the window starts: the start
// leaves its journal alone, the window's commands wait for its end, which the window then shows:
// the data folder the restore made, the sets of the origin, and the start's repairs.
TEST_F(RipristinoFinestra, OperazioneDellaRigaDiComando) {
    BloccoOperazione rigaDiComando;
    ASSERT_TRUE(rigaDiComando.Acquisisci());
    const std::string giornale = PercorsoGiornale();
    test::ScriviFile(giornale, "il giornale del ripristino in corso");
    Carica();
    EXPECT_EQ(test::LeggiTesto(giornale), "il giornale del ripristino in corso");
    EXPECT_NE(f_.statusBar()->currentMessage().indexOf(QStringLiteral("Un'altra copia")), -1);
    C<QPushButton>("CmdRipristino")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_EQ(interazione_.messaggi[0].testo, ErroreOperazioneInCorso().Descrizione());
    EXPECT_FALSE(test::Esiste(t_ / "dati/dati.mdb"));

    // The command line's restore ends: the data folder known, a second set, its journal left
    // behind as a killed run would.
    ImpostaPath(t_ / "dati/");
    test::ScriviFile(t_ / "registry.reg", reg_.Contenuto());
    registro_.Carica(reg_);
    for (const auto& e : std::filesystem::directory_iterator(t_ / "origine")) {
        const std::string n = e.path().filename().string();
        std::filesystem::copy_file(e.path(), t_ / ("origine/BV20200131" + n.substr(10)));
    }
    rigaDiComando.Rilascia();
    EXPECT_TRUE(QTest::qWaitFor([&] { return C<QListWidget>("ListBackup")->count() == 2; }, 5000));
    EXPECT_TRUE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_EQ(Testo("txtCartellaDati"), t_ / "dati/");
    EXPECT_FALSE(test::Esiste(giornale));
    EXPECT_TRUE(test::Esiste(giornale + ".illeggibile"));
    EXPECT_TRUE(f_.statusBar()->currentMessage().isEmpty());
}

TEST_F(RipristinoFinestra, NessunaRigaSelezionata) {
    ImpostaPath(t_ / "dati/");
    Carica();
    C<QListWidget>("ListBackup")->clearSelection();
    C<QPushButton>("CmdRipristino")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_EQ(interazione_.messaggi[0].titolo, "Errore  9991");
    EXPECT_EQ(interazione_.messaggi[0].testo, "E' necessario selezionare un backup dalla lista.");
}

TEST_F(RipristinoFinestra, CartellaDatiCreataAncheRispondendoNo) {
    Carica();
    EXPECT_FALSE(C<QPushButton>("cmdBackup")->isEnabled());
    interazione_.Rispondi(Risposta::No);
    C<QPushButton>("CmdRipristino")->click();
    Attendi();
    EXPECT_FALSE(f_.DatiNonPresenti());
    EXPECT_TRUE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_EQ(Testo("txtCartellaDati"), t_ / "appdata/KoBrelvano/DATI/");
    EXPECT_EQ(f_.PercorsoDati(), t_ / "appdata/KoBrelvano/DATI/");
    EXPECT_FALSE(test::Esiste(t_ / "appdata/KoBrelvano/DATI/dati.mdb"));
}

// "Verifica backup" on a damaged set: told it can be repaired, asked, repaired in place.
TEST_F(RipristinoFinestra, VerificaERiparaIlSetSelezionato) {
    ImpostaPath(t_ / "dati/");
    Carica();
    const std::string blocco = t_ / "origine/BV" + FormattaData(Adesso(), "yyyyMMdd") + "#0";
    const std::string buono = test::LeggiTesto(blocco);
    std::string d = buono;
    d[d.size() / 2] = static_cast<char>(~d[d.size() / 2]);
    test::ScriviFile(blocco, d);
    interazione_.Rispondi(Risposta::Si);  // repair it
    C<QPushButton>("cmdVerifica")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 3U);
    EXPECT_NE(interazione_.messaggi[0].testo.find("ma può essere riparato"), std::string::npos)
        << interazione_.messaggi[0].testo;
    EXPECT_EQ(interazione_.messaggi[1].pulsanti, Pulsanti::SiNo);
    EXPECT_NE(interazione_.messaggi[2].testo.find("riscritto il blocco #0"), std::string::npos)
        << interazione_.messaggi[2].testo;
    EXPECT_EQ(test::LeggiTesto(blocco), buono);
    EXPECT_TRUE(C<QPushButton>("cmdVerifica")->isEnabled());
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// A set made with another key than the one kept here (none here): its error, nothing changed,
// the key asked for, and the restore again with it.
TEST_F(RipristinoFinestra, SetCifratoChiedeLaSuaChiave) {
    const std::string chiave = "ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34567";
    RichiestaBackup b;
    b.destinazione = t_ / "cifrato";
    b.verifica = false;
    b.percorsoDati = t_ / "sorgente/";
    b.cartellaTemp = programma_ + "/Temp";
    b.chiave = chiave;
    test::CreaCartelle(b.destinazione);
    GanciOperazione o;
    ASSERT_TRUE(EseguiBackup(b, o));
    ImpostaBackup("Orig", t_ / "cifrato");
    ImpostaPath(t_ / "dati/");
    test::ScriviFile(t_ / "dati/dati.mdb", "attuale");
    Carica();
    ASSERT_EQ(C<QListWidget>("ListBackup")->count(), 1);
    EXPECT_TRUE(C<QListWidget>("ListBackup")->item(0)->text().endsWith(QStringLiteral(", cifrato")));
    bool intatto = false;
    interazione_.allaRisposta = [&](const test::MessaggioMostrato& m, Risposta) {
        if (m.titolo.find("10020") != std::string::npos)
            intatto = test::LeggiTesto(t_ / "dati/dati.mdb") == "attuale" &&
                      !std::filesystem::exists(t_ / "dati/dati.mdb.cfb000");
    };
    interazione_.Rispondi(Risposta::Si);
    interazione_.RispondiTesto([&] { return std::string(" abcde fghjk lmnpq rstuv wxyz2 34567 "); });
    interazione_.Rispondi(Risposta::Si);
    C<QPushButton>("CmdRipristino")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 4U);
    EXPECT_TRUE(interazione_.messaggi[1].testo.starts_with("Il backup è cifrato"))
        << interazione_.messaggi[1].testo;
    EXPECT_TRUE(intatto);
    EXPECT_EQ(interazione_.domandeDiTesto.size(), 1U);
    EXPECT_TRUE(interazione_.messaggi[3].testo.starts_with("Ripristino effettuato con successo"));
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb"), "dal backup");
}

}  // namespace
}  // namespace bv
