// The backup list, the folder choices and the readme command of the window.
#include <gtest/gtest.h>

#include <QAction>
#include <algorithm>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QListView>
#include <QMessageBox>
#include <QTimer>
#include <QScreen>
#include <QGuiApplication>
#include <QHeaderView>
#include <QFontMetrics>
#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <chrono>
#include <filesystem>

#include "app/italiano.h"
#include "platform/data_ora.h"
#include "app/interazione_qt.h"
#include "tests/app/finestra_test.h"
#include "tests/support/variabili.h"
#include "util/koutilita.h"

namespace bv {
namespace {

class Elenco : public test::FinestraTest {
  protected:
    void SetUp() override {
        FinestraTest::SetUp();
        test::CreaCartelle(origine_);
        for (const char* f :
             {"BV20240131#0", "BV20240131#0.inf", "BV20240131#1", "BV20240131#1.inf",
              "BV20231231#0", "BV20231231#0.inf", "BVABCDEFGH#0", "altro.txt"}) {
            test::ScriviFile(origine_ + test::Sep() + f, "x");
        }
    }
    std::vector<std::pair<std::string, int>> Righe() {
        std::vector<std::pair<std::string, int>> r;
        auto* l = C<QListWidget>("ListBackup");
        for (int i = 0; i < l->count(); ++i) {
            // The date each line begins with (what follows describes the set).
            r.emplace_back(l->item(i)->data(Qt::UserRole + 1).toString().toStdString(),
                           l->item(i)->data(Qt::UserRole).toInt());
            EXPECT_TRUE(l->item(i)->text().startsWith(l->item(i)->data(Qt::UserRole + 1).toString()));
        }
        return r;
    }
    void DoppioClic(QWidget* w) { QTest::mouseDClick(w, Qt::LeftButton); }

