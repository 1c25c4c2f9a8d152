// The window's controls, its state properties and the start-up sequence.
#include "app/frmmain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <initializer_list>
#include <optional>

#include "app/chiave_finestra.h"
#include "app/etichetta_percorso.h"
#include "app/lavoratore.h"
#include "app/frmpianifica.h"
#include "app/icona.h"
#include "operazioni/stato_avvio.h"
#include "platform/custodia_chiave.h"
#include "operazioni/backup.h"
#include "operazioni/destinazione_ritrovata.h"
#include "operazioni/elenco_set.h"
#include "operazioni/impostazioni_programma.h"
#include "operazioni/ripristino.h"
#include "operazioni/verifica_set.h"
#include "platform/codifica.h"
#include "resoconto/testi_ultimo_backup.h"
#include "operazioni/ultimo_backup.h"
#include "platform/data_ora.h"
#include "resoconto/testi_esito.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/istanza.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "util/errori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

// The icon's resource lives in a static library: it must be registered by name.
static void InizializzaRisorse() {
    Q_INIT_RESOURCE(icona);
}

namespace bv {

namespace {

// Whether two folder paths name the same folder (links resolved, final separators ignored).
bool StessaCartella(const std::string& a, const std::string& b) {
    const std::string ca = PercorsoCanonico(Spazi(a));
    return !ca.empty() && ca == PercorsoCanonico(Spazi(b));
}

constexpr const char* kDidascalia = "Modulo Backup per";
// The status bar while another copy works; the window shows what changed once it ends.
constexpr const char* kAltraOperazione =
    "Un'altra copia di BVBackup sta eseguendo un backup o un ripristino.";

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A job that failed because the key did not open the set.
bool ChiaveRifiutata(const Risultato& r) {
    return r.esito == Esito::Fallito && r.errore && r.errore->Numero() == errori::ChiaveErrata;
}

// The role of a line's date alone (the confirmation names it).
constexpr int kRuoloData = Qt::UserRole + 1;

// Fills ListBackup with the lines of the set list, each carrying its entry's index and its date,
// and selects the first. A damaged set is shown as such, greyed.
void PopolaListBox(QListWidget* lista, const std::vector<RigaInsieme>& righe,
                   const std::vector<DescrizioneSet>& descrizioni) {
    lista->clear();
    for (size_t i = 0; i < righe.size(); ++i) {
        const RigaInsieme& r = righe[i];
        auto* riga = new QListWidgetItem(
            QString::fromStdString(i < descrizioni.size() ? TestoRigaSet(r.testo, descrizioni[i])
                                                          : r.testo),
            lista);
        riga->setData(Qt::UserRole, r.indice);
        riga->setData(kRuoloData, QString::fromStdString(r.testo));
        if (i < descrizioni.size() && !descrizioni[i].danno.empty())
            riga->setForeground(lista->palette().brush(QPalette::Disabled, QPalette::Text));
    }
    if (lista->count() > 0) lista->setCurrentRow(0);
}

template <typename T>
T* Controllo(QWidget* genitore, const char* nome) {
    auto* c = new T(genitore);
    c->setObjectName(QString::fromLatin1(nome));
    return c;
}

QLabel* Etichetta(QWidget* genitore, const char* nome, const QString& testo,
                  bool grassetto = false) {
    auto* l = Controllo<QLabel>(genitore, nome);
    l->setText(testo);
    if (grassetto) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

// A text box with the button-face background: a value to read and copy, not to type in.
void SfondoPulsante(QLineEdit* t) {
    QPalette p = t->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    t->setPalette(p);
}

}  // namespace

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent) {
    InizializzaRisorse();
    lavoratore_ = std::make_unique<Lavoratore>(this);
    connect(lavoratore_.get(), &Lavoratore::Finito, this, [this] { ChiudiSeRinviato(); });
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QString::fromUtf8(kDidascalia));
    setWindowIcon(IconaProgramma());
    CreaControlli();
}

FrmMain::~FrmMain() {
    // The program ends only once the job running has stopped: asked to cancel, its questions
    // answered Cancel, it ends at its next safe point (a restore's exchange is finished).
    if (ganci_) ganci_->Annulla();
    lavoratore_.reset();
    // The boxes lose the focus as the window goes: the list of sets, gone by then, is not read.
    txtOrig_->disconnect(this);
    attesaOrigine_->stop();
}

void FrmMain::CreaControlli() {
    auto* centro = new QWidget(this);
    setCentralWidget(centro);
    auto* principale = new QVBoxLayout(centro);
    principale->addLayout(CreaIntestazione(centro));
    SSTab1_ = Controllo<QTabWidget>(centro, "SSTab1");
    principale->addWidget(SSTab1_, 1);
    CreaSchedaBackup();
    CreaSchedaRipristino();
    mnfile_ = menuBar()->addMenu(QStringLiteral("&File"));
    mnfile_->setObjectName(QStringLiteral("mnfile"));
    mnleggimi_ = mnfile_->addAction(QStringLiteral("&Leggimi"));
    mnleggimi_->setObjectName(QStringLiteral("mnleggimi"));
    mnpianifica_ = mnfile_->addAction(QStringLiteral("&Pianifica..."));
    mnpianifica_->setObjectName(QStringLiteral("mnpianifica"));
    mnpianifica_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    mnfile_->addSeparator();
    mnesci_ = mnfile_->addAction(QStringLiteral("&Esci"));
    mnesci_->setObjectName(QStringLiteral("mnesci"));
    // There from the start, empty: a message that appears later does not push the buttons up.
    statusBar()->setSizeGripEnabled(false);
    Collega();
    PreparaTastiera();
    resize(520, 440);
    setMinimumSize(minimumSizeHint());
}

QGridLayout* FrmMain::CreaIntestazione(QWidget* centro) {
    auto* intestazione = new QGridLayout();
    lbl_ = Etichetta(centro, "lbl", QStringLiteral("Cartella Applicazione:"));
    lblCartella_ = Controllo<EtichettaPercorso>(centro, "lblCartella");
    {
        QFont f = lblCartella_->font();
        f.setBold(true);
        lblCartella_->setFont(f);
    }
    Label2_ = Etichetta(centro, "Label2", QStringLiteral("Versione:"));
    lblVersione_ = Etichetta(centro, "lblVersione", QStringLiteral("N.D."), true);
    Label1_ = Etichetta(centro, "Label1", QStringLiteral("Cartella Bancadati:"));
    txtCartellaDati_ = Controllo<QLineEdit>(centro, "txtCartellaDati");
    txtCartellaDati_->setText(QStringLiteral("N.D."));
    txtCartellaDati_->setReadOnly(true);
    QFont grassetto = txtCartellaDati_->font();
    grassetto.setBold(true);
    txtCartellaDati_->setFont(grassetto);
    SfondoPulsante(txtCartellaDati_);
    intestazione->addWidget(lbl_, 0, 0);
    intestazione->addWidget(lblCartella_, 0, 1);
    intestazione->addWidget(Label2_, 1, 0);
    intestazione->addWidget(lblVersione_, 1, 1);
    intestazione->addWidget(Label1_, 2, 0);
    intestazione->addWidget(txtCartellaDati_, 2, 1);
    lblAvvio_ = Etichetta(centro, "lblAvvio", QString());
    lblAvvio_->setWordWrap(true);
    lblAvvio_->setVisible(false);
    intestazione->addWidget(lblAvvio_, 3, 0, 1, 2);
    lblUltimoBackup_ = Etichetta(centro, "lblUltimoBackup", QString());
    lblUltimoBackup_->setWordWrap(true);
    intestazione->addWidget(lblUltimoBackup_, 4, 0, 1, 2);
    intestazione->setColumnStretch(1, 1);
    return intestazione;
}

