// The window's start-up, run offscreen: the three outcomes, the failures that close it, the
// destination options, the busy state, and the one-copy rule of the real executable.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QStatusBar>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <map>

#include "app/frmmain.h"
#include "app/italiano.h"
#include "tests/support/variabili.h"
#include "platform/file_reg.h"
#include "platform/istanza.h"
#include "platform/programma.h"
#include "operazioni/ultimo_backup.h"
#include "platform/filesystem.h"
#include "tests/app/finestra_test.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/interazione_script.h"
#include "tests/support/volumi_finti.h"
#include "tools/pe_builder.h"
#include "util/errori.h"

namespace bv {
namespace {

class Avvio : public test::FinestraTest {
  protected:
    void SetUp() override {
        FinestraTest::SetUp();
        ImpostaBackup("Dest", "/dest/");
        ImpostaBackup("Orig", "/orig/");
    }
};

TEST_F(Avvio, HostNonRegistrato) {
    BV_SOLO_POSIX("percorsi POSIX scritti nel caso");
    Carica();
    EXPECT_TRUE(f_.NonInstallato());
    EXPECT_TRUE(f_.DatiNonPresenti());
    EXPECT_EQ(Testo("lblCartella"), "Non installato");
    EXPECT_EQ(Testo("lblVersione"), "N.D.");
    EXPECT_EQ(Testo("txtCartellaDati"), "N.D.");
    EXPECT_EQ(Testo("lblAvvio").rfind("Brelvano non risulta installato su questo computer", 0), 0U);
    EXPECT_FALSE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_FALSE(C<QPushButton>("CmdRipristino")->isEnabled());
    EXPECT_EQ(Testo("txtDest"), "/dest/");
    EXPECT_EQ(Testo("txtOrig"), "/orig/");
    EXPECT_FALSE(f_.ChiusuraRichiesta());
    EXPECT_TRUE(interazione_.messaggi.empty());
}

TEST_F(Avvio, HostInstallatoSenzaPath) {
    Registra(std::array<uint16_t, 4>{1, 2, 0, 0});
    Carica();
    EXPECT_FALSE(f_.NonInstallato());
    EXPECT_TRUE(f_.DatiNonPresenti());
    EXPECT_EQ(Testo("lblCartella"), t_ / "host/");
    EXPECT_EQ(Testo("lblVersione"), "1.2.0.0");
    EXPECT_EQ(Testo("txtCartellaDati"), "");
    EXPECT_EQ(Testo("lblAvvio").rfind("La cartella dei dati non è impostata in Brelvano", 0), 0U);
    EXPECT_FALSE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_TRUE(C<QPushButton>("CmdRipristino")->isEnabled());
}

TEST_F(Avvio, HostInstallatoConDati) {
    Registra(std::array<uint16_t, 4>{1, 0, 0, 0});  // the minimum itself is accepted
    ImpostaPath("/home/u/dati/");
    Carica();
    EXPECT_FALSE(f_.NonInstallato());
    EXPECT_FALSE(f_.DatiNonPresenti());
    EXPECT_EQ(f_.PercorsoDati(), "/home/u/dati/");
    EXPECT_EQ(Testo("txtCartellaDati"), "/home/u/dati/");
    EXPECT_NE(Testo("lblAvvio").find(PercorsoPerMessaggio("/home/u/dati/") + ", non esiste"),
              std::string::npos);
    EXPECT_EQ(Testo("lblVersione"), "1.0.0.0");
    EXPECT_TRUE(C<QPushButton>("cmdBackup")->isEnabled());
    EXPECT_TRUE(C<QPushButton>("CmdRipristino")->isEnabled());
    EXPECT_EQ(f_.windowTitle().toStdString(), "Modulo Backup per Brelvano");
    EXPECT_TRUE(test::Esiste(programma_ + test::Sep() + "Temp"));
    EXPECT_EQ(f_.CartellaTemp(), programma_ + test::Sep() + "Temp");
    // The idle state the window opens in.
    EXPECT_TRUE(C<QLabel>("lblMsg")->isHidden());
    EXPECT_TRUE(C<QProgressBar>("Stato")->isHidden());
    EXPECT_TRUE(C<QCheckBox>("chkTest")->isChecked());
    EXPECT_TRUE(C<QRadioButton>("OptDest_1")->isChecked());
    EXPECT_TRUE(C<QLineEdit>("txtDest")->isEnabled());
    EXPECT_TRUE(C<QToolButton>("cmdSfoglia")->isEnabled());
}

TEST_F(Avvio, UltimoBackupNellIntestazione) {
    // A scheduled run that failed is what the next start shows first, in red.
    UltimoBackup u;
    u.pianificato = true;
    u.quando = Adesso();
    u.numeroErrore = 9984;
    u.testoErrore = "Destinazione non valida.";
    const std::string testo = TestoFileUltimoBackup(u);
    ScriviFileAtomico(programma_ + test::Sep() + kFileUltimoBackup, testo.data(), testo.size());
    Registra(std::array<uint16_t, 4>{1, 0, 0, 0});
    ImpostaPath("/home/u/dati/");
    Carica();
    EXPECT_EQ(Testo("lblUltimoBackup").rfind("Il backup pianificato di oggi alle ", 0), 0U)
        << Testo("lblUltimoBackup");
    EXPECT_TRUE(C<QLabel>("lblUltimoBackup")->property("allarme").toBool());
}

TEST_F(Avvio, ChiavettaSottoUnAltraLettera) {
    // The last backup went to the stick at E; it is now at F.
    const std::string e = t_ / "E/", f = t_ / "F/";
    test::CreaCartelle(f + "Backup");
    test::VolumiFinti volumi;
    volumi.montati = {{f, "CHIAVE", "1A2B3C4D"}};
    SostituzioneVolumi usa(volumi);
    ImpostaBackup("Dest", e + "Backup/");
    ImpostaBackup("DestVolume", "1A2B3C4D");
    ImpostaBackup("DestRadice", e);
    Carica();
    EXPECT_EQ(Testo("txtDest"), f + "Backup/");
    EXPECT_TRUE(C<QLabel>("lblDestRitrovata")->isVisibleTo(&f_));
    EXPECT_NE(Testo("lblDestRitrovata").find("la stessa chiavetta «CHIAVE» si trova ora in"), std::string::npos);
    // Typing another folder takes the line away.
    QTest::keyClick(C<QLineEdit>("txtDest"), Qt::Key_X);
    EXPECT_FALSE(C<QLabel>("lblDestRitrovata")->isVisibleTo(&f_));
}

TEST_F(Avvio, PathDiUnSingoloDatabaseAccettato) {
    Registra(std::array<uint16_t, 4>{2, 0, 0, 0});
    ImpostaPath("/home/u/dati/archivio.mdb");
    Carica();
    EXPECT_FALSE(f_.DatiNonPresenti());
    EXPECT_EQ(f_.PercorsoDati(), "/home/u/dati/archivio.mdb");
}

struct CasoChiusura {
    const char* nome;
    int32_t numero;
    void (*prepara)(Avvio&, test::FsGuasto&);
};

class ChiusuraTest : public Avvio, public ::testing::WithParamInterface<CasoChiusura> {
  public:
    using Avvio::Registra;
    std::string Programma() const { return programma_; }
};

TEST_P(ChiusuraTest, ErroreMostratoEFinestraChiusa) {
    test::FsGuasto guasto;
    GetParam().prepara(*this, guasto);
    Carica();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    const auto& m = interazione_.messaggi[0];
    EXPECT_EQ(m.titolo, "Errore  " + std::to_string(GetParam().numero));
    if (GetParam().numero == errori::VersioneHost) {
        EXPECT_EQ(m.testo,
                  "Il modulo di backup è applicabile unicamente alla versione 1.0.0.0 o versione "
                  "successiva di "
                  "Brelvano.");
    } else {
        EXPECT_EQ(m.testo,
                  "Per poter eseguire il modulo è necessario usare un utente senza limitazioni.");
    }
    EXPECT_TRUE(f_.ChiusuraRichiesta());
    f_.show();
    QApplication::processEvents();
    EXPECT_FALSE(f_.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Errori, ChiusuraTest,
    ::testing::Values(
        CasoChiusura{"cartella_programma_in_sola_lettura", errori::UtenteLimitato,
                     [](Avvio&, test::FsGuasto& g) {
                         g.erroreApertura = [](const std::string& p, ModoApertura) {
                             return p.ends_with("120asd12.tmp") ? EACCES : 0;
                         };
                     }},
        CasoChiusura{"cartella_temp_non_creabile", errori::TempNonCreata,
                     [](Avvio&, test::FsGuasto& g) {
                         g.erroreCreaCartella = [](const std::string& p) {
                             return p.find("Temp") != std::string::npos ? EACCES : 0;
                         };
                     }},
        CasoChiusura{
            "versione_0_9", errori::VersioneHost,
            [](Avvio& a, test::FsGuasto&) {
                static_cast<ChiusuraTest&>(a).Registra(std::array<uint16_t, 4>{0, 9, 0, 0});
            }},
        CasoChiusura{"eseguibile_mancante", errori::VersioneHost,
                     [](Avvio& a, test::FsGuasto&) {
                         static_cast<ChiusuraTest&>(a).Registra(std::nullopt, false);
                     }},
        CasoChiusura{"senza_versione", errori::VersioneHost,
                     [](Avvio& a, test::FsGuasto&) {
                         static_cast<ChiusuraTest&>(a).Registra(std::nullopt);
                     }}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Avvio, OpzioniDiDestinazione) {
    Carica();
    auto* txtDest = C<QLineEdit>("txtDest");
    auto* cmdSfoglia = C<QToolButton>("cmdSfoglia");
    C<QRadioButton>("OptDest_0")->click();
    EXPECT_FALSE(txtDest->isEnabled());
    EXPECT_FALSE(cmdSfoglia->isEnabled());
    EXPECT_EQ(txtDest->text().toStdString(), "/dest/");
    C<QRadioButton>("OptDest_1")->click();
    EXPECT_TRUE(txtDest->isEnabled());
    EXPECT_TRUE(cmdSfoglia->isEnabled());
}

TEST_F(Avvio, ControlliConTestiIniziali) {
    EXPECT_EQ(f_.windowTitle().toStdString(), "Modulo Backup per");
    auto* tab = C<QTabWidget>("SSTab1");
    ASSERT_EQ(tab->count(), 2);
    const auto senzaMnemonico = [](QString t) { return t.remove(QLatin1Char('&')).toStdString(); };
    EXPECT_EQ(senzaMnemonico(tab->tabText(0)), "Backup");
    EXPECT_EQ(senzaMnemonico(tab->tabText(1)), "Ripristino");
    EXPECT_EQ(Testo("lblCartella"), "");
    EXPECT_EQ(Testo("lblMsg"), "Attendere...");
    EXPECT_EQ(senzaMnemonico(C<QRadioButton>("OptDest_0")->text()), "Floppy A");
    EXPECT_EQ(C<QToolButton>("cmdRefresh")->toolTip().toStdString(), "Aggiorna");
    EXPECT_FALSE(C<QToolButton>("cmdRefresh")->icon().isNull());
    EXPECT_EQ(senzaMnemonico(C<QPushButton>("CmdRipristino")->text()), "Inizia Ripristino");
    EXPECT_FALSE(f_.windowIcon().isNull());
    EXPECT_FALSE(f_.windowIcon().pixmap(32, 32).toImage().pixelColor(16, 8).alpha() == 0);
    for (const char* nome : {"lbl", "Label1", "Label2", "Label3", "Label4", "frmBackup", "Frame1",
                             "txtOrig", "cmdSfogliaRip", "ListBackup"}) {
        EXPECT_NE(f_.findChild<QWidget*>(QString::fromLatin1(nome)), nullptr) << nome;
    }
    EXPECT_NE(f_.findChild<QObject*>(QStringLiteral("mnleggimi")), nullptr);
}

TEST(Traduzioni, PulsantiStandardInItaliano) {
    ASSERT_TRUE(CaricaTraduzioni());
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel | QMessageBox::Yes);
    EXPECT_EQ(box.button(QMessageBox::Retry)->text().remove(QLatin1Char('&')).toStdString(),
              "Riprova");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')).toStdString(),
              "Annulla");
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')).toStdString(), "Sì");
}

// The real executable, as a user starts it.
QProcessEnvironment Ambiente(const test::CartellaTemp& t) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(t.Percorso()));
    env.insert(QStringLiteral("BVBACKUP_REGISTRY"), QString::fromStdString(t / "registry.reg"));
    return env;
}