    std::string origine_ = t_ / "origine";
};

TEST_F(Elenco, AllAvvioElencaISetDelPiuRecente) {
    ImpostaBackup("Orig", origine_);  // without its final separator
    Carica();
    EXPECT_EQ(Testo("txtOrig"), origine_ + test::Sep());
    // BVABCDEFGH is left out; the others keep their own entry index.
    EXPECT_EQ(Righe(),
              (std::vector<std::pair<std::string, int>>{{DataBreve({2024, 1, 31, 0, 0, 0}), 2},
                                                        {DataBreve({2023, 12, 31, 0, 0, 0}), 3}}));
    EXPECT_EQ(C<QListWidget>("ListBackup")->currentRow(), 0);
    // Blocks of one byte with no descriptor of their own: shown as damaged, not like good sets.
    EXPECT_TRUE(C<QListWidget>("ListBackup")->item(0)->text().contains(QStringLiteral("danneggiato")));
    EXPECT_TRUE(C<QLabel>("lblNessunBackup")->isHidden());
    EXPECT_EQ(f_.ElencoBackup().GetItem(2), "BV20240131");
    EXPECT_TRUE(interazione_.messaggi.empty());
}

// A folder without sets says so in the list's place.
TEST_F(Elenco, CartellaSenzaSetLoDice) {
    test::CreaCartelle(t_ / "vuota");
    ImpostaBackup("Orig", t_ / "vuota");
    Carica();
    EXPECT_TRUE(Righe().empty());
    EXPECT_FALSE(C<QLabel>("lblNessunBackup")->isHidden());
    EXPECT_EQ(Testo("lblNessunBackup"), "Nessun backup in questa cartella.");
}

TEST_F(Elenco, OrigineMancanteSilenziosaAllAvvioMostrataDaAggiorna) {
    ImpostaBackup("Orig", t_ / "manca");
    Carica();
    EXPECT_TRUE(interazione_.messaggi.empty());
    EXPECT_TRUE(Righe().empty());
    C<QToolButton>("cmdRefresh")->click();
    Attendi();
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_EQ(interazione_.messaggi[0].titolo, "Errore  9984");
    EXPECT_EQ(interazione_.messaggi[0].testo, "Destinazione non valida o disco non pronto.");
    EXPECT_TRUE(Righe().empty());
}

TEST_F(Elenco, OrigineVuotaSvuotaLaListaSenzaMessaggi) {
    ImpostaBackup("Orig", origine_);
    Carica();
    ASSERT_FALSE(Righe().empty());
    C<QLineEdit>("txtOrig")->setText("   ");
    C<QToolButton>("cmdRefresh")->click();
    Attendi();
    EXPECT_TRUE(Righe().empty());
    EXPECT_TRUE(interazione_.messaggi.empty());
    EXPECT_EQ(f_.ElencoBackup().Count(), 0);
}

TEST_F(Elenco, SceltaDellOrigineElencaESeleziona) {
    Carica();
    interazione_.RispondiCartella(origine_);
    C<QToolButton>("cmdSfogliaRip")->click();
    Attendi();
    EXPECT_EQ(interazione_.titoliCartella.back(), "Seleziona origine");
    EXPECT_EQ(Testo("txtOrig"), origine_ + test::Sep());
    EXPECT_EQ(Righe().size(), 2U);
    EXPECT_EQ(C<QListWidget>("ListBackup")->currentRow(), 0);
    // Cancelling leaves text and list as they were.
    interazione_.RispondiCartella("");
    DoppioClic(C<QLineEdit>("txtOrig"));
    EXPECT_EQ(interazione_.titoliCartella.size(), 2U);
    EXPECT_EQ(Testo("txtOrig"), origine_ + test::Sep());
    EXPECT_EQ(Righe().size(), 2U);
    // A folder without sets empties the list, with no message.
    test::CreaCartelle(t_ / "vuota");
    interazione_.RispondiCartella(t_ / "vuota");
    C<QToolButton>("cmdSfogliaRip")->click();
    Attendi();
    EXPECT_TRUE(Righe().empty());
    EXPECT_TRUE(interazione_.messaggi.empty());
}

TEST_F(Elenco, SceltaDellaDestinazione) {
    BV_SOLO_POSIX("la radice \"/\" scritta nel caso");
    Carica();
    interazione_.RispondiCartella(t_ / "dest");
    C<QToolButton>("cmdSfoglia")->click();
    EXPECT_EQ(interazione_.titoliCartella.back(), "Seleziona destinazione");
    EXPECT_EQ(Testo("txtDest"), t_ / "dest/");
    interazione_.RispondiCartella("/");
    DoppioClic(C<QLineEdit>("txtDest"));
    EXPECT_EQ(Testo("txtDest"), "/");
    interazione_.RispondiCartella("");
    C<QToolButton>("cmdSfoglia")->click();
    EXPECT_EQ(Testo("txtDest"), "/");
    // With "Floppy A" selected a double click does nothing (no folder is asked for).
    C<QRadioButton>("OptDest_0")->click();
    DoppioClic(C<QLineEdit>("txtDest"));
    EXPECT_EQ(interazione_.titoliCartella.size(), 3U);
}

TEST_F(Elenco, IlDialogoSiApreDoveIndicaLaCasella) {
    Carica();
    // The folder in the box, or its nearest existing parent.
    C<QLineEdit>("txtDest")->setText(QString::fromStdString(origine_ + test::Sep() + "manca" + test::Sep() + "anche"));
    interazione_.RispondiCartella("");
    C<QToolButton>("cmdSfoglia")->click();
    C<QLineEdit>("txtOrig")->setText(QString::fromStdString(origine_));
    interazione_.RispondiCartella("");
    C<QToolButton>("cmdSfogliaRip")->click();
    Attendi();
    // An empty box: the other box's folder (the last one used), never the program folder.
    C<QLineEdit>("txtOrig")->setText(QString());
    interazione_.RispondiCartella("");
    C<QToolButton>("cmdSfogliaRip")->click();
    Attendi();
    EXPECT_EQ(interazione_.cartelleIniziali,
              (std::vector<std::string>{origine_ + test::Sep(), origine_, origine_ + test::Sep()}));
    // The chosen folder as the system writes it.
    std::string conBarre = origine_;
    std::replace(conBarre.begin(), conBarre.end(), '\\', '/');
    interazione_.RispondiCartella(conBarre);
    C<QToolButton>("cmdSfoglia")->click();
    EXPECT_EQ(Testo("txtDest"), origine_ + test::Sep());
}

TEST(DialogoCartella, InItalianoQualunqueSiaLaLingua) {
    BV_SOLO_POSIX("su Windows il dialogo delle cartelle è quello del sistema, nella sua lingua");
    ASSERT_TRUE(CaricaTraduzioni());
    test::CartellaTemp t;
    test::CreaCartelle(t / "base/sotto");
    std::filesystem::last_write_time(
        t / "base/sotto",
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400));
    const auto d = CreaDialogoCartella(nullptr, QStringLiteral("Seleziona destinazione"),
                                       QString::fromStdString(t / "base"));
    auto* vista = d->findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(vista, nullptr);
    QAbstractItemModel* m = vista->model();
    std::vector<std::string> intestazioni;
    for (int c = 0; c < 4; ++c)
        intestazioni.push_back(m->headerData(c, Qt::Horizontal).toString().toStdString());
    EXPECT_EQ(intestazioni,
              (std::vector<std::string>{"Nome", "Dimensione", "Tipo", "Data di modifica"}));
    QModelIndex riga;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const QModelIndex radice = vista->rootIndex();
        for (int r = 0; r < m->rowCount(radice); ++r) {
            if (m->index(r, 0, radice).data().toString() == QStringLiteral("sotto")) {
                riga = m->index(r, 0, radice);
                return true;
            }
        }
        return false;
    }));
    EXPECT_EQ(riga.siblingAtColumn(2).data().toString().toStdString(), "Cartella");
    // An Italian short date: day/month/year, whatever LANG says.
    const QString data = riga.siblingAtColumn(3).data().toString();
    const QDate attesa = QFileInfo(QString::fromStdString(t / "base/sotto")).lastModified().date();
    EXPECT_TRUE(data.startsWith(attesa.toString(QStringLiteral("dd/MM/yy")))) << data.toStdString();
}