void FrmMain::CreaSchedaBackup() {
    frmBackup_ = Controllo<QFrame>(nullptr, "frmBackup");
    frmBackup_->setFrameShape(QFrame::NoFrame);
    auto* b = new QGridLayout(frmBackup_);
    OptDest1_ = Controllo<QRadioButton>(frmBackup_, "OptDest_1");
    OptDest1_->setText(QStringLiteral("&Seleziona destinazione"));
    OptDest0_ = Controllo<QRadioButton>(frmBackup_, "OptDest_0");
    OptDest0_->setText(QStringLiteral("Floppy &A"));
    OptDest1_->setChecked(true);
    txtDest_ = Controllo<QLineEdit>(frmBackup_, "txtDest");
    SfondoPulsante(txtDest_);
    cmdSfoglia_ = Controllo<QToolButton>(frmBackup_, "cmdSfoglia");
    cmdSfoglia_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    // The tool buttons show their icon; their text gives them a mnemonic (Alt+E, Alt+L, Alt+G:
    // letters no other command takes).
    cmdSfoglia_->setText(QStringLiteral("Sfoglia d&estinazione"));
    cmdSfoglia_->setToolTip(QStringLiteral("Seleziona destinazione (Alt+E)"));
    chkTest_ = Controllo<QCheckBox>(frmBackup_, "chkTest");
    chkTest_->setText(QStringLiteral("&Verifica dati"));
    chkTest_->setChecked(true);
    // Recovery data beside a set in a folder: a damaged block is rebuilt from it.
    lblRecupero_ = Etichetta(frmBackup_, "lblRecupero", QStringLiteral("Dati di rec&upero:"));
    spnRecupero_ = Controllo<QSpinBox>(frmBackup_, "spnRecupero");
    spnRecupero_->setRange(0, 100);
    spnRecupero_->setSuffix(QStringLiteral(" %"));
    spnRecupero_->setValue(10);
    spnRecupero_->setToolTip(QStringLiteral(
        "Dati aggiunti al backup in una cartella per ricostruire un blocco danneggiato "
        "(0 = nessuno)."));
    lblRecupero_->setBuddy(spnRecupero_);
    chkCifra_ = Controllo<QCheckBox>(frmBackup_, "chkCifra");
    chkCifra_->setText(QStringLiteral("&Cifra il backup"));
    lblCifra_ = Etichetta(frmBackup_, "lblCifra",
                          QStringLiteral("(AES-256: i nomi e le dimensioni dei file restano visibili)"));
    // Room by rule: the folder's older sets beyond N go once the new one is verified.
    lblConserva_ = Etichetta(frmBackup_, "lblConserva", QStringLiteral("Co&nserva gli ultimi"));
    spnConserva_ = Controllo<QSpinBox>(frmBackup_, "spnConserva");
    spnConserva_->setRange(0, 999);
    spnConserva_->setSuffix(QStringLiteral(" backup"));
    spnConserva_->setSpecialValueText(QStringLiteral("tutti i backup"));
    // Wide enough for its longest text wherever the style measures its arrows differently.
    spnConserva_->setMinimumWidth(spnConserva_->fontMetrics().horizontalAdvance(
                                      spnConserva_->specialValueText()) +
                                  spnConserva_->fontMetrics().averageCharWidth() * 6);
    spnConserva_->setToolTip(QStringLiteral(
        "Dopo un backup verificato in una cartella, rimuove i backup più vecchi oltre questo "
        "numero (mai sui dischi rimovibili)."));
    lblConserva_->setBuddy(spnConserva_);
    cmdBackup_ = Controllo<QPushButton>(frmBackup_, "cmdBackup");
    cmdBackup_->setText(QStringLiteral("&Inizia Backup"));
    cmdBackup_->setAutoDefault(true);  // Enter presses it when it has the focus
    Stato_ = Controllo<QProgressBar>(frmBackup_, "Stato");
    Stato_->setRange(0, 100);
    Stato_->setValue(0);
    Stato_->setVisible(false);
    lblMsg_ = Etichetta(frmBackup_, "lblMsg", QStringLiteral("Attendere..."));
    lblMsg_->setVisible(false);
    lblQuantita_ = Etichetta(frmBackup_, "lblQuantita", QString());
    lblQuantita_->setVisible(false);
    cmdAnnulla_ = Controllo<QPushButton>(frmBackup_, "cmdAnnulla");
    cmdAnnulla_->setText(QStringLiteral("Annulla"));
    cmdAnnulla_->setVisible(false);
    // The stick of the destination found under another letter: said under the folder it changed.
    lblDestRitrovata_ = Etichetta(frmBackup_, "lblDestRitrovata", QString());
    lblDestRitrovata_->setWordWrap(true);
    lblDestRitrovata_->setVisible(false);
    b->addWidget(OptDest1_, 0, 0, 1, 2);
    b->addWidget(txtDest_, 1, 0);
    b->addWidget(cmdSfoglia_, 1, 1);
    b->addWidget(lblDestRitrovata_, 2, 0, 1, 2);
    b->addWidget(OptDest0_, 3, 0, 1, 2);
    b->addWidget(chkTest_, 4, 0, 1, 2);
    auto* recupero = new QHBoxLayout();
    recupero->addWidget(lblRecupero_);
    recupero->addWidget(spnRecupero_);
    recupero->addSpacing(12);
    recupero->addWidget(lblConserva_);
    recupero->addWidget(spnConserva_);
    recupero->addStretch(1);
    auto* cifra = new QHBoxLayout();
    cifra->addWidget(chkCifra_);
    cifra->addWidget(lblCifra_);
    cifra->addStretch(1);
    auto* opzioni = new QVBoxLayout();
    opzioni->addLayout(recupero);
    opzioni->addLayout(cifra);
    opzioni->addStretch(1);
    b->addLayout(opzioni, 5, 0, 1, 2);
    b->setRowStretch(5, 1);
    b->addWidget(lblMsg_, 6, 0, 1, 2);
    b->addWidget(Stato_, 7, 0, 1, 2);
    b->addWidget(lblQuantita_, 8, 0, 1, 2);
    auto* pulsanti = new QHBoxLayout();
    pulsanti->addStretch(1);
    pulsanti->addWidget(cmdAnnulla_);
    pulsanti->addWidget(cmdBackup_);
    b->addLayout(pulsanti, 9, 0, 1, 2);
    SSTab1_->addTab(frmBackup_, QStringLiteral("&Backup"));
}

