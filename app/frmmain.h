// FrmMain: the program's one window, its state and its start-up sequence.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "fileset/clsinsieme.h"
#include "operazioni/avvio.h"
#include "platform/istanza.h"

class QAction;
class QTimer;
class QFileSystemWatcher;
class QCheckBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace bv {
class EtichettaPercorso;
}

namespace bv {

class FrmMain : public QMainWindow {
    Q_OBJECT

  public:
    explicit FrmMain(QWidget* parent = nullptr);
    ~FrmMain() override;

    // The load: start-up checks, host, settings, caption, backup list.
    void Carica();

    bool NonInstallato() const { return nonInstallato_; }
    void NonInstallato(bool valore);
    bool DatiNonPresenti() const { return datiNonPresenti_; }
    void DatiNonPresenti(bool valore);
    const std::string& PercorsoDati() const { return percorsoDati_; }
    bool ChiusuraRichiesta() const { return chiusuraRichiesta_; }

    // Busy (true) or idle (false).
    void VisibileStato(bool visibile);

    std::string CartellaTemp() const;
    std::string CartellaInstallazione() const;
    void PreparaCartellaTemp();

    // Lists the backup sets of the origin folder in ListBackup, newest first.
    void AggiornaElencoBackup(bool mostraErrori);
    // The sets listed; line k of ListBackup carries the index of its set as item data.
    ClsInsieme& ElencoBackup();

    // The backup command (cmdBackup) and the restore command (CmdRipristino).
    void cmdBackup_Click();
    void CmdRipristino_Click();

  protected:
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void changeEvent(QEvent* evento) override;
    void showEvent(QShowEvent* evento) override;

  private:
    // The controls: the header (host folder, version, data folder), the two tabs, the menu,
    // then what each control does.
    void CreaControlli();
    QGridLayout* CreaIntestazione(QWidget* centro);
    void CreaSchedaBackup();
    void CreaSchedaRipristino();
    void Collega();
    void OptDest_Click();
    void cmdSfoglia_Click();
    // Where the folder dialog opens for the box's text: that folder, else the other box's (the
    // last folder used), else the user's documents.
    std::string PartenzaSfoglia(const QLineEdit* casella) const;
    void cmdSfogliaRip_Click();
    void mnleggimi_Click();
    void Occupato(bool occupato);
    // Runs a command's work on its worker thread, the window deaf and unclosable meanwhile.
    void EseguiOperazione(const std::function<void()>& lavoro);
    void FiltraInput();
    friend class OsservatoreFinestra;
    friend class OsservatoreRipristinoFinestra;
    void ChiudiSeRichiesto();
    // Closes the window a user asked to close while a command ran, now that it has ended.
    void ChiudiSeRinviato();
    // Enter and a mnemonic for the tool buttons; the tab order as on screen; the focus on the
    // first command of the tab shown.
    void PreparaTastiera();
    void AggiornaSeCambiata();
    // Watches the program folder for a second start's call; answers one already there.
    void AscoltaChiamate();
    void RispondiAllaChiamata();
    void FuocoSullaScheda();
    // The operation lock for one of this window's commands: false, with the message said, while
    // another copy (a scheduled backup on the command line) runs one.
    bool PrendiOperazione();
    // Every second while idle: notices another copy's operation, and once it ends makes the
    // start's repairs (deferred if it ran at the start) and shows what it changed.
    void SorvegliaOperazioni();
    void DopoAltraOperazione();
    void MostraStato(const StatoAvvio& s);

    bool nonInstallato_ = false;
    bool datiNonPresenti_ = false;
    std::string percorsoDati_;
    bool chiusuraRichiesta_ = false;
    std::unique_ptr<ClsInsieme> elencoBackup_;
    bool occupato_ = false;       // a command is at work: the wait cursor
    bool filieraAttiva_ = false;  // a command's worker thread runs
    bool filtroInput_ = false;    // either: the window takes no input
    bool chiusuraRinviata_ = false;
    // The folder the list of sets was last read from: the restore never takes a set of another.
    std::string cartellaElenco_;
    QTimer* attesaOrigine_ = nullptr;  // a short pause after typing in "Origine" refreshes
    QFileSystemWatcher* osservatoreCartella_ = nullptr;  // the calls of a second start
    QTimer* sorveglianzaOperazioni_ = nullptr;
    std::unique_ptr<BloccoOperazione> operazione_;  // held while this window's command runs
    bool altraOperazione_ = false;  // another copy's operation seen, its end not yet handled

    QLabel* lbl_ = nullptr;
    EtichettaPercorso* lblCartella_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLabel* lblVersione_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLineEdit* txtCartellaDati_ = nullptr;
    QTabWidget* SSTab1_ = nullptr;
    QFrame* frmBackup_ = nullptr;
    QRadioButton* OptDest1_ = nullptr;
    QRadioButton* OptDest0_ = nullptr;
    QLineEdit* txtDest_ = nullptr;
    QToolButton* cmdSfoglia_ = nullptr;
    QCheckBox* chkTest_ = nullptr;
    QPushButton* cmdBackup_ = nullptr;
    QProgressBar* Stato_ = nullptr;
    QLabel* lblMsg_ = nullptr;
    QFrame* Frame1_ = nullptr;
    QLabel* Label4_ = nullptr;
    QLineEdit* txtOrig_ = nullptr;
    QToolButton* cmdSfogliaRip_ = nullptr;
    QLabel* Label3_ = nullptr;
    QListWidget* ListBackup_ = nullptr;
    QToolButton* cmdRefresh_ = nullptr;
    QPushButton* CmdRipristino_ = nullptr;
    QLabel* lblMsgRipristino_ = nullptr;
    QProgressBar* StatoRipristino_ = nullptr;
    QMenu* mnfile_ = nullptr;
    QAction* mnleggimi_ = nullptr;
    QAction* mnesci_ = nullptr;
    QLabel* lblAvvio_ = nullptr;  // what the start found missing, and what to do
};

}  // namespace bv
