// The backup through the window: controls mapped to the operation, status shown while it
// runs, the window idle again at the end, and no input taken while it works.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "tests/app/finestra_test.h"
#include "util/chiave_ripristino.h"
#include "tests/support/variabili.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/unita_rimovibile.h"
#include "archive/zippo.h"
#include "platform/custodia_chiave.h"
#include "platform/impostazioni.h"
#include "platform/istanza.h"

namespace bv {
namespace {

class BackupFinestra : public test::FinestraTest {
  protected:
    void SetUp() override {
        FinestraTest::SetUp();
        test::CreaCartelle(t_ / "dati/a");
        test::CreaCartelle(t_ / "dest");
        test::ScriviFile(t_ / "dati/a.mdb", std::string(100000, 'a'));
        test::ScriviFile(t_ / "dati/a/logo.bmp", "logo");
        Registra(std::array<uint16_t, 4>{1, 2, 0, 0});
        ImpostaPath(t_ / "dati/");
        ImpostaBackup("Dest", t_ / "dest/");
    }
};

TEST_F(BackupFinestra, BackupCompletato) {
    Carica();
    bool statoAlMessaggio = false;
    interazione_.allaRisposta = [&](const test::MessaggioMostrato& m, Risposta) {
        if (m.titolo != "Backup") return;
        // The success box comes with the status still shown and the normal pointer back.
        // Nor does it hold the operation lock: a scheduled backup may run meanwhile.
        BloccoOperazione altraCopia;
        statoAlMessaggio =
            altraCopia.Acquisisci() &&
            !C<QLabel>("lblMsg")->isHidden() && Testo("lblMsg") == "Fine operazione." &&
            C<QProgressBar>("Stato")->value() == 100 && QApplication::overrideCursor() == nullptr &&
            !C<QPushButton>("cmdBackup")->isEnabled();
    };
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_TRUE(interazione_.messaggi[0].testo.starts_with("Backup completato correttamente.\n\n"));
    EXPECT_TRUE(statoAlMessaggio);
    EXPECT_TRUE(test::Esiste(t_ / "dest/BV" + FormattaData(Adesso(), "yyyyMMdd") + "#0.inf"));
    EXPECT_TRUE(C<QLabel>("lblMsg")->isHidden());
    EXPECT_TRUE(C<QProgressBar>("Stato")->isHidden());
    EXPECT_TRUE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_TRUE(std::filesystem::is_empty(programma_ + "/Temp"));
}

// What the set leaves out is shown once the backup ends, after its success.
TEST_F(BackupFinestra, EsclusiMostratiAllaFine) {
    BV_SOLO_POSIX("nascosto vuol dire un nome che comincia con un punto (su Windows un attributo)");
    test::ScriviFile(t_ / "dati/.ordini.mdb", "ordini");
    test::CreaCartelle(t_ / "dati/a/vecchie");
    Carica();
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 2U);
    EXPECT_TRUE(interazione_.messaggi[0].testo.starts_with("Backup completato correttamente.\n\n"));
    const test::MessaggioMostrato& m = interazione_.messaggi[1];
    EXPECT_EQ(m.icona, Icona::Avviso);
    EXPECT_NE(m.testo.find(".ordini.mdb è nascosto"), std::string::npos) << m.testo;
    EXPECT_NE(m.testo.find("sottocartelle che non fanno parte del backup: vecchie."),
              std::string::npos)
        << m.testo;
}

TEST_F(BackupFinestra, DestinazioneVuotaMostraLErrore) {
    Carica();
    C<QLineEdit>("txtDest")->setText("  ");
    bool bloccoLibero = false;
    interazione_.allaRisposta = [&](const test::MessaggioMostrato&, Risposta) {
        BloccoOperazione altraCopia;
        bloccoLibero = altraCopia.Acquisisci();
    };
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    EXPECT_TRUE(bloccoLibero);
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_EQ(interazione_.messaggi[0].titolo, "Errore  9982");
    EXPECT_EQ(interazione_.messaggi[0].testo, "E' necessario indicare la destinazione.");
    EXPECT_TRUE(C<QProgressBar>("Stato")->isHidden());
    EXPECT_TRUE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BackupFinestra, SuDischettoLaFinestraNonPrendeInputMentreLavora) {
    BV_SOLO_POSIX("unità A: reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh");
    test::FsGuasto guasto;
    test::UnitaRimovibile unita(t_ / "floppy", t_ / "dischi", 60000, 3);
    unita.Collega(guasto);
    test::ImpostaVariabile("BVBACKUP_FLOPPY", unita.Cartella().c_str());
    // Incompressible data, so that the set needs a second disk.
    std::mt19937 gen(3);
    std::string rumore(90000, '\0');
    for (char& c : rumore) c = static_cast<char>(gen());
    test::ScriviFile(t_ / "dati/a.mdb", rumore);
    Carica();
    f_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f_));
    // Radio buttons take clicks on their indicator and text, at their left.
    const auto clic = [](QWidget* w) {
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
    };
    clic(C<QRadioButton>("OptDest_0"));
    ASSERT_TRUE(C<QRadioButton>("OptDest_0")->isChecked());
    C<QCheckBox>("chkTest")->setChecked(false);
    C<QSpinBox>("spnRecupero")->setValue(0);
    bool inputIgnorato = false;
    interazione_.allaRisposta = [&](const test::MessaggioMostrato& m, Risposta) {
        if (m.titolo != "Disco") return;
        clic(C<QRadioButton>("OptDest_1"));
        QApplication::processEvents();
        inputIgnorato =
            C<QRadioButton>("OptDest_0")->isChecked() && QApplication::overrideCursor() != nullptr;
        unita.Inserisci(1);
    };
    interazione_.Rispondi(Risposta::Riprova);
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    test::TogliVariabile("BVBACKUP_FLOPPY");
    EXPECT_TRUE(inputIgnorato);
    ASSERT_EQ(interazione_.messaggi.size(), 2U);
    EXPECT_TRUE(interazione_.messaggi[1].testo.starts_with("Backup completato correttamente.\n\n"));
    clic(C<QRadioButton>("OptDest_1"));
    EXPECT_TRUE(C<QRadioButton>("OptDest_1")->isChecked());  // input is taken again
}