void FrmMain::CreaSchedaRipristino() {
    Frame1_ = Controllo<QFrame>(nullptr, "Frame1");
    Frame1_->setFrameShape(QFrame::NoFrame);
    auto* r = new QGridLayout(Frame1_);
    Label4_ = Etichetta(Frame1_, "Label4", QStringLiteral("&Origine:"));
    txtOrig_ = Controllo<QLineEdit>(Frame1_, "txtOrig");
    SfondoPulsante(txtOrig_);
    cmdSfogliaRip_ = Controllo<QToolButton>(Frame1_, "cmdSfogliaRip");
    cmdSfogliaRip_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    cmdSfogliaRip_->setText(QStringLiteral("Sfog&lia origine"));
    cmdSfogliaRip_->setToolTip(QStringLiteral("Seleziona origine (Alt+L)"));
    Label4_->setBuddy(txtOrig_);
    Label3_ = Etichetta(Frame1_, "Label3", QStringLiteral("Backup &disponibili:"));
    ListBackup_ = Controllo<QListWidget>(Frame1_, "ListBackup");
    Label3_->setBuddy(ListBackup_);
    lblNessunBackup_ = Etichetta(ListBackup_->viewport(), "lblNessunBackup",
                                 QStringLiteral("Nessun backup in questa cartella."));
    lblNessunBackup_->setEnabled(false);
    lblNessunBackup_->setVisible(false);
    (new QVBoxLayout(ListBackup_->viewport()))->addWidget(lblNessunBackup_, 0, Qt::AlignCenter);
    cmdRefresh_ = Controllo<QToolButton>(Frame1_, "cmdRefresh");
    cmdRefresh_->setText(QStringLiteral("A&ggiorna"));
    cmdRefresh_->setIcon(QIcon::fromTheme(QStringLiteral("view-refresh"),
                                          style()->standardIcon(QStyle::SP_BrowserReload)));
    cmdRefresh_->setToolTip(QStringLiteral("Aggiorna"));
    cmdVerifica_ = Controllo<QPushButton>(Frame1_, "cmdVerifica");
    cmdVerifica_->setText(QStringLiteral("&Verifica backup"));
    cmdVerifica_->setToolTip(QStringLiteral(
        "Controlla il backup selezionato senza ripristinarlo e, se serve, lo ripara con i suoi "
        "dati di recupero."));
    CmdRipristino_ = Controllo<QPushButton>(Frame1_, "CmdRipristino");
    // Alt+I starts the command of whichever tab is shown.
    CmdRipristino_->setText(QStringLiteral("&Inizia Ripristino"));
    CmdRipristino_->setAutoDefault(true);
    // What the restore is doing, as the backup tab shows it.
    lblMsgRipristino_ = Etichetta(Frame1_, "lblMsgRipristino", QString());
    lblMsgRipristino_->setVisible(false);
    StatoRipristino_ = Controllo<QProgressBar>(Frame1_, "StatoRipristino");
    StatoRipristino_->setRange(0, 100);
    StatoRipristino_->setVisible(false);
    lblQuantitaRipristino_ = Etichetta(Frame1_, "lblQuantitaRipristino", QString());
    lblQuantitaRipristino_->setVisible(false);
    cmdAnnullaRipristino_ = Controllo<QPushButton>(Frame1_, "cmdAnnullaRipristino");
    cmdAnnullaRipristino_->setText(QStringLiteral("Annulla"));
    cmdAnnullaRipristino_->setVisible(false);
    r->addWidget(Label4_, 0, 0, 1, 2);
    r->addWidget(txtOrig_, 1, 0);
    r->addWidget(cmdSfogliaRip_, 1, 1);
    r->addWidget(Label3_, 2, 0);
    r->addWidget(cmdRefresh_, 2, 1);
    r->addWidget(ListBackup_, 3, 0, 1, 2);
    r->addWidget(lblMsgRipristino_, 4, 0, 1, 2);
    r->addWidget(StatoRipristino_, 5, 0, 1, 2);
    r->addWidget(lblQuantitaRipristino_, 6, 0, 1, 2);
    auto* pulsanti = new QHBoxLayout();
    pulsanti->addStretch(1);
    pulsanti->addWidget(cmdAnnullaRipristino_);
    pulsanti->addWidget(cmdVerifica_);
    pulsanti->addWidget(CmdRipristino_);
    r->addLayout(pulsanti, 7, 0, 1, 2);
    SSTab1_->addTab(Frame1_, QStringLiteral("&Ripristino"));
}

void FrmMain::Collega() {
    connect(OptDest0_, &QRadioButton::clicked, this, [this] { OptDest_Click(); });
    connect(OptDest1_, &QRadioButton::clicked, this, [this] { OptDest_Click(); });
    connect(cmdSfoglia_, &QToolButton::clicked, this, [this] { cmdSfoglia_Click(); });
    // The line about the stick found elsewhere speaks of the folder shown: not of one typed since.
    connect(txtDest_, &QLineEdit::textEdited, lblDestRitrovata_, &QLabel::hide);
    connect(cmdSfogliaRip_, &QToolButton::clicked, this, [this] { cmdSfogliaRip_Click(); });
    connect(cmdRefresh_, &QToolButton::clicked, this, [this] { AggiornaElencoBackup(true); });
    connect(mnleggimi_, &QAction::triggered, this, [this] { mnleggimi_Click(); });
    connect(mnpianifica_, &QAction::triggered, this, [this] { mnpianifica_Click(); });
    connect(mnesci_, &QAction::triggered, this, [this] { close(); });
    connect(cmdBackup_, &QPushButton::clicked, this, [this] { cmdBackup_Click(); });
    connect(chkCifra_, &QCheckBox::clicked, this, [this](bool scelto) { chkCifra_Click(scelto); });
    connect(CmdRipristino_, &QPushButton::clicked, this, [this] { CmdRipristino_Click(); });
    connect(cmdVerifica_, &QPushButton::clicked, this, [this] { cmdVerifica_Click(false); });
    for (QPushButton* annulla : {cmdAnnulla_, cmdAnnullaRipristino_})
        connect(annulla, &QPushButton::clicked, this, [this] { cmdAnnulla_Click(); });
    txtDest_->installEventFilter(this);
    txtOrig_->installEventFilter(this);
    // The list follows the folder typed in "Origine": on Enter, when the focus leaves the box,
    // and a moment after the typing stops.
    attesaOrigine_ = new QTimer(this);
    attesaOrigine_->setObjectName(QStringLiteral("attesaOrigine"));
    attesaOrigine_->setSingleShot(true);
    attesaOrigine_->setInterval(700);
    connect(attesaOrigine_, &QTimer::timeout, this, [this] { AggiornaSeCambiata(); });
    connect(txtOrig_, &QLineEdit::textEdited, this, [this] { attesaOrigine_->start(); });
    // Enter or leaving the box reads the folder again even when its text is the same: a stick
    // plugged in late shows its sets.
    connect(txtOrig_, &QLineEdit::editingFinished, this, [this] { AggiornaElencoBackup(false); });
    // The long paths of the boxes in full in their tooltips, as the other path boxes show them.
    for (QLineEdit* casella : {txtDest_, txtOrig_}) {
        connect(casella, &QLineEdit::textChanged, casella,
                [casella](const QString& testo) { casella->setToolTip(testo); });
    }
    connect(SSTab1_, &QTabWidget::currentChanged, this, [this] { FuocoSullaScheda(); });
    // A second start asks this window to come to the front through a file in the program folder.
    osservatoreCartella_ = new QFileSystemWatcher(this);
    connect(osservatoreCartella_, &QFileSystemWatcher::directoryChanged, this,
            [this] { RispondiAllaChiamata(); });
    // The command line may run a backup while this window sits idle (a scheduled one).
    sorveglianzaOperazioni_ = new QTimer(this);
    sorveglianzaOperazioni_->setObjectName(QStringLiteral("sorveglianzaOperazioni"));
    sorveglianzaOperazioni_->setInterval(1000);
    connect(sorveglianzaOperazioni_, &QTimer::timeout, this, [this] { SorvegliaOperazioni(); });
}

