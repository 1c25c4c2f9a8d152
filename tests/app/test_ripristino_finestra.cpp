// The restore through the window: the selected line's set, the confirmation, and the data
// folder made when none was known.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

#include "operazioni/backup.h"
#include "tests/app/finestra_test.h"

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
        OsservatoreOperazione o;
        {
            test::InterazioneScriptata silenziosa;
            ASSERT_TRUE(EseguiBackup(b, o));
        }
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
    ASSERT_EQ(interazione_.messaggi.size(), 2U);
    EXPECT_EQ(interazione_.messaggi[0].testo,
              "Si desidera realmente procedere con il ripristino del backup " +
                  C<QListWidget>("ListBackup")->item(0)->text().toStdString() + "?");
    EXPECT_EQ(interazione_.messaggi[1].testo, "Ripristino effettuato con successo");
    EXPECT_EQ(test::LeggiTesto(t_ / "dati/dati.mdb"), "dal backup");
    EXPECT_TRUE(C<QPushButton>("CmdRipristino")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RipristinoFinestra, NessunaRigaSelezionata) {
    ImpostaPath(t_ / "dati/");
    Carica();
    C<QListWidget>("ListBackup")->clearSelection();
    C<QPushButton>("CmdRipristino")->click();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_EQ(interazione_.messaggi[0].titolo, "Errore  9991");
    EXPECT_EQ(interazione_.messaggi[0].testo, "E' necessario selezionare un backup dalla lista.");
}

TEST_F(RipristinoFinestra, CartellaDatiCreataAncheRispondendoNo) {
    Carica();
    EXPECT_FALSE(C<QPushButton>("cmdBackup")->isEnabled());
    interazione_.Rispondi(Risposta::No);
    C<QPushButton>("CmdRipristino")->click();
    EXPECT_FALSE(f_.DatiNonPresenti());
    EXPECT_TRUE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_EQ(Testo("txtCartellaDati"), t_ / "appdata/KoBrelvano/DATI/");
    EXPECT_EQ(f_.PercorsoDati(), t_ / "appdata/KoBrelvano/DATI/");
    EXPECT_FALSE(test::Esiste(t_ / "appdata/KoBrelvano/DATI/dati.mdb"));
}

}  // namespace
}  // namespace bv
