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
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/etichetta_percorso.h"
#include "app/filiera.h"
#include "app/icona.h"
#include "operazioni/avvio.h"
#include "operazioni/backup.h"
#include "operazioni/programma.h"
#include "operazioni/ripristino.h"
#include "platform/codifica.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/istanza.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
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

// Fills ListBackup with the lines of the set list, each carrying its entry's index, and
// selects the first.
void PopolaListBox(QListWidget* lista, const ClsInsieme& insieme) {
    lista->clear();
    for (const RigaInsieme& r : insieme.Righe(kMascheraSet, 3)) {
        auto* riga = new QListWidgetItem(QString::fromStdString(r.testo), lista);
        riga->setData(Qt::UserRole, r.indice);
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
    setObjectName(QStringLiteral("FrmMain"));
    setWindowTitle(QString::fromUtf8(kDidascalia));
    setWindowIcon(IconaProgramma());
    CreaControlli();
}

FrmMain::~FrmMain() {
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
    cmdBackup_ = Controllo<QPushButton>(frmBackup_, "cmdBackup");
    cmdBackup_->setText(QStringLiteral("&Inizia Backup"));
    cmdBackup_->setAutoDefault(true);  // Enter presses it when it has the focus
    Stato_ = Controllo<QProgressBar>(frmBackup_, "Stato");
    Stato_->setRange(0, 100);
    Stato_->setValue(0);
    Stato_->setVisible(false);
    lblMsg_ = Etichetta(frmBackup_, "lblMsg", QStringLiteral("Attendere..."));
    lblMsg_->setVisible(false);
    b->addWidget(OptDest1_, 0, 0, 1, 2);
    b->addWidget(txtDest_, 1, 0);
    b->addWidget(cmdSfoglia_, 1, 1);
    b->addWidget(OptDest0_, 2, 0, 1, 2);
    b->addWidget(chkTest_, 3, 0, 1, 2);
    b->setRowStretch(4, 1);
    b->addWidget(lblMsg_, 5, 0, 1, 2);
    b->addWidget(Stato_, 6, 0, 1, 2);
    b->addWidget(cmdBackup_, 7, 0, 1, 2, Qt::AlignRight);
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
    cmdRefresh_ = Controllo<QToolButton>(Frame1_, "cmdRefresh");
    cmdRefresh_->setText(QStringLiteral("A&ggiorna"));
    cmdRefresh_->setIcon(QIcon::fromTheme(QStringLiteral("view-refresh"),
                                          style()->standardIcon(QStyle::SP_BrowserReload)));
    cmdRefresh_->setToolTip(QStringLiteral("Aggiorna"));
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
    r->addWidget(Label4_, 0, 0, 1, 2);
    r->addWidget(txtOrig_, 1, 0);
    r->addWidget(cmdSfogliaRip_, 1, 1);
    r->addWidget(Label3_, 2, 0);
    r->addWidget(cmdRefresh_, 2, 1);
    r->addWidget(ListBackup_, 3, 0, 1, 2);
    r->addWidget(lblMsgRipristino_, 4, 0, 1, 2);
    r->addWidget(StatoRipristino_, 5, 0, 1, 2);
    r->addWidget(CmdRipristino_, 6, 0, 1, 2, Qt::AlignRight);
    SSTab1_->addTab(Frame1_, QStringLiteral("&Ripristino"));
}

void FrmMain::Collega() {
    connect(OptDest0_, &QRadioButton::clicked, this, [this] { OptDest_Click(); });
    connect(OptDest1_, &QRadioButton::clicked, this, [this] { OptDest_Click(); });
    connect(cmdSfoglia_, &QToolButton::clicked, this, [this] { cmdSfoglia_Click(); });
    connect(cmdSfogliaRip_, &QToolButton::clicked, this, [this] { cmdSfogliaRip_Click(); });
    connect(cmdRefresh_, &QToolButton::clicked, this, [this] { AggiornaElencoBackup(true); });
    connect(mnleggimi_, &QAction::triggered, this, [this] { mnleggimi_Click(); });
    connect(mnesci_, &QAction::triggered, this, [this] { close(); });
    connect(cmdBackup_, &QPushButton::clicked, this, [this] { cmdBackup_Click(); });
    connect(CmdRipristino_, &QPushButton::clicked, this, [this] { CmdRipristino_Click(); });
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
    nonInstallato_ = valore;
    CmdRipristino_->setEnabled(!valore);
}

void FrmMain::DatiNonPresenti(bool valore) {
    datiNonPresenti_ = valore;
    cmdBackup_->setEnabled(!valore);
}

void FrmMain::VisibileStato(bool visibile) {
    lblMsg_->setVisible(visibile);
    Stato_->setValue(visibile ? Stato_->minimum() : Stato_->maximum());
    Stato_->setVisible(visibile);
    Stato_->repaint();
    cmdBackup_->setEnabled(!visibile);
    repaint();
}

std::string FrmMain::CartellaTemp() const {
    return CartellaTempProgramma();
}

std::string FrmMain::CartellaInstallazione() const {
    return CartellaInstallazioneHost();
}

void FrmMain::PreparaCartellaTemp() {
    bv::PreparaCartellaTemp();
}

void FrmMain::Carica() {
    try {
        chiusuraRichiesta_ = false;
        // Another copy's running operation looks like an interrupted one: the start's repairs
        // wait for its end.
        BloccoOperazione operazione;
        const bool libera = operazione.Acquisisci();
        const StatoAvvio s = CaricaAvvio(libera);
        operazione.Rilascia();
        MostraStato(s);
        txtDest_->setText(Q(s.dest));
        // No origin chosen yet: the sets are most likely where the last backup went.
        txtOrig_->setText(Q(Spazi(s.orig).empty() ? s.dest : s.orig));
        setWindowTitle(QString::fromUtf8(kDidascalia) + QLatin1Char(' ') + QLatin1String(kHost));
        AggiornaElencoBackup(false);
        OptDest_Click();
        FuocoSullaScheda();
        AscoltaChiamate();
        altraOperazione_ = false;
        if (!libera) {
            altraOperazione_ = true;
            statusBar()->showMessage(QString::fromUtf8(kAltraOperazione));
        }
        sorveglianzaOperazioni_->start();
    } catch (...) {
        Utilita().PrintErrore(ErroreCorrente());
        chiusuraRichiesta_ = true;
    }
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
    NonInstallato(s.nonInstallato);
    lblCartella_->ImpostaTesto(s.nonInstallato ? QStringLiteral("Non installato")
                                               : Q(s.cartellaInstallazione));
    percorsoDati_ = s.percorsoDati;
    DatiNonPresenti(s.datiNonPresenti);
    if (!s.nonInstallato) {
        lblVersione_->setText(Q(s.versione));
        txtCartellaDati_->setText(Q(percorsoDati_));
        txtCartellaDati_->setToolTip(Q(percorsoDati_));
    }
}

namespace {

// The operation lock goes when the command ends, however it ends.
struct RilascioOperazione {
    std::unique_ptr<BloccoOperazione>& blocco;
    ~RilascioOperazione() { blocco.reset(); }
};

}  // namespace

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
    operazione_ = std::move(blocco);
    // Another copy's operation ended a moment ago: its traces are seen to first.
    if (altraOperazione_) DopoAltraOperazione();
    return true;
}

