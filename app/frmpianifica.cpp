// The "Pianifica" dialog.
#include "app/frmpianifica.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "resoconto/testi_ultimo_backup.h"

namespace bv {

FrmPianifica::FrmPianifica(QWidget* padre, const RichiestaPianificata& richiesta,
                           const std::optional<PianificazioneBackup>& attuale)
    : QDialog(padre), richiesta_(richiesta) {
    setObjectName(QStringLiteral("frmPianifica"));
    setWindowTitle(QStringLiteral("Pianifica"));
    auto* principale = new QVBoxLayout(this);
    lblPianificazione_ = new QLabel(this);
    lblPianificazione_->setObjectName(QStringLiteral("lblPianificazione"));
    lblPianificazione_->setWordWrap(true);
    lblPianificazione_->setText(attuale ? QString::fromStdString(TestoPianificazione(*attuale))
                                        : QStringLiteral("Nessun backup pianificato."));
    principale->addWidget(lblPianificazione_);
    auto* ora = new QHBoxLayout();
    auto* lblOra = new QLabel(QStringLiteral("&Ora:"), this);
    lblOra->setObjectName(QStringLiteral("lblOra"));
    tmeOra_ = new QTimeEdit(this);
    tmeOra_->setObjectName(QStringLiteral("tmeOra"));
    tmeOra_->setDisplayFormat(QStringLiteral("HH:mm"));
    tmeOra_->setTime(attuale ? QTime(attuale->ora, attuale->minuto) : QTime(18, 0));
    lblOra->setBuddy(tmeOra_);
    ora->addWidget(lblOra);
    ora->addWidget(tmeOra_);
    ora->addStretch(1);
    principale->addLayout(ora);
    auto* giorni = new QGridLayout();
    static const char* const kGiorni[] = {"Lunedì", "Martedì", "Mercoledì", "Giovedì",
                                          "Venerdì", "Sabato", "Domenica"};
    for (int i = 0; i < 7; ++i) {
        chkGiorno_[static_cast<size_t>(i)] = new QCheckBox(QString::fromUtf8(kGiorni[i]), this);
        QCheckBox* c = chkGiorno_[static_cast<size_t>(i)];
        c->setObjectName(QStringLiteral("chkGiorno_%1").arg(i));
        // No weekday chosen, or all of them: every day.
        const bool scelto = !attuale || attuale->giorni.empty() ||
                            std::find(attuale->giorni.begin(), attuale->giorni.end(), i + 1) !=
                                attuale->giorni.end();
        c->setChecked(scelto);
        giorni->addWidget(c, i / 4, i % 4);
    }
    principale->addLayout(giorni);
    auto* dove = new QLabel(
        QStringLiteral("Destinazione e verifica come nella scheda Backup: %1")
            .arg(QString::fromStdString(richiesta.destinazione)),
        this);
    dove->setObjectName(QStringLiteral("lblDestinazionePianificata"));
    dove->setWordWrap(true);
    principale->addWidget(dove);
    auto* pulsanti = new QHBoxLayout();
    cmdPianifica_ = new QPushButton(QStringLiteral("&Pianifica"), this);
    cmdPianifica_->setObjectName(QStringLiteral("cmdPianifica"));
    cmdPianifica_->setDefault(true);
    cmdPianifica_->setEnabled(!richiesta.destinazione.empty());
    cmdRimuovi_ = new QPushButton(QStringLiteral("&Rimuovi"), this);
    cmdRimuovi_->setObjectName(QStringLiteral("cmdRimuovi"));
    cmdRimuovi_->setEnabled(attuale.has_value());
    cmdChiudi_ = new QPushButton(QStringLiteral("Chiudi"), this);
    cmdChiudi_->setObjectName(QStringLiteral("cmdChiudi"));
    pulsanti->addStretch(1);
    pulsanti->addWidget(cmdPianifica_);
    pulsanti->addWidget(cmdRimuovi_);
    pulsanti->addWidget(cmdChiudi_);
    principale->addLayout(pulsanti);
    connect(cmdPianifica_, &QPushButton::clicked, this, [this] {
        scelta_ = Scelta::Pianifica;
        accept();
    });
    connect(cmdRimuovi_, &QPushButton::clicked, this, [this] {
        scelta_ = Scelta::Rimuovi;
        accept();
    });
    connect(cmdChiudi_, &QPushButton::clicked, this, &QDialog::reject);
}

PianificazioneBackup FrmPianifica::pianificazione() const {
    PianificazioneBackup p;
    p.ora = tmeOra_->time().hour();
    p.minuto = tmeOra_->time().minute();
    for (int i = 0; i < 7; ++i)
        if (chkGiorno_[static_cast<size_t>(i)]->isChecked()) p.giorni.push_back(i + 1);
    if (p.giorni.size() == 7) p.giorni.clear();
    p.richiesta = richiesta_;
    return p;
}

}  // namespace bv