void FrmMain::NonInstallato(bool valore) {
    avvio_.nonInstallato = valore;
    ImpostaControlli();
}

void FrmMain::DatiNonPresenti(bool valore) {
    avvio_.datiNonPresenti = valore;
    ImpostaControlli();
}

bool FrmMain::AlLavoro() const {
    return stato_ != Stato::Pronta || lavoratore_->InCorso() > 0;
}

void FrmMain::ImpostaControlli() {
    // While a job runs the window takes no command: its controls are disabled, the job's
    // "Annulla" is not. Idle, each command as the start state allows it.
    const bool libera = stato_ == Stato::Pronta;
    for (QWidget* w : std::initializer_list<QWidget*>{OptDest0_, OptDest1_, chkTest_, spnRecupero_, chkCifra_, spnConserva_, txtOrig_,
                                                      cmdSfogliaRip_, cmdRefresh_, ListBackup_})
        w->setEnabled(libera);
    txtDest_->setEnabled(libera && OptDest1_->isChecked());
    cmdSfoglia_->setEnabled(libera && OptDest1_->isChecked());
    cmdBackup_->setEnabled(libera && !avvio_.datiNonPresenti);
    CmdRipristino_->setEnabled(libera && !avvio_.nonInstallato);
    cmdVerifica_->setEnabled(libera);
    mnesci_->setEnabled(libera);
    mnpianifica_->setEnabled(libera);
    for (QPushButton* annulla : {cmdAnnulla_, cmdAnnullaRipristino_})
        annulla->setEnabled(stato_ == Stato::AlLavoro);
}

std::string FrmMain::CartellaTemp() const {
    return CartellaTempProgramma();
}

void FrmMain::Carica() {
    chiusuraRichiesta_ = false;
    stato_ = Stato::Avvio;
    ImpostaControlli();
    struct Esito {
        StatoAvvio s;
        bool libera = false;
        std::optional<Errore> errore;
        std::optional<DestinazioneRitrovata> destinazione;  // the stick under another letter
    };
    auto esito = std::make_shared<Esito>();
    Interazione& domande = lavoratore_->Domande();
    // On the worker: the start's repairs may wait on a slow stick.
    lavoratore_->Esegui(
        [esito, &domande] {
            try {
                // Another copy's running operation looks like an interrupted one: the start's
                // repairs wait for its end.
                BloccoOperazione operazione;
                esito->libera = operazione.Acquisisci();
                esito->s = CaricaAvvio(esito->libera, [&domande](const std::string& testo) {
                    domande.Messaggio(testo, "Ripristino", Icona::Informazione, Pulsanti::Ok);
                });
                esito->destinazione =
                    RitrovaDestinazione(esito->s.dest, VolumeRicordatoPer(esito->s.dest));
            } catch (...) {
                esito->errore = ErroreCorrente();
            }
        },
        [this, esito] {
            stato_ = Stato::Pronta;
            if (esito->errore) {
                ImpostaControlli();
                Utilita().PrintErrore(*esito->errore);
                chiusuraRichiesta_ = true;
                ChiudiSeRichiesto();
                return;
            }
            const StatoAvvio& s = esito->s;
            MostraStato(s);
            txtDest_->setText(Q(s.dest));
            if (esito->destinazione) MostraDestinazioneRitrovata(s.dest, *esito->destinazione);
            // The share of recovery data last chosen (10 % until one is).
            const std::string recupero =
                LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Recupero", "10");
            spnRecupero_->setValue(std::clamp(std::atoi(recupero.c_str()), 0, 100));
            // Encrypted backups once chosen, as long as the key is kept here.
            chkCifra_->setChecked(
                LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, kValoreCifra) == "1" &&
                !LeggiChiaveCustodita().empty());
            const std::string conserva =
                LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Conserva", "0");
            spnConserva_->setValue(std::clamp(std::atoi(conserva.c_str()), 0, 999));
            MostraUltimoBackup();
            // No origin chosen yet: the sets are most likely where the last backup went.
            txtOrig_->setText(Q(Spazi(s.orig).empty() ? s.dest : s.orig));
            setWindowTitle(QString::fromUtf8(kDidascalia) + QLatin1Char(' ') +
                           QLatin1String(kHost));
            AggiornaElencoBackup(false);
            OptDest_Click();
            FuocoSullaScheda();
            AscoltaChiamate();
            altraOperazione_ = !esito->libera;
            if (altraOperazione_) statusBar()->showMessage(QString::fromUtf8(kAltraOperazione));
            sorveglianzaOperazioni_->start();
        });
}

void FrmMain::MostraDestinazioneRitrovata(const std::string& ricordata, const DestinazioneRitrovata& d) {
    txtDest_->setText(Q(d.cartella));
    lblDestRitrovata_->setText(Q(TestoDestinazioneRitrovata(ricordata, d)));
    lblDestRitrovata_->setVisible(true);
}

void FrmMain::MostraUltimoBackup() {
    const TestoUltimoBackup t = DescriviUltimoBackup(LeggiUltimoBackup(), Adesso());
    QStringList righe;
    for (const std::string& r : t.righe) righe << Q(r);
    if (const auto p = BackupPianificato()) righe << Q(TestoPianificazione(*p));
    lblUltimoBackup_->setText(righe.join(QLatin1Char('\n')));
    lblUltimoBackup_->setStyleSheet(t.allarme ? QStringLiteral("color: #c00000;") : QString());
    lblUltimoBackup_->setProperty("allarme", t.allarme);
}

