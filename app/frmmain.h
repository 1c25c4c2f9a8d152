// FrmMain: the program's one window, its state and its start-up sequence.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "fileset/clsinsieme.h"
#include "operazioni/stato_avvio.h"
#include "operazioni/destinazione_ritrovata.h"
#include "operazioni/lavoro.h"
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
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace bv {
class EtichettaPercorso;
class GanciOperazione;
class Lavoratore;
}

namespace bv {

class FrmMain : public QMainWindow {
    Q_OBJECT

  public:
    explicit FrmMain(QWidget* parent = nullptr);
    ~FrmMain() override;

    // The load: start-up checks, host, settings, caption, backup list.
    void Carica();

    bool NonInstallato() const { return avvio_.nonInstallato; }
    void NonInstallato(bool valore);
    bool DatiNonPresenti() const { return avvio_.datiNonPresenti; }
    void DatiNonPresenti(bool valore);
    const std::string& PercorsoDati() const { return avvio_.percorsoDati; }
    bool ChiusuraRichiesta() const { return chiusuraRichiesta_; }
    // A job runs on the worker (the start, a command, a folder listing).
    bool AlLavoro() const;

    std::string CartellaTemp() const;

    // Lists the backup sets of the origin folder in ListBackup, newest first.
    void AggiornaElencoBackup(bool mostraErrori);
    // The sets listed; line k of ListBackup carries the index of its set as item data.
    ClsInsieme& ElencoBackup();

    // The backup command (cmdBackup) and the restore command (CmdRipristino).
    void cmdBackup_Click();
    // "Cifra il backup" chosen or not: the key's set-up the first time, the choice saved.
    void chkCifra_Click(bool scelto);
    // The key a restore or a verification reads a set with: the one typed for it, else the
    // one kept on this computer.
    std::string ChiaveDaUsare() const;
    void CmdRipristino_Click();
    // "Verifica backup": the selected set checked, and repaired on request.
    void cmdVerifica_Click(bool ripara);

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
    // The last backup's outcome in the header, as the record in the program folder says it.
    void MostraUltimoBackup();
    void MostraDestinazioneRitrovata(const std::string& ricordata, const DestinazioneRitrovata& d);
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
    // "Pianifica": the schedule's dialog, its registration on the worker.
    void mnpianifica_Click();
    void cmdAnnulla_Click();
    // Each control enabled as the state allows: none but "Annulla" while a job runs.
    void ImpostaControlli();
    // A command's job begins: its status, bar, MB and "Annulla" shown, the rest disabled.
    void IniziaLavoro(QLabel* messaggio, QProgressBar* barra, QLabel* quantita,
                      QPushButton* annulla);
    // Its job has ended: the lock released, the pointer back; then, after its result is shown,
    // the status hidden and the window idle.
    void FineLavoro();
    void FineComando(QWidget* stato);
    // The result as the user sees it: the success with its summary, the cancel and what it
    // kept, the error box.
    void MostraRisultato(const Risultato& r, const char* titolo);
    // A restore made the data folder: it is now the data path.
    void DatiCreati(const std::string& percorsoDati);
    friend class GanciFinestra;
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
    // On the worker: the start's repairs and the state read again; `bloccoPreso` when this
    // window holds the operation lock already.
    void DopoAltraOperazione(bool bloccoPreso);
    void MostraStato(const StatoAvvio& s);

    enum class Stato {
        Avvio,         // the start's job runs
        Pronta,        // idle: every command as the start state allows
        AlLavoro,      // a command's job runs
        Annullamento,  // its cancel was asked
    };
    Stato stato_ = Stato::Avvio;
    StatoAvvio avvio_;  // what the start found: the requests are built from it
    std::unique_ptr<Lavoratore> lavoratore_;
    std::shared_ptr<GanciOperazione> ganci_;  // the running command's hooks
    bool chiusuraRichiesta_ = false;
    std::unique_ptr<ClsInsieme> elencoBackup_;
    int generazioneElenco_ = 0;     // the latest listing asked; an older one is not shown
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
    QLabel* lblRecupero_ = nullptr;
    QSpinBox* spnRecupero_ = nullptr;
    QCheckBox* chkCifra_ = nullptr;
    QLabel* lblCifra_ = nullptr;  // beside it: what the encryption does not hide
    QLabel* lblDestRitrovata_ = nullptr;  // the destination's stick under another letter
    std::string chiaveDigitata_;  // typed for a set the key kept did not open; never saved
    QLabel* lblConserva_ = nullptr;
    QSpinBox* spnConserva_ = nullptr;  // "Conserva gli ultimi N backup" (0: all)
    QLabel* lblUltimoBackup_ = nullptr;  // the last backup's outcome, red for a failure
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
    QPushButton* cmdVerifica_ = nullptr;
    QLabel* lblMsgRipristino_ = nullptr;
    QProgressBar* StatoRipristino_ = nullptr;
    QLabel* lblNessunBackup_ = nullptr;  // in the list's place when the folder has no set
    QLabel* lblQuantita_ = nullptr;  // beside each bar: the MB done and the time left
    QLabel* lblQuantitaRipristino_ = nullptr;
    QPushButton* cmdAnnulla_ = nullptr;
    QPushButton* cmdAnnullaRipristino_ = nullptr;
    QMenu* mnfile_ = nullptr;
    QAction* mnleggimi_ = nullptr;
    QAction* mnpianifica_ = nullptr;
    QAction* mnesci_ = nullptr;
    QLabel* lblAvvio_ = nullptr;  // what the start found missing, and what to do
};

}  // namespace bv