TEST_F(Elenco, LeggimiApreIlFileDellaCartellaDelProgramma) {
    BV_SOLO_POSIX("su Windows il leggimi si apre con ShellExecuteW: tests/windows");
    Carica();
    auto* leggimi = f_.findChild<QAction*>(QStringLiteral("mnleggimi"));
    ASSERT_NE(leggimi, nullptr);
    leggimi->trigger();  // missing: nothing shown, nothing opened
    EXPECT_TRUE(interazione_.messaggi.empty());
    EXPECT_TRUE(interazione_.documentiAperti.empty());
    test::ScriviFile(programma_ + test::Sep() + "leggimi.htm", "<html></html>");
    leggimi->trigger();
    EXPECT_EQ(interazione_.documentiAperti, std::vector<std::string>{programma_ + test::Sep() + "leggimi.htm"});
    interazione_.apriRiesce = false;
    leggimi->trigger();
    EXPECT_TRUE(interazione_.messaggi.empty());
}

struct CasoEseguiEx {
    const char* nome;
    bool crea;
    bool apriRiesce;
    const char* file;
    const char* suffisso;
};

class EseguiExTest : public ::testing::TestWithParam<CasoEseguiEx> {};

TEST_P(EseguiExTest, MessaggiDellaShell) {
    BV_SOLO_POSIX("su Windows i documenti si aprono con ShellExecuteW: tests/windows");
    const auto& c = GetParam();
    test::CartellaTemp t;
    const std::string file = t / c.file;
    if (c.crea) test::ScriviFile(file, "x");
    for (bool muto : {true, false}) {
        test::InterazioneScriptata interazione;
        interazione.apriRiesce = c.apriRiesce;
        EXPECT_EQ(Utilita().EseguiEx(file, muto), c.suffisso == nullptr);
        if (muto || c.suffisso == nullptr) {
            EXPECT_TRUE(interazione.messaggi.empty());
        } else {
            ASSERT_EQ(interazione.messaggi.size(), 1U);
            EXPECT_EQ(interazione.messaggi[0].testo, file + c.suffisso);
            EXPECT_EQ(interazione.messaggi[0].titolo, "Errore");
            EXPECT_EQ(interazione.messaggi[0].icona, Icona::Critico);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casi, EseguiExTest,
    ::testing::Values(
        CasoEseguiEx{"aperto", true, true, "leggimi.htm", nullptr},
        CasoEseguiEx{"file_mancante", false, true, "leggimi.htm", ": file non trovato!"},
        CasoEseguiEx{"cartella_mancante", false, true, "manca/leggimi.htm", ": accesso negato!"},
        CasoEseguiEx{"nessun_programma", true, false, "dati.xyz",
                     ": nessun programma associato a questo tipo di file!"}),
    [](const auto& info) { return std::string(info.param.nome); });

}  // namespace
}  // namespace bv