void FrmMain::MostraStato(const StatoAvvio& s) {
    // A start state the buttons alone would not explain.
    QString avvio;
    if (s.nonInstallato) {
        avvio = QStringLiteral("Brelvano non risulta installato su questo computer: installarlo "
                               "(o ripararne l'installazione) e riavviare BVBackup.");
    } else if (Spazi(s.percorsoDati).empty()) {
        avvio = QStringLiteral("La cartella dei dati non è impostata in Brelvano: indicarla "
                               "nelle impostazioni di Brelvano e riavviare BVBackup. Si può "
                               "comunque ripristinare un backup.");
    } else if (!Fs().Info(s.percorsoDati).esiste) {
        avvio = QStringLiteral("La cartella dei dati indicata in Brelvano, %1, non esiste: "
                               "collegare l'unità che la contiene o correggere il percorso in "
                               "Brelvano.")
                    .arg(Q(PercorsoPerMessaggio(s.percorsoDati)));
    }
    lblAvvio_->setText(avvio);
    lblAvvio_->setVisible(!avvio.isEmpty());
    // The boxes keep what the user typed: only the start's findings are taken.
    const std::string dest = avvio_.dest;
    const std::string orig = avvio_.orig;
    avvio_ = s;
    avvio_.dest = dest;
    avvio_.orig = orig;
    ImpostaControlli();
    lblCartella_->ImpostaTesto(s.nonInstallato ? QStringLiteral("Non installato")
                                               : Q(s.cartellaInstallazione));
    if (!s.nonInstallato) {
        lblVersione_->setText(Q(s.versione));
        txtCartellaDati_->setText(Q(s.percorsoDati));
        txtCartellaDati_->setToolTip(Q(s.percorsoDati));
    }
}

bool FrmMain::PrendiOperazione() {
    auto blocco = std::make_unique<BloccoOperazione>();
    try {
        if (!blocco->Acquisisci()) {
            Utilita().PrintErrore(ErroreOperazioneInCorso());
            return false;
        }
    } catch (const Errore& e) {
        Utilita().PrintErrore(e);
        return false;
    }
    // Another copy's operation ended a moment ago: its traces are seen to first (a job the
    // worker runs before this command's).
    operazione_ = std::move(blocco);
    if (altraOperazione_) DopoAltraOperazione(true);
    return true;
}

void FrmMain::SorvegliaOperazioni() {
    // Our own command holds the lock (a second open of it is refused even in this process).
    if (operazione_ || stato_ != Stato::Pronta || lavoratore_->InCorso() > 0) return;
    auto blocco = std::make_unique<BloccoOperazione>();
    try {
        if (!blocco->Acquisisci()) {
            if (!altraOperazione_) statusBar()->showMessage(QString::fromUtf8(kAltraOperazione));
            altraOperazione_ = true;
            return;
        }
    } catch (const Errore&) {  // no lock can be had: the commands say why
        return;
    }
    if (!altraOperazione_) return;
    blocco.reset();
    DopoAltraOperazione(false);
}

void FrmMain::DopoAltraOperazione(bool bloccoPreso) {
    altraOperazione_ = false;
    statusBar()->clearMessage();
    // On the worker, under the lock: a restore of the command line may have made the data
    // folder; a copy killed midway left what the start repairs.
    struct Esito {
        StatoAvvio s;
        std::optional<Errore> errore;
    };
    auto esito = std::make_shared<Esito>();
    Interazione& domande = lavoratore_->Domande();
    lavoratore_->Esegui(
        [esito, &domande, bloccoPreso] {
            try {
                BloccoOperazione operazione;
                const bool libera = bloccoPreso || operazione.Acquisisci();
                esito->s = CaricaAvvio(libera, [&domande](const std::string& t) {
                    domande.Messaggio(t, "Ripristino", Icona::Informazione, Pulsanti::Ok);
                });
            } catch (...) {
                esito->errore = ErroreCorrente();
            }
        },
        [this, esito] {
            if (esito->errore) {
                Utilita().PrintErrore(*esito->errore);
                return;
            }
            MostraStato(esito->s);
            AggiornaElencoBackup(false);
        });
}

void FrmMain::OptDest_Click() {
    const bool cartella = OptDest1_->isChecked();
    txtDest_->setEnabled(cartella);
    cmdSfoglia_->setEnabled(cartella);
}

ClsInsieme& FrmMain::ElencoBackup() {
    if (!elencoBackup_) elencoBackup_ = std::make_unique<ClsInsieme>();
    return *elencoBackup_;
}

void FrmMain::AggiornaSeCambiata() {
    attesaOrigine_->stop();
    if (!StessaCartella(cartellaElenco_, txtOrig_->text().toStdString()) ||
        Spazi(txtOrig_->text().toStdString()).empty() != cartellaElenco_.empty()) {
        AggiornaElencoBackup(false);
    }
}

void FrmMain::AscoltaChiamate() {
    const QString cartella = QString::fromStdString(CartellaProgramma());
    if (!cartella.isEmpty() && !osservatoreCartella_->directories().contains(cartella))
        osservatoreCartella_->addPath(cartella);
    RispondiAllaChiamata();
}