void FrmMain::SorvegliaOperazioni() {
    // Our own command holds the lock (a second open of it is refused even in this process).
    if (operazione_ || occupato_ || filieraAttiva_) return;
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
    operazione_ = std::move(blocco);
    DopoAltraOperazione();
    operazione_.reset();
}

void FrmMain::DopoAltraOperazione() {
    altraOperazione_ = false;
    statusBar()->clearMessage();
    try {
        // A restore of the command line may have made the data folder; a copy killed midway
        // left what the start repairs. The boxes keep what the user typed.
        MostraStato(CaricaAvvio(true));
        AggiornaElencoBackup(false);
    } catch (...) {
        Utilita().PrintErrore(ErroreCorrente());
    }
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
    setTabOrder(chkTest_, cmdBackup_);
    setTabOrder(txtOrig_, cmdSfogliaRip_);
    setTabOrder(cmdSfogliaRip_, cmdRefresh_);
    setTabOrder(cmdRefresh_, ListBackup_);
    setTabOrder(ListBackup_, CmdRipristino_);
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
    try {
        std::string origine = Spazi(txtOrig_->text().toStdString());
        ListBackup_->clear();
        ElencoBackup().Clear();
        cartellaElenco_ = origine;
        if (!origine.empty()) {
            txtOrig_->setText(Q(Utilita().AggiungiSepDir(origine)));
            ElencoBackup().GetFilenames(txtOrig_->text().toStdString(), kModelloSet);
            PopolaListBox(ListBackup_, ElencoBackup());
        }
    } catch (...) {
        if (mostraErrori) Utilita().PrintErrore(ErroreCorrente());
    }
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
    try {
        std::string p =
            Spazi(Utilita().Sfoglia_Cartella("Seleziona origine", PartenzaSfoglia(txtOrig_)));
        if (p.empty()) return;
        ElencoBackup().Clear();
        ListBackup_->clear();
        txtOrig_->setText(CartellaScelta(p));
        cartellaElenco_ = txtOrig_->text().toStdString();
        ElencoBackup().GetFilenames(txtOrig_->text().toStdString(), kModelloSet);
        PopolaListBox(ListBackup_, ElencoBackup());
    } catch (...) {
        Utilita().PrintErrore(ErroreCorrente());
    }
}

