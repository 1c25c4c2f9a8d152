// Message boxes and the folder dialog with Qt.
#include "app/interazione_qt.h"

#include "app/italiano.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QStandardPaths>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QScreen>
#include <QGuiApplication>
#include <QUrl>

namespace bv {

namespace {

// Centres a window on a screen right after it is shown.
class CentraAllaComparsa final : public QObject {
  public:
    QScreen* schermo = nullptr;
    bool eventFilter(QObject* oggetto, QEvent* evento) override {
        if (evento->type() == QEvent::Show) {
            auto* w = qobject_cast<QWidget*>(oggetto);
            QMetaObject::invokeMethod(
                this,
                [w, s = schermo] {
                    w->move(s->availableGeometry().center() - w->rect().center());
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

}  // namespace

Risposta InterazioneQt::Messaggio(const std::string& testo, const std::string& titolo, Icona icona,
                                  Pulsanti pulsanti) {
    QMessageBox box(finestra_);
    QPushButton* mancante = nullptr;
    box.setWindowTitle(QString::fromStdString(titolo));
    box.setText(QString::fromStdString(testo));
    switch (icona) {
        case Icona::Nessuna:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icona::Informazione:
            box.setIcon(QMessageBox::Information);
            break;
        case Icona::Domanda:
            box.setIcon(QMessageBox::Question);
            break;
        case Icona::Avviso:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icona::Critico:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    switch (pulsanti) {
        case Pulsanti::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Pulsanti::SiNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case Pulsanti::SiNoAnnulla:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case Pulsanti::RiprovaAnnulla:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            break;
        case Pulsanti::RiprovaMancanteAnnulla:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            mancante = box.addButton(QString::fromUtf8(kTestoDiscoMancante), QMessageBox::DestructiveRole);
            mancante->setObjectName("cmdDiscoMancante");
            break;
    }
    // A short text makes a narrow box, whose title bar then cuts its title ("Errore...0004"):
    // the box is kept as wide as its title needs, with room for the title bar's buttons.
    if (auto* griglia = qobject_cast<QGridLayout*>(box.layout())) {
        const int larghezza =
            QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(box.windowTitle()) +
            box.fontMetrics().averageCharWidth() * 20;
        griglia->addItem(new QSpacerItem(larghezza, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                         griglia->rowCount(), 0, 1, griglia->columnCount());
    }
    // Before the window is shown (a notice of the start) the box stands in the middle of the
    // screen the window will open on, not in its corner.
    // The box takes its final size as it is shown: it is placed then.
    CentraAllaComparsa centra;
    if (finestra_ == nullptr || !finestra_->isVisible()) {
        centra.schermo =
            finestra_ != nullptr ? finestra_->screen() : QGuiApplication::primaryScreen();
        if (centra.schermo != nullptr) box.installEventFilter(&centra);
    }
    // A busy pointer must not hide that an answer is wanted.
    const bool occupato = QApplication::overrideCursor() != nullptr;
    if (occupato) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int r = box.exec();
    if (occupato) QApplication::restoreOverrideCursor();
    if (mancante != nullptr && box.clickedButton() == mancante) return Risposta::Mancante;
    switch (r) {
        case QMessageBox::Ok:
            return Risposta::Ok;
        case QMessageBox::Yes:
            return Risposta::Si;
        case QMessageBox::No:
            return Risposta::No;
        case QMessageBox::Retry:
            return Risposta::Riprova;
        default:
            return pulsanti == Pulsanti::Ok ? Risposta::Ok : Risposta::Annulla;
    }
}

std::string InterazioneQt::ScegliCartella(const std::string& titolo, const std::string& iniziale) {
    const auto dialogo = CreaDialogoCartella(finestra_, QString::fromStdString(titolo),
                                             QString::fromStdString(iniziale));
    if (dialogo->exec() != QDialog::Accepted || dialogo->selectedFiles().isEmpty()) return {};
    return dialogo->selectedFiles().constFirst().toStdString();
}

bool InterazioneQt::ApriDocumento(const std::string& file) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
}

std::string InterazioneQt::ChiediTesto(const std::string& testo, const std::string& titolo) {
    bool ok = false;
    const QString scritta =
        QInputDialog::getText(finestra_, QString::fromStdString(titolo), QString::fromStdString(testo),
                              QLineEdit::Normal, QString(), &ok);
    return ok ? scritta.toStdString() : std::string();
}

std::string InterazioneQt::ScegliFileDaSalvare(const std::string& titolo, const std::string& nome) {
    const QString iniziale =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QString::fromStdString(nome));
    return QFileDialog::getSaveFileName(finestra_, QString::fromStdString(titolo), iniziale,
                                        QStringLiteral("File di testo (*.txt)"))
        .toStdString();
}

}  // namespace bv