void FrmMain::RispondiAllaChiamata() {
    const std::string chiamata = PercorsoChiamataIstanza();
    if (!Fs().Info(chiamata).esiste) return;
    try {
        Fs().Rimuovi(chiamata);
    } catch (const Errore&) {
    }
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void FrmMain::PreparaTastiera() {
    // Enter presses a focused tool button as it presses the other buttons.
    for (QToolButton* t : {cmdSfoglia_, cmdSfogliaRip_, cmdRefresh_}) {
        t->setToolButtonStyle(Qt::ToolButtonIconOnly);
        t->installEventFilter(this);
    }
    // The order of the screen: top to bottom, left to right.
    setTabOrder(OptDest1_, txtDest_);
    setTabOrder(txtDest_, cmdSfoglia_);
    setTabOrder(cmdSfoglia_, OptDest0_);
    setTabOrder(OptDest0_, chkTest_);
    setTabOrder(chkTest_, spnRecupero_);
    setTabOrder(spnRecupero_, spnConserva_);
    setTabOrder(spnConserva_, chkCifra_);
    setTabOrder(chkCifra_, cmdBackup_);
    setTabOrder(txtOrig_, cmdSfogliaRip_);
    setTabOrder(cmdSfogliaRip_, cmdRefresh_);
    setTabOrder(cmdRefresh_, ListBackup_);
    setTabOrder(ListBackup_, cmdVerifica_);
    setTabOrder(cmdVerifica_, CmdRipristino_);
    txtCartellaDati_->setFocusPolicy(Qt::ClickFocus);  // read only: nothing to type there
    // The list with the focus shows where it is: its current set, highlighted.
    ListBackup_->installEventFilter(this);
}

void FrmMain::FuocoSullaScheda() {
    QWidget* primo = SSTab1_->currentWidget() == frmBackup_
                         ? (cmdBackup_->isEnabled() ? static_cast<QWidget*>(cmdBackup_) : OptDest1_)
                         : (CmdRipristino_->isEnabled() ? static_cast<QWidget*>(CmdRipristino_)
                                                         : txtOrig_);
    primo->setFocus(Qt::TabFocusReason);
}

void FrmMain::AggiornaElencoBackup(bool mostraErrori) {
    if (attesaOrigine_ != nullptr) attesaOrigine_->stop();
    std::string origine = Spazi(txtOrig_->text().toStdString());
    // Read on the worker (a slow stick, a network folder); only the latest reading is shown.
    // Until it comes the list shows the folder it was read from: a restore never takes a set
    // of the list for another folder's.
    const int generazione = ++generazioneElenco_;
    if (origine.empty()) {
        lblNessunBackup_->setVisible(false);
        ListBackup_->clear();
        ElencoBackup().Clear();
        cartellaElenco_.clear();
        return;
    }
    origine = Utilita().AggiungiSepDir(origine);
    txtOrig_->setText(Q(origine));
    struct Lettura {
        std::unique_ptr<ClsInsieme> elenco = std::make_unique<ClsInsieme>();
        std::vector<RigaInsieme> righe;
        std::vector<DescrizioneSet> descrizioni;
        std::optional<Errore> errore;
    };
    auto lettura = std::make_shared<Lettura>();
    lblNessunBackup_->setVisible(false);
    lavoratore_->Esegui(
        [lettura, origine] {
            try {
                lettura->elenco->GetFilenames(origine, kModelloSet);
                lettura->righe = lettura->elenco->Righe(kMascheraSet, 3);
                lettura->descrizioni = DescriviSet(origine, *lettura->elenco, lettura->righe);
            } catch (...) {
                lettura->errore = ErroreCorrente();
            }
        },
        [this, lettura, generazione, mostraErrori, origine] {
            if (generazione != generazioneElenco_) return;
            ListBackup_->clear();
            ElencoBackup().Clear();
            cartellaElenco_ = origine;
            if (lettura->errore) {
                if (mostraErrori) Utilita().PrintErrore(*lettura->errore);
                return;
            }
            elencoBackup_ = std::move(lettura->elenco);
            PopolaListBox(ListBackup_, lettura->righe, lettura->descrizioni);
            // A folder without sets says so in the list's place, not with a blank box.
            lblNessunBackup_->setVisible(ListBackup_->count() == 0);
        });
}

std::string FrmMain::PartenzaSfoglia(const QLineEdit* casella) const {
    const QLineEdit* altra = casella == txtDest_ ? txtOrig_ : txtDest_;
    for (const QLineEdit* c : {casella, altra})
        if (!Spazi(c->text().toStdString()).empty()) return c->text().toStdString();
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

namespace {
// A chosen folder as the system writes it ("C:\backup\", not "C:/backup\"), with its separator.
QString CartellaScelta(const std::string& p) {
    std::string nativa = QDir::toNativeSeparators(Q(p)).toStdString();
    return Q(Utilita().AggiungiSepDir(nativa));
}
}  // namespace

void FrmMain::cmdSfoglia_Click() {
    std::string p =
        Spazi(Utilita().Sfoglia_Cartella("Seleziona destinazione", PartenzaSfoglia(txtDest_)));
    if (p.empty()) return;
    txtDest_->setText(CartellaScelta(p));
}

void FrmMain::cmdSfogliaRip_Click() {
    std::string p =
        Spazi(Utilita().Sfoglia_Cartella("Seleziona origine", PartenzaSfoglia(txtOrig_)));
    if (p.empty()) return;
    txtOrig_->setText(CartellaScelta(p));
    AggiornaElencoBackup(true);
}

void FrmMain::mnleggimi_Click() {
    try {
        std::string cartella = CartellaProgramma();
        Utilita().EseguiEx(Utilita().AggiungiSepDir(cartella) + "leggimi.htm", true);
    } catch (...) {  // the readme is a convenience: nothing to report
    }
}

void FrmMain::mnpianifica_Click() {
    if (stato_ != Stato::Pronta) return;
    RichiestaPianificata r;
    const std::string scritta = Spazi(txtDest_->text().toStdString());
    r.destinazione = OptDest0_->isChecked() || scritta.empty() ? std::string() : PercorsoAssoluto(scritta);
    r.verifica = chkTest_->isChecked();
    r.conserva = spnConserva_->value();
    // Shown without a loop of its own: the window keeps answering, the choice comes back here.
    auto* dialogo = new FrmPianifica(this, r, BackupPianificato());
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialogo, &QDialog::accepted, this, [this, dialogo] {
        const FrmPianifica::Scelta scelta = dialogo->scelta();
        const PianificazioneBackup p = dialogo->pianificazione();
        auto errore = std::make_shared<std::optional<Errore>>();
        lavoratore_->Esegui(
            [scelta, p, errore] {
                try {
                    if (scelta == FrmPianifica::Scelta::Pianifica) PianificaBackup(p);
                    if (scelta == FrmPianifica::Scelta::Rimuovi) RimuoviBackupPianificato();
                } catch (const Errore& e) {
                    *errore = e;
                }
            },
            [this, errore] {
                MostraUltimoBackup();
                if (*errore) Utilita().PrintErrore(**errore);
            });
    });
    dialogo->open();
}

// The window's hooks for the job running: its status, bar and "120 MB di 300 MB, circa 2 minuti"
// queued to the window's thread in the order told; its questions through the worker.
class GanciFinestra final : public GanciOperazione {
  public:
    GanciFinestra(FrmMain* f, QLabel* messaggio, QProgressBar* barra, QLabel* quantita,
                  Interazione& domande)
        : f_(f), messaggio_(messaggio), barra_(barra), quantita_(quantita), domande_(domande) {}

    void Messaggio(const std::string& testo) override {
        quantitaTesto_.clear();
        NellaFinestra(f_, [l = messaggio_, b = barra_, q = quantita_, t = Q(testo)] {
            l->setText(t);
            q->clear();
            l->setVisible(true);
            b->setVisible(true);
        });
    }
    void Avanzamento(double valore) override {
        const int v = static_cast<int>(std::clamp(valore, 0.0, 100.0));
        resto_ = stima_.Rimanente(
            valore, std::chrono::duration<double>(std::chrono::steady_clock::now() - inizio_).count());
        NellaFinestra(f_, [b = barra_, v] { b->setValue(v); });
        MostraQuantita();
    }
    void Quantita(uint64_t fatti, uint64_t totale) override {
        if (totale == 0) return;
        quantitaTesto_ = DimensioneLeggibile(fatti) + " di " + DimensioneLeggibile(totale);
    }
    void DatiCreati(const std::string& percorsoDati) override {
        NellaFinestra(f_, [f = f_, percorsoDati] { f->DatiCreati(percorsoDati); });
    }
    Interazione& Domande() override { return domande_; }

  private:
    void MostraQuantita() {
        std::string t = quantitaTesto_;
        if (!resto_.empty()) t += (t.empty() ? "" : ", ") + resto_;
        if (t == mostrata_) return;
        mostrata_ = t;
        NellaFinestra(f_, [q = quantita_, t = Q(t)] { q->setText(t); });
    }

    FrmMain* f_;
    QLabel* messaggio_;
    QProgressBar* barra_;
    QLabel* quantita_;
    Interazione& domande_;
    const std::chrono::steady_clock::time_point inizio_ = std::chrono::steady_clock::now();
    StimaTempo stima_;
    std::string quantitaTesto_;
    std::string resto_;
    std::string mostrata_;
};

void FrmMain::DatiCreati(const std::string& percorsoDati) {
    avvio_.percorsoDati = percorsoDati;
    avvio_.datiNonPresenti = false;
    txtCartellaDati_->setText(Q(percorsoDati));
}

void FrmMain::IniziaLavoro(QLabel* messaggio, QProgressBar* barra, QLabel* quantita,
                           QPushButton* annulla) {
    stato_ = Stato::AlLavoro;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    messaggio->setText(QStringLiteral("Attendere..."));
    barra->setValue(0);
    quantita->clear();
    for (QWidget* w : std::initializer_list<QWidget*>{messaggio, barra, quantita, annulla})
        w->setVisible(true);
    ImpostaControlli();
    annulla->setFocus();
    ganci_ = std::make_shared<GanciFinestra>(this, messaggio, barra, quantita,
                                             lavoratore_->Domande());
}

void FrmMain::FineLavoro() {
    // The work is done: the operation lock goes before the final notice, which may stay
    // unanswered for hours while a scheduled backup waits for the lock.
    operazione_.reset();
    ganci_.reset();
    QApplication::restoreOverrideCursor();
    for (QPushButton* annulla : {cmdAnnulla_, cmdAnnullaRipristino_}) {
        annulla->setEnabled(false);
        annulla->setVisible(false);
    }
}

void FrmMain::FineComando(QWidget* stato) {
    // The status stays shown with the final notice; then the window is idle again.
    for (QWidget* w : {stato, static_cast<QWidget*>(lblQuantita_),
                       static_cast<QWidget*>(lblQuantitaRipristino_)})
        w->setVisible(false);
    lblMsg_->setVisible(false);
    Stato_->setVisible(false);
    lblMsgRipristino_->setVisible(false);
    StatoRipristino_->setVisible(false);
    stato_ = Stato::Pronta;
    ImpostaControlli();
}

void FrmMain::MostraRisultato(const Risultato& r, const char* titolo) {
    Interazione& i = InterazioneCorrente();
    switch (r.esito) {
        case Esito::Completato:
            i.Messaggio(TestoCompleto(r), titolo, Icona::Informazione, Pulsanti::Ok);
            // What the set leaves out (hidden files, sub-folders): after the success.
            if (!r.avvisi.empty()) {
                std::string testo;
                for (const std::string& a : r.avvisi) testo += (testo.empty() ? "" : "\n\n") + a;
                i.Messaggio(testo, titolo, Icona::Avviso, Pulsanti::Ok);
            }
            break;
        case Esito::Annullato:
            i.Messaggio(TestoCompleto(r), titolo, Icona::Informazione, Pulsanti::Ok);
            break;
        case Esito::Rinunciato:
            break;
        case Esito::Fallito:
            if (r.errore) Utilita().PrintErrore(*r.errore);
            break;
    }
}

void FrmMain::cmdAnnulla_Click() {
    if (stato_ != Stato::AlLavoro || !ganci_) return;
    ganci_->Annulla();
    stato_ = Stato::Annullamento;
    ImpostaControlli();
    for (QLabel* l : {lblMsg_, lblMsgRipristino_})
        if (l->isVisible()) l->setText(QStringLiteral("Annullamento in corso..."));
}

void FrmMain::cmdBackup_Click() {
    if (stato_ != Stato::Pronta || !PrendiOperazione()) return;
    RichiestaBackup r = RichiestaBackup::DaAvvio(avvio_);
    r.floppy = OptDest0_->isChecked();
    // A relative folder is the program's current folder's, as the user sees it now.
    const std::string scritta = Spazi(txtDest_->text().toStdString());
    r.destinazione = scritta.empty() ? scritta : PercorsoAssoluto(scritta);
    r.verifica = chkTest_->isChecked();
    r.chiediPrimaDiSostituire = true;
    r.percentualeRecupero = spnRecupero_->value();
    if (chkCifra_->isChecked()) {
        r.chiave = LeggiChiaveCustodita();
        if (r.chiave.empty()) {  // the kept key went since the start: set up again
            operazione_.reset();
            chkCifra_->setChecked(false);
            Utilita().PrintErrore(errori::Crea(errori::ChiaveMancante));
            return;
        }
    }
    r.conserva = spnConserva_->value();
    try {
        SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Recupero",
                          std::to_string(spnRecupero_->value()));
        SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Conserva",
                          std::to_string(spnConserva_->value()));
    } catch (const Errore& e) {  // the backup runs all the same; the next start shows 10 %
        Utilita().ScriviLog("Impostazione Recupero non salvata: " + e.Dettaglio());
    }
    IniziaLavoro(lblMsg_, Stato_, lblQuantita_, cmdAnnulla_);
    auto ganci = ganci_;
    auto risultato = std::make_shared<Risultato>();
    lavoratore_->Esegui([r, ganci, risultato] { *risultato = EseguiERegistraBackup(r, *ganci); },
                        [this, r, risultato] {
                            FineLavoro();
                            MostraUltimoBackup();
                            // The job found the stick under another letter: the box follows it.
                            if (!r.floppy && !risultato->backup.cartella.empty() &&
                                !StessaCartella(risultato->backup.cartella, r.destinazione)) {
                                txtDest_->setText(Q(risultato->backup.cartella));
                            }
                            MostraRisultato(*risultato, "Backup");
                            FineComando(lblMsg_);
                            cmdBackup_->setFocus();
                            // A new set in the folder the restore tab lists: shown there at once.
                            const std::string destinazione =
                                r.floppy ? CartellaFloppy() : r.destinazione;
                            if (risultato->Riuscito() &&
                                StessaCartella(destinazione, txtOrig_->text().toStdString()))
                                AggiornaElencoBackup(false);
                            ChiudiSeRinviato();
                        });
}