void FrmMain::mnleggimi_Click() {
    try {
        std::string cartella = CartellaProgramma();
        Utilita().EseguiEx(Utilita().AggiungiSepDir(cartella) + "leggimi.htm", true);
    } catch (...) {  // the readme is a convenience: nothing to report
    }
}

// The window while a command runs on its worker thread: status and progress, each queued to
// the window's thread in the order told.
class OsservatoreFinestra final : public OsservatoreOperazione {
  public:
    explicit OsservatoreFinestra(FrmMain& f) : f_(f) {}
    void Messaggio(const std::string& testo) override {
        NellaFinestra(&f_, [f = &f_, t = Q(testo)] { f->lblMsg_->setText(t); });
    }
    void Avanzamento(double valore) override {
        const int v = static_cast<int>(std::clamp(valore, 0.0, 100.0));
        NellaFinestra(&f_, [f = &f_, v] { f->Stato_->setValue(v); });
    }
    void InCorso(bool inCorso) override {
        NellaFinestra(&f_, [f = &f_, inCorso] { f->VisibileStato(inCorso); });
    }
    void AlLavoro(bool alLavoro) override {
        NellaFinestra(&f_, [f = &f_, alLavoro] { f->Occupato(alLavoro); });
    }
    // What was left out of the set (hidden files, sub-folders): logged, and shown once the
    // command ends.
    void Avviso(const std::string& testo) override {
        OsservatoreOperazione::Avviso(testo);
        avvisi.push_back(testo);
    }

    std::vector<std::string> avvisi;

  private:
    FrmMain& f_;
};

void FrmMain::Occupato(bool occupato) {
    // The work is done: the operation lock goes before the final notice, which may stay
    // unanswered for hours while a scheduled backup waits for the lock.
    if (!occupato) operazione_.reset();
    if (occupato == occupato_) return;
    occupato_ = occupato;
    if (occupato) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    FiltraInput();
}

void FrmMain::FiltraInput() {
    const bool filtra = occupato_ || filieraAttiva_;
    if (filtra == filtroInput_) return;
    filtroInput_ = filtra;
    if (filtra) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
}

void FrmMain::EseguiOperazione(const std::function<void()>& lavoro) {
    // From the click until the work ends, even before it says it is at work: no second
    // command, no input, no close.
    filieraAttiva_ = true;
    FiltraInput();
    try {
        EseguiFuoriDallaFinestra(this, lavoro);
    } catch (...) {
        filieraAttiva_ = false;
        FiltraInput();
        throw;
    }
    filieraAttiva_ = false;
    FiltraInput();
}

void FrmMain::cmdBackup_Click() {
    if (!PrendiOperazione()) return;
    const RilascioOperazione rilascio{operazione_};
    RichiestaBackup r;
    r.floppy = OptDest0_->isChecked();
    r.destinazione = txtDest_->text().toStdString();
    r.verifica = chkTest_->isChecked();
    // The box may be changed while the backup runs: read on the window's thread when asked.
    r.verificaDopo = [this] {
        return DallaFinestra(this, [this] { return chkTest_->isChecked(); });
    };
    r.percorsoDati = percorsoDati_;
    r.nonInstallato = nonInstallato_;
    r.datiNonPresenti = datiNonPresenti_;
    r.cartellaTemp = CartellaTemp();
    OsservatoreFinestra osservatore(*this);
    bool riuscito = false;
    EseguiOperazione([&] { riuscito = EseguiBackup(r, osservatore); });
    // A busy state left by an unexpected path must not leave the window dead.
    Occupato(false);
    if (riuscito && !osservatore.avvisi.empty()) {
        std::string testo;
        for (const std::string& a : osservatore.avvisi) testo += (testo.empty() ? "" : "\n\n") + a;
        InterazioneCorrente().Messaggio(testo, "Backup", Icona::Avviso, Pulsanti::Ok);
    }
    cmdBackup_->setFocus();
    // A new set in the folder the restore tab lists: show it there at once.
    const std::string destinazione = r.floppy ? CartellaFloppy() : Spazi(r.destinazione);
    if (riuscito && StessaCartella(destinazione, txtOrig_->text().toStdString()))
        AggiornaElencoBackup(false);
    ChiudiSeRinviato();
}