namespace bv {
namespace {

std::string In(const std::string& cartella, const char* nome) {
    test::CreaCartelle(cartella);
    return cartella + test::Sep() + nome;
}

class ElencoCasella : public test::FinestraTest {
  protected:
    void SetUp() override {
        FinestraTest::SetUp();
        for (const char* f : {"BV20240131#0", "BV20240131#0.inf"})
            test::ScriviFile(In(t_ / "origine", f), "x");
        for (const char* f : {"BV20250505#0", "BV20250505#0.inf", "BV20250404#0", "BV20250404#0.inf"})
            test::ScriviFile(In(t_ / "altra", f), "x");
        test::CreaCartelle(t_ / "vuota");
        Registra(std::array<uint16_t, 4>{1, 2, 0, 0});
        ImpostaBackup("Orig", t_ / "origine");
        Carica();
        f_.show();
        QApplication::setActiveWindow(&f_);
    }
    size_t Righe() { return static_cast<size_t>(C<QListWidget>("ListBackup")->count()); }
};

TEST_F(ElencoCasella, LaListaSegueLaCartellaScritta) {
    ASSERT_EQ(Righe(), 1U);
    auto* casella = C<QLineEdit>("txtOrig");
    casella->setFocus();
    casella->selectAll();
    QTest::keyClicks(casella, QString::fromStdString(t_ / "altra"));
    // A moment after the typing stops.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Righe() == 2U; }, 5000));
    // On Enter at once.
    casella->selectAll();
    QTest::keyClicks(casella, QString::fromStdString(t_ / "origine"));
    QTest::keyClick(casella, Qt::Key_Return);
    Attendi();
    EXPECT_EQ(Righe(), 1U);
    // A set that came since (a stick plugged in late): Enter reads the same folder again.
    test::ScriviFile(In(t_ / "origine", "BV20240101#0"), "x");
    QTest::keyClick(casella, Qt::Key_Return);
    Attendi();
    EXPECT_EQ(Righe(), 2U);
    EXPECT_TRUE(interazione_.messaggi.empty());
}

TEST_F(ElencoCasella, IlRipristinoNonPrendeIlSetDiUnAltraCartella) {
    // The box changed without the list following (as when a command is pressed at once).
    C<QLineEdit>("txtOrig")->setText(QString::fromStdString(t_ / "vuota"));
    ASSERT_TRUE(C<QPushButton>("CmdRipristino")->isEnabled());
    C<QPushButton>("CmdRipristino")->click();
    Attendi();
    EXPECT_TRUE(interazione_.messaggi.empty()) << "chiesto il ripristino del set di un'altra cartella";
    EXPECT_EQ(Righe(), 0U);
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

TEST(DialogoCartella, ColonneELatoLarghiQuantoITestiItaliani) {
    BV_SOLO_POSIX("su Windows il dialogo delle cartelle è quello del sistema, nella sua lingua");
    ASSERT_TRUE(CaricaTraduzioni());
    const auto d = CreaDialogoCartella(nullptr, QStringLiteral("Seleziona destinazione"), {});
    auto* vista = d->findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(vista, nullptr);
    const QFontMetrics fm(vista->header()->font());
    for (int c = 0; c < vista->header()->count(); ++c) {
        const QString testo = vista->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_GT(vista->header()->sectionSize(c), fm.horizontalAdvance(testo))
            << testo.toStdString() << ": intestazione tagliata";
    }
    auto* lato = d->findChild<QListView*>(QStringLiteral("sidebar"));
    ASSERT_NE(lato, nullptr);
    for (int r = 0; r < lato->model()->rowCount(); ++r) {
        const QString testo = lato->model()->index(r, 0).data().toString();
        EXPECT_GT(lato->minimumWidth(), QFontMetrics(lato->font()).horizontalAdvance(testo))
            << testo.toStdString();
    }
}

TEST(Messaggi, PrimaDellaFinestraStannoInMezzoAlloSchermo) {
    QWidget finestra;  // not shown yet, as at the start
    InterazioneQt interazione(&finestra);
    QPoint centro;
    QTimer::singleShot(200, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            centro = box->geometry().center();
            box->accept();
        }
    });
    interazione.Messaggio("Un ripristino interrotto è stato completato.", "Ripristino",
                          Icona::Informazione, Pulsanti::Ok);
    const QRect schermo = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LT((centro - schermo.center()).manhattanLength(), 40)
        << centro.x() << "," << centro.y() << " invece del centro dello schermo";
}

// Each button of a disk prompt gives its own answer; the third is the missing disk's.
TEST(Messaggi, IlDiscoMancanteHaIlSuoPulsante) {
    QWidget finestra;
    InterazioneQt interazione(&finestra);
    for (const auto& [pulsante, attesa] :
         std::vector<std::pair<QString, Risposta>>{{QStringLiteral("cmdDiscoMancante"), Risposta::Mancante},
                                                  {QString(), Risposta::Riprova}}) {
        QString testo;
        QTimer::singleShot(200, [&, pulsante = pulsante] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            auto* mancante = box->findChild<QPushButton*>(QStringLiteral("cmdDiscoMancante"));
            if (mancante != nullptr) testo = mancante->text();
            if (pulsante.isEmpty()) {
                box->button(QMessageBox::Retry)->click();
            } else if (mancante != nullptr) {
                mancante->click();
            }
        });
        EXPECT_EQ(interazione.Messaggio("Inserire il 2° disco del backup.", "Ripristino",
                                        Icona::Informazione, Pulsanti::RiprovaMancanteAnnulla),
                  attesa);
        EXPECT_EQ(testo.toStdString(), kTestoDiscoMancante);
    }
}

}  // namespace
}  // namespace bv