void FrmMain::chkCifra_Click(bool scelto) {
    if (scelto && LeggiChiaveCustodita().empty()) {
        const std::string k = ImpostaNuovaChiave(InterazioneCorrente());
        try {
            if (!k.empty()) CustodisciChiave(k);
        } catch (const Errore& e) {
            Utilita().PrintErrore(e);
            chkCifra_->setChecked(false);
            return;
        }
        if (k.empty()) {
            chkCifra_->setChecked(false);
            return;
        }
    }
    try {
        SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, kValoreCifra, scelto ? "1" : "0");
    } catch (const Errore& e) {
        Utilita().ScriviLog("Impostazione Cifra non salvata: " + e.Dettaglio());
    }
}

std::string FrmMain::ChiaveDaUsare() const {
    return chiaveDigitata_.empty() ? LeggiChiaveCustodita() : chiaveDigitata_;
}

void FrmMain::cmdVerifica_Click(bool ripara) {
    if (stato_ != Stato::Pronta) return;
    if (!StessaCartella(cartellaElenco_, txtOrig_->text().toStdString())) {
        AggiornaElencoBackup(true);
        ListBackup_->setFocus();
        return;
    }
    RichiestaVerifica r;
    r.origine = cartellaElenco_;
    r.ripara = ripara;
    r.cartellaTemp = CartellaTemp();
    r.chiave = ChiaveDaUsare();
    if (QListWidgetItem* riga = ListBackup_->currentItem(); riga != nullptr && riga->isSelected()) {
        const int indice = riga->data(Qt::UserRole).toInt();
        if (indice >= 1 && indice <= ElencoBackup().Count()) r.nomeSet = ElencoBackup().GetItem(indice);
    }
    if (r.nomeSet.empty()) {
        Utilita().PrintErrore(errori::Crea(errori::SelezionareUnBackup));
        return;
    }
    // A repair writes into the folder: under the operation lock, as a backup.
    if (!PrendiOperazione()) return;
    IniziaLavoro(lblMsgRipristino_, StatoRipristino_, lblQuantitaRipristino_,
                 cmdAnnullaRipristino_);
    auto ganci = ganci_;
    auto risultato = std::make_shared<Risultato>();
    lavoratore_->Esegui([r, ganci, risultato] { *risultato = EseguiVerifica(r, *ganci); },
                        [this, risultato, ripara] {
                            FineLavoro();
                            const Risultato& ris = *risultato;
                            MostraRisultato(ris, "Verifica");
                            FineComando(lblMsgRipristino_);
                            cmdVerifica_->setFocus();
                            if (ChiaveRifiutata(ris)) {
                                chiaveDigitata_ = ChiediChiaveDelSet(InterazioneCorrente());
                                if (!chiaveDigitata_.empty()) {
                                    cmdVerifica_Click(ripara);
                                    return;
                                }
                            }
                            // Damaged but repairable: the repair is offered at once.
                            if (ris.Riuscito() && ris.verifica.stato == StatoSet::Riparabile &&
                                InterazioneCorrente().Messaggio(
                                    "Riparare ora il backup con i suoi dati di recupero? I "
                                    "blocchi danneggiati saranno riscritti nella cartella.",
                                    "Verifica", Icona::Domanda, Pulsanti::SiNo) == Risposta::Si) {
                                cmdVerifica_Click(true);
                                return;
                            }
                            AggiornaElencoBackup(false);
                            ChiudiSeRinviato();
                        });
}

