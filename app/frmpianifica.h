// The "Pianifica" dialog: the time and the weekdays of the scheduled backup, into the
// destination and with the verification the Backup tab holds; the schedule as a sentence, and
// its removal. It only gathers the choice: the window registers it on its worker.
#pragma once

#include <QDialog>

#include <array>
#include <optional>

#include "operazioni/backup_pianificato.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace bv {

class FrmPianifica : public QDialog {
    Q_OBJECT
  public:
    // `richiesta`: the Backup tab's destination, verification and sets kept; `attuale` the
    // schedule registered now, if any.
    FrmPianifica(QWidget* padre, const RichiestaPianificata& richiesta,
                 const std::optional<PianificazioneBackup>& attuale);

    enum class Scelta { Nessuna, Pianifica, Rimuovi };
    Scelta scelta() const { return scelta_; }
    PianificazioneBackup pianificazione() const;

  private:
    RichiestaPianificata richiesta_;
    QTimeEdit* tmeOra_ = nullptr;
    std::array<QCheckBox*, 7> chkGiorno_{};
    QLabel* lblPianificazione_ = nullptr;
    QPushButton* cmdPianifica_ = nullptr;
    QPushButton* cmdRimuovi_ = nullptr;
    QPushButton* cmdChiudi_ = nullptr;
    Scelta scelta_ = Scelta::Nessuna;
};

}  // namespace bv