// The backup works off the window's thread: while a write waits (a slow stick's flush), the
// window's thread goes on serving its events.
TEST_F(BackupFinestra, LaFinestraRispondeMentreIlBackupAttendeIlDisco) {
    test::FsGuasto guasto;
    std::mutex m;
    std::condition_variable cv;
    bool servito = false;         // the window's timer has run
    bool atteso = false;          // a write waited for it
    bool servitoInTempo = false;  // ... and the timer ran while it waited
    std::thread::id filieraDelLavoro;
    guasto.prima = [&](const char* operazione, const std::string& percorso) {
        if (atteso || std::string(operazione) != "fsync" ||
            percorso.find("dest") == std::string::npos)
            return 0;
        atteso = true;
        filieraDelLavoro = std::this_thread::get_id();
        std::unique_lock<std::mutex> l(m);
        servitoInTempo = cv.wait_for(l, std::chrono::seconds(10), [&] { return servito; });
        return 0;
    };
    Carica();
    QTimer::singleShot(50, &f_, [&] {
        std::lock_guard<std::mutex> l(m);
        servito = true;
        cv.notify_all();
    });
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    EXPECT_TRUE(atteso);
    EXPECT_NE(filieraDelLavoro, std::this_thread::get_id());
    EXPECT_TRUE(servitoInTempo);
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_TRUE(interazione_.messaggi[0].testo.starts_with("Backup completato correttamente.\n\n"));
}