// The window while a restore runs on its worker thread: the command disabled, the data folder
// shown once created; queued to the window's thread in order.
class OsservatoreRipristinoFinestra final : public OsservatoreRipristino {
  public:
    explicit OsservatoreRipristinoFinestra(FrmMain& f) : f_(f) {}
    void AlLavoro(bool occupato) override {
        NellaFinestra(&f_, [f = &f_, occupato] {
            f->Occupato(occupato);
            if (occupato) {
                f->StatoRipristino_->setValue(0);
                f->lblMsgRipristino_->setVisible(true);
                f->StatoRipristino_->setVisible(true);
            }
        });
    }
    void Messaggio(const std::string& testo) override {
        NellaFinestra(&f_, [f = &f_, t = Q(testo)] { f->lblMsgRipristino_->setText(t); });
    }
    void Avanzamento(double valore) override {
        const int v = static_cast<int>(std::clamp(valore, 0.0, 100.0));
        NellaFinestra(&f_, [f = &f_, v] { f->StatoRipristino_->setValue(v); });
    }
    void InCorso(bool inCorso) override {
        NellaFinestra(&f_, [f = &f_, inCorso] { f->CmdRipristino_->setEnabled(!inCorso); });
    }
    void DatiCreati(const std::string& percorsoDati) override {
        NellaFinestra(&f_, [f = &f_, percorsoDati] {
            f->percorsoDati_ = percorsoDati;
            f->txtCartellaDati_->setText(Q(percorsoDati));
            f->DatiNonPresenti(false);
        });
    }

  private:
    FrmMain& f_;
};

void FrmMain::CmdRipristino_Click() {
    // The list shows another folder's sets (the box was changed since): it is read again, and
    // the user chooses among the sets of the folder now shown.
    if (!StessaCartella(cartellaElenco_, txtOrig_->text().toStdString())) {
        AggiornaElencoBackup(true);
        ListBackup_->setFocus();
        return;
    }
    if (!PrendiOperazione()) return;
    const RilascioOperazione rilascio{operazione_};
    RichiestaRipristino r;
    r.origine = txtOrig_->text().toStdString();
    // The line's item data is the entry of its set in the list read.
    if (QListWidgetItem* riga = ListBackup_->currentItem(); riga != nullptr && riga->isSelected()) {
        const int indice = riga->data(Qt::UserRole).toInt();
        if (indice >= 1 && indice <= ElencoBackup().Count()) {
            r.nomeSet = ElencoBackup().GetItem(indice);
            r.dataSet = riga->text().toStdString();
        }
    }
    r.percorsoDati = percorsoDati_;
    r.nonInstallato = nonInstallato_;
    r.datiNonPresenti = datiNonPresenti_;
    r.cartellaTemp = CartellaTemp();
    OsservatoreRipristinoFinestra osservatore(*this);
    EseguiOperazione([&] { EseguiRipristino(r, osservatore); });
    Occupato(false);
    lblMsgRipristino_->setVisible(false);
    StatoRipristino_->setVisible(false);
    CmdRipristino_->setFocus();
    ChiudiSeRinviato();
}

void FrmMain::ChiudiSeRinviato() {
    if (!chiusuraRinviata_) return;
    chiusuraRinviata_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
}

void FrmMain::closeEvent(QCloseEvent* evento) {
    if (occupato_ || filieraAttiva_) {
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
    if (filtroInput_) {
        switch (evento->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Wheel:
            case QEvent::Shortcut:
            case QEvent::ShortcutOverride: {
                // Only this window is deaf; the questions of the command (message boxes) are not.
                auto* w = qobject_cast<QWidget*>(oggetto);
                if (w != nullptr && w->window() == this) return true;
                break;
            }
            default:
                break;
        }
    }
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
    if (evento->type() == QEvent::MouseButtonDblClick) {
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