TEST(Eseguibile, SecondaCopiaEsceSubitoInSilenzio) {
    BV_SOLO_POSIX("la finestra avviata con QProcess sotto Wine: su Windows la prova tests/windows/finestra.sh");
    test::CartellaTemp t;
    const char* prima = std::getenv("XDG_RUNTIME_DIR");
    const std::string salvato = prima != nullptr ? prima : "";
    test::ImpostaVariabile("XDG_RUNTIME_DIR", t.Percorso().c_str());
    // The lock of the executable's own folder.
    ImpostaCartellaProgramma(
        QFileInfo(QStringLiteral(BVBACKUP_ESEGUIBILE)).absolutePath().toStdString());
    BloccoIstanza primaCopia;
    const bool acquisito = primaCopia.Acquisisci();
    ImpostaCartellaProgramma("");
    ASSERT_TRUE(acquisito);
    QProcess p;
    p.setProcessEnvironment(Ambiente(t));
    p.start(QStringLiteral(BVBACKUP_ESEGUIBILE), {});
    ASSERT_TRUE(p.waitForFinished(15000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    if (prima != nullptr) {
        test::ImpostaVariabile("XDG_RUNTIME_DIR", salvato.c_str());
    } else {
        test::TogliVariabile("XDG_RUNTIME_DIR");
    }
}

TEST(Eseguibile, SenzaAltreCopieMostraLaFinestra) {
    BV_SOLO_POSIX("la finestra avviata con QProcess sotto Wine: su Windows la prova tests/windows/finestra.sh");
    test::CartellaTemp t;
    QProcess p;
    p.setProcessEnvironment(Ambiente(t));
    p.start(QStringLiteral(BVBACKUP_ESEGUIBILE),
            {QStringLiteral("--screenshot"), QString::fromStdString(t / "f.png")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(test::Esiste(t / "f.png"));
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// Keyboard and size: what a user without a mouse, or with a long installation path, meets.
class Tastiera : public test::FinestraTest {};

TEST_F(Tastiera, MnemoniciSenzaConflitti) {
    // Unique within what is shown at once: the header, the tabs and the menu, with one tab. The
    // command of either tab is Alt+I.
    std::map<std::pair<int, QChar>, QString> lettere;  // (tab, letter); tab 0: shown always
    const auto registra = [&](const QString& testo, int scheda) {
        const qsizetype p = testo.indexOf(QLatin1Char('&'));
        ASSERT_GE(p, 0) << testo.toStdString() << ": nessun tasto Alt";
        const QChar c = testo.at(p + 1).toLower();
        for (int s : {0, 1, 2}) {
            if (scheda != 0 && s != 0 && s != scheda) continue;
            const auto it = lettere.find({s, c});
            EXPECT_TRUE(it == lettere.end())
                << testo.toStdString() << " e " << it->second.toStdString() << ": stesso tasto";
        }
        lettere[{scheda, c}] = testo;
    };
    auto* tab = C<QTabWidget>("SSTab1");
    registra(tab->tabText(0), 0);
    registra(tab->tabText(1), 0);
    registra(C<QMenu>("mnfile")->title(), 0);
    for (const char* nome : {"OptDest_0", "OptDest_1", "chkTest", "cmdBackup", "cmdSfoglia"})
        registra(C<QAbstractButton>(nome)->text(), 1);
    for (const char* nome : {"CmdRipristino", "cmdSfogliaRip", "cmdRefresh"})
        registra(C<QAbstractButton>(nome)->text(), 2);
    for (const char* nome : {"Label3", "Label4"}) registra(C<QLabel>(nome)->text(), 2);
    EXPECT_EQ(C<QAbstractButton>("cmdBackup")->text().indexOf(QStringLiteral("&I")), 0);
    EXPECT_EQ(C<QAbstractButton>("CmdRipristino")->text().indexOf(QStringLiteral("&I")), 0);
}

TEST_F(Tastiera, EsciDalMenuELaRigaDiStatoNonSpostaIPulsanti) {
    f_.show();
    QApplication::processEvents();
    auto* pulsante = C<QPushButton>("cmdBackup");
    const QPoint prima = pulsante->mapTo(&f_, QPoint());
    f_.statusBar()->showMessage(QStringLiteral("Un'altra copia di BVBackup sta eseguendo un backup."));
    QApplication::processEvents();
    EXPECT_EQ(pulsante->mapTo(&f_, QPoint()), prima);
    EXPECT_GE(f_.minimumWidth(), f_.minimumSizeHint().width());
    auto* esci = f_.findChild<QAction*>(QStringLiteral("mnesci"));
    ASSERT_NE(esci, nullptr);
    EXPECT_EQ(esci->text(), QStringLiteral("&Esci"));
    esci->trigger();
    EXPECT_FALSE(f_.isVisible());
}

TEST_F(Tastiera, PercorsoLungoNonAllargaLaFinestra) {
    BV_SOLO_POSIX("un percorso oltre i 260 caratteri, che Windows non accetta senza prefisso");
    // The host installed under a long path: the window still fits a small screen.
    std::string lungo = t_ / "programmi";
    while (lungo.size() < 500) lungo += "/cartella_con_un_nome_piuttosto_lungo";
    test::CreaCartelle(lungo);
    reg_.Imposta("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brelvano.exe", "",
                 lungo + "/Brelvano.exe");
    const auto img = strumenti::CostruisciPe({.versione = std::array<uint16_t, 4>{1, 2, 0, 0}});
    test::ScriviFile(lungo + "/Brelvano.exe", std::string(img.byte.begin(), img.byte.end()));
    ImpostaPath(lungo + "/");
    ImpostaBackup("Dest", lungo + "/");
    ImpostaBackup("Orig", lungo + "/");
    Carica();
    f_.show();
    QApplication::processEvents();
    EXPECT_LT(f_.minimumSizeHint().width(), 640);
    EXPECT_LT(f_.minimumSize().width(), 640);
    auto* etichetta = C<EtichettaPercorso>("lblCartella");
    EXPECT_EQ(etichetta->toolTip().toStdString(), lungo + "/");
    EXPECT_NE(etichetta->text(), etichetta->toolTip());  // elided in the room it has
    EXPECT_TRUE(etichetta->text().contains(QStringLiteral("…")));
    f_.close();
}

TEST_F(Tastiera, InvioPremeIlPulsanteEIlFuocoTorna) {
    test::CreaCartelle(t_ / "dati/a");
    test::CreaCartelle(t_ / "dest");
    test::ScriviFile(t_ / "dati/a.mdb", "a");
    Registra(std::array<uint16_t, 4>{1, 2, 0, 0});
    ImpostaPath(t_ / "dati/");
    ImpostaBackup("Dest", t_ / "dest/");
    Carica();
    f_.show();
    QApplication::setActiveWindow(&f_);
    auto* pulsante = C<QPushButton>("cmdBackup");
    pulsante->setFocus();
    QTest::keyClick(pulsante, Qt::Key_Return);
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_TRUE(interazione_.messaggi[0].testo.starts_with("Backup completato correttamente.\n\n"));
    EXPECT_EQ(QApplication::focusWidget(), pulsante);
    f_.close();
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

class TastieraEFuoco : public test::FinestraTest {
  protected:
    void SetUp() override {
        FinestraTest::SetUp();
        test::CreaCartelle(t_ / "dati/a");
        test::CreaCartelle(t_ / "dest");
        test::ScriviFile(t_ / "dati/a.mdb", "a");
        Registra(std::array<uint16_t, 4>{1, 2, 0, 0});
        ImpostaPath(t_ / "dati/");
        ImpostaBackup("Dest", t_ / "dest/");
        ImpostaBackup("Orig", t_ / "dest/");
        Carica();
        f_.show();
        QApplication::setActiveWindow(&f_);
        QApplication::processEvents();
    }
};

TEST_F(TastieraEFuoco, IlFuocoParteDalPrimoComandoDellaScheda) {
    EXPECT_EQ(QApplication::focusWidget(), C<QPushButton>("cmdBackup"));
    C<QTabWidget>("SSTab1")->setCurrentIndex(1);
    EXPECT_EQ(QApplication::focusWidget(), C<QPushButton>("CmdRipristino"));
    EXPECT_EQ(C<QLineEdit>("txtCartellaDati")->focusPolicy(), Qt::ClickFocus);
}

TEST_F(TastieraEFuoco, InvioPremeIPulsantiConIcona) {
    // Enter on a focused tool button presses it, as it presses the other buttons.
    interazione_.RispondiCartella("");
    auto* sfoglia = C<QToolButton>("cmdSfoglia");
    sfoglia->setFocus();
    QTest::keyClick(sfoglia, Qt::Key_Return);
    ASSERT_EQ(interazione_.titoliCartella.size(), 1U);
    EXPECT_EQ(interazione_.titoliCartella.back(), "Seleziona destinazione");
    // And each has its Alt key.
    for (const char* nome : {"cmdSfoglia", "cmdSfogliaRip", "cmdRefresh"})
        EXPECT_TRUE(C<QToolButton>(nome)->text().contains(QLatin1Char('&'))) << nome;
}

TEST_F(TastieraEFuoco, OrdineDelTabulatoreComeSulloSchermo) {
    C<QTabWidget>("SSTab1")->setCurrentIndex(1);
    QApplication::processEvents();
    C<QLineEdit>("txtOrig")->setFocus();
    std::vector<std::string> ordine;
    for (int i = 0; i < 4; ++i) {
        QWidget* w = QApplication::focusWidget();
        ordine.push_back(w != nullptr ? w->objectName().toStdString() : "");
        QTest::keyClick(w, Qt::Key_Tab);
    }
    EXPECT_EQ(ordine, (std::vector<std::string>{"txtOrig", "cmdSfogliaRip", "cmdRefresh",
                                               "ListBackup"}));
}

TEST_F(TastieraEFuoco, LeCaselleDeiPercorsiMostranoIlPercorsoIntero) {
    for (const char* nome : {"txtDest", "txtOrig", "txtCartellaDati"}) {
        auto* casella = C<QLineEdit>(nome);
        EXPECT_EQ(casella->toolTip(), casella->text()) << nome;
    }
    C<QLineEdit>("txtDest")->setText(QStringLiteral("altrove"));
    EXPECT_EQ(C<QLineEdit>("txtDest")->toolTip().toStdString(), "altrove");
}

TEST_F(TastieraEFuoco, UnaSecondaAvviataRiportaLaFinestraDavanti) {
    f_.showMinimized();
    QApplication::processEvents();
    ASSERT_TRUE(f_.isMinimized());
    ChiamaPrimaCopia();  // what a second start does before it ends
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f_.isMinimized(); }, 5000));
    EXPECT_FALSE(test::Esiste(PercorsoChiamataIstanza()));
}

}  // namespace
}  // namespace bv