void FrmMain::CmdRipristino_Click() {
    if (stato_ != Stato::Pronta) return;
    // The list shows another folder's sets (the box was changed since): it is read again, and
    // the user chooses among the sets of the folder now shown.
    if (!StessaCartella(cartellaElenco_, txtOrig_->text().toStdString())) {
        AggiornaElencoBackup(true);
        ListBackup_->setFocus();
        return;
    }
    if (!PrendiOperazione()) return;
    RichiestaRipristino r = RichiestaRipristino::DaAvvio(avvio_);
    r.chiave = ChiaveDaUsare();
    // A relative folder is the program's current folder's, as the list read it.
    const std::string scritta = Spazi(txtOrig_->text().toStdString());
    r.origine = scritta.empty() ? scritta : PercorsoAssoluto(scritta);
    // The line's item data is the entry of its set in the list read.
    if (QListWidgetItem* riga = ListBackup_->currentItem(); riga != nullptr && riga->isSelected()) {
        const int indice = riga->data(Qt::UserRole).toInt();
        if (indice >= 1 && indice <= ElencoBackup().Count()) {
            r.nomeSet = ElencoBackup().GetItem(indice);
            r.dataSet = riga->data(kRuoloData).toString().toStdString();
        }
    }
    IniziaLavoro(lblMsgRipristino_, StatoRipristino_, lblQuantitaRipristino_,
                 cmdAnnullaRipristino_);
    // The status shows once the user has confirmed: the question comes first.
    lblMsgRipristino_->clear();
    for (QWidget* w : std::initializer_list<QWidget*>{lblMsgRipristino_, StatoRipristino_})
        w->setVisible(false);
    auto ganci = ganci_;
    auto risultato = std::make_shared<Risultato>();
    lavoratore_->Esegui(
        [r, ganci, risultato] { *risultato = EseguiRipristino(r, *ganci); },
        [this, risultato] {
            FineLavoro();
            MostraRisultato(*risultato, "Ripristino");
            FineComando(lblMsgRipristino_);
            CmdRipristino_->setFocus();
            // A set made with another key (on another computer): asked, and the restore again.
            if (ChiaveRifiutata(*risultato)) {
                chiaveDigitata_ = ChiediChiaveDelSet(InterazioneCorrente());
                if (!chiaveDigitata_.empty()) {
                    CmdRipristino_Click();
                    return;
                }
            }
            ChiudiSeRinviato();
        });
}

void FrmMain::ChiudiSeRinviato() {
    if (!chiusuraRinviata_ || stato_ != Stato::Pronta || lavoratore_->InCorso() > 0) return;
    chiusuraRinviata_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
}

void FrmMain::closeEvent(QCloseEvent* evento) {
    if (stato_ == Stato::AlLavoro || stato_ == Stato::Annullamento || lavoratore_->InCorso() > 0) {
        // A command is running: stopping it midway could leave a set or the data half done.
        evento->ignore();
        chiusuraRinviata_ = true;
        statusBar()->showMessage(QStringLiteral(
            "Operazione in corso: la finestra si chiuderà al termine dell'operazione."));
        return;
    }
    QMainWindow::closeEvent(evento);
}

bool FrmMain::eventFilter(QObject* oggetto, QEvent* evento) {
    if (evento->type() == QEvent::FocusIn && oggetto == ListBackup_ &&
        ListBackup_->currentRow() < 0 && ListBackup_->count() > 0) {
        ListBackup_->setCurrentRow(0);
    }
    if (evento->type() == QEvent::KeyPress) {
        auto* tasto = static_cast<QKeyEvent*>(evento);
        auto* pulsante = qobject_cast<QToolButton*>(oggetto);
        if (pulsante != nullptr && pulsante->isEnabled() &&
            (tasto->key() == Qt::Key_Return || tasto->key() == Qt::Key_Enter)) {
            pulsante->click();
            return true;
        }
    }
    if (evento->type() == QEvent::MouseButtonDblClick && stato_ == Stato::Pronta) {
        if (oggetto == txtDest_ && cmdSfoglia_->isEnabled()) cmdSfoglia_Click();
        if (oggetto == txtOrig_ && cmdSfogliaRip_->isEnabled()) cmdSfogliaRip_Click();
    }
    return QMainWindow::eventFilter(oggetto, evento);
}

void FrmMain::ChiudiSeRichiesto() {
    if (chiusuraRichiesta_) close();
}

void FrmMain::changeEvent(QEvent* evento) {
    QMainWindow::changeEvent(evento);
    if (evento->type() == QEvent::ActivationChange && isActiveWindow()) ChiudiSeRichiesto();
}

void FrmMain::showEvent(QShowEvent* evento) {
    QMainWindow::showEvent(evento);
    // Without a window manager a window may never be activated: close it all the same.
    if (chiusuraRichiesta_) QTimer::singleShot(0, this, [this] { ChiudiSeRichiesto(); });
}

}  // namespace bv