// "Annulla" while the set is written: the window is idle again, says what was kept, and the
// day's earlier set is as it was.
TEST_F(BackupFinestra, AnnullaDuranteLaScrittura) {
    Carica();
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    const std::string blocco = t_ / "dest/BV" + FormattaData(Adesso(), "yyyyMMdd") + "#0";
    const std::string prima = test::LeggiTesto(blocco);
    test::ScriviFile(t_ / "dati/a.mdb", std::string(100000, 'b'));
    interazione_.messaggi.clear();
    interazione_.Rispondi(Risposta::Si);  // today's set is replaced
    test::FsGuasto guasto;
    bool annullabile = false;
    guasto.prima = [&](const char* operazione, const std::string& percorso) {
        if (annullabile || std::string(operazione) != "fsync" ||
            percorso.find("dest") == std::string::npos)
            return 0;
        // The user presses it, on the window's thread, while the block is flushed.
        test::DallaFinestra(&f_, [&] {
            auto* annulla = C<QPushButton>("cmdAnnulla");
            annullabile = !annulla->isHidden() && annulla->isEnabled() &&
                          !C<QPushButton>("cmdBackup")->isEnabled();
            annulla->click();
        });
        return 0;
    };
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    EXPECT_TRUE(annullabile);
    ASSERT_EQ(interazione_.messaggi.size(), 2U);
    EXPECT_EQ(interazione_.messaggi[1].testo,
              "Operazione annullata. Il backup precedente di oggi in " +
                  PercorsoPerMessaggio(t_ / "dest/") + " è rimasto com'era.");
    EXPECT_EQ(test::LeggiTesto(blocco), prima);
    EXPECT_TRUE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_TRUE(C<QPushButton>("cmdAnnulla")->isHidden());
}

// "Dati di recupero": the share chosen goes to the backup and is kept for the next start.
TEST_F(BackupFinestra, DatiDiRecupero) {
    Carica();
    const std::string indice = t_ / "dest/BV" + FormattaData(Adesso(), "yyyyMMdd") + ".par2";
    auto* recupero = C<QSpinBox>("spnRecupero");
    EXPECT_EQ(recupero->value(), 10);
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    EXPECT_TRUE(test::Esiste(indice));
    recupero->setValue(0);
    interazione_.Rispondi(Risposta::Si);  // today's set is replaced
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    EXPECT_FALSE(test::Esiste(indice));
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Recupero"), "0");
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// "Cifra il backup" the first time: the key shown, saved where the user says, typed back (a
// wrong copy refused), kept; the backup then encrypted, and the restore list says so.
TEST_F(BackupFinestra, CifraIlBackupLaPrimaVolta) {
    BV_SOLO_POSIX("su Windows la chiave è conservata nel profilo dell'utente, non nella cartella del test");
    Carica();
    const std::string file = t_ / "chiave.txt";
    interazione_.Rispondi(Risposta::Si);  // save it
    interazione_.RispondiFile(file);
    interazione_.RispondiTesto([] { return std::string("ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34567"); });
    interazione_.Rispondi(Risposta::Ok);  // "does not match"
    interazione_.Rispondi(Risposta::No);  // shown again, not saved again
    interazione_.RispondiTesto([&] { return chiave::LeggiDaFile(file); });
    C<QCheckBox>("chkCifra")->click();
    const std::string k = chiave::LeggiDaFile(file);
    EXPECT_TRUE(C<QCheckBox>("chkCifra")->isChecked());
    EXPECT_EQ(LeggiChiaveCustodita(), k);
    ASSERT_GE(interazione_.messaggi.size(), 1U);
    EXPECT_NE(interazione_.messaggi[0].testo.find(k), std::string::npos);
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Cifra"), "1");
    EXPECT_NE(Testo("lblCifra").find("nomi e le dimensioni dei file restano visibili"), std::string::npos);
    interazione_.messaggi.clear();
    C<QPushButton>("cmdBackup")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_TRUE(interazione_.messaggi[0].testo.starts_with("Backup completato correttamente."));
    const std::string blocco = t_ / "dest/BV" + FormattaData(Adesso(), "yyyyMMdd") + "#0";
    const std::string dati = test::LeggiTesto(blocco);
    EXPECT_TRUE(PrimoMembroCifrato(reinterpret_cast<const uint8_t*>(dati.data()), dati.size()));
    EXPECT_EQ(dati.find(k), std::string::npos);
    EXPECT_EQ(test::LeggiTesto(t_ / "registry.reg").find(k), std::string::npos);
    Attendi();
    auto* elenco = C<QListWidget>("ListBackup");
    ASSERT_EQ(elenco->count(), 1);
    EXPECT_TRUE(elenco->item(0)->text().endsWith(QStringLiteral(", cifrato")))
        << elenco->item(0)->text().toStdString();
}

}  // namespace
}  // namespace bv
