// The window program's start: a second copy ends at once and silently; the standard buttons
// speak Italian in every locale; --screenshot FILE saves a picture of the window and ends
// (used where there is no display, with its questions answered unattended); --ripristino opens
// the window on its restore tab.
#include "app/avvio_finestra.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTranslator>
#include <iostream>
#include <memory>
#include <optional>

#include "app/frmmain.h"
#include "app/interazione_qt.h"
#include "app/italiano.h"
#include "operazioni/impostazioni_programma.h"
#include "platform/errore.h"
#include "platform/istanza.h"

namespace bv {

namespace {

// The system's dialog font, when it is not installed (Windows' own fonts under Wine), is
// replaced by whatever font the system finds closest, a symbol font among them, whose text fields
// then draw nothing: a readable font that is there takes its place. Where the font is installed
// (any Windows, any Linux desktop) nothing changes.
void UsaCarattereDisponibile() {
    QFont carattere = QApplication::font();
    if (QFontInfo(carattere).family().compare(carattere.family(), Qt::CaseInsensitive) == 0) return;
    const QStringList famiglie = QFontDatabase::families();
    for (const char* nome : {"Segoe UI", "Tahoma", "Verdana", "DejaVu Sans", "Arial"}) {
        if (famiglie.contains(QLatin1String(nome), Qt::CaseInsensitive)) {
            carattere.setFamily(QLatin1String(nome));
            QApplication::setFont(carattere);
            return;
        }
    }
}

}  // namespace

int EseguiFinestra(int argc, char** argv) {
    BloccoIstanza blocco;
    std::optional<Errore> erroreBlocco;
    bool unica = true;
    try {
        unica = blocco.Acquisisci();
    } catch (const Errore& e) {
        erroreBlocco = e;
    }
    if (!unica) {
        ChiamaPrimaCopia();  // the running window comes to the front; this copy ends
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kTitoloProgramma));
    CaricaTraduzioni();
    UsaCarattereDisponibile();
    if (erroreBlocco) {  // without the lock two copies could clash: none runs
        QMessageBox::critical(nullptr, QString::fromLatin1(kTitoloProgramma),
                              QStringLiteral("Errore %1: %2")
                                  .arg(erroreBlocco->Numero())
                                  .arg(QString::fromStdString(erroreBlocco->Descrizione())));
        return 1;
    }

    QString fotografia;
    int scheda = 0;
    const QStringList argomenti = QApplication::arguments();
    for (qsizetype i = 1; i < argomenti.size(); ++i) {
        if (argomenti[i] == QLatin1String("--ripristino")) scheda = 1;  // open on the restore tab
        if (argomenti[i] == QLatin1String("--screenshot") && i + 1 < argomenti.size()) {
            // Absolute now: the load makes the program folder current.
            fotografia = QFileInfo(argomenti[++i]).absoluteFilePath();
        }
    }

    FrmMain finestra;
    QApplication::setWindowIcon(finestra.windowIcon());
    InterazioneQt interattiva(&finestra);
    InterazioneNonPresidiata nonPresidiata;
    UsaInterazione interazione(fotografia.isEmpty() ? static_cast<Interazione&>(interattiva)
                                                    : static_cast<Interazione&>(nonPresidiata));
    finestra.Carica();
    if (auto* schede = finestra.findChild<QTabWidget*>(QStringLiteral("SSTab1")))
        schede->setCurrentIndex(scheda);
    finestra.show();
    if (!fotografia.isEmpty()) {
        QTimer::singleShot(700, &finestra, [&finestra, fotografia] {
            if (finestra.grab().save(fotografia)) {
                std::cout << "Schermata salvata in " << fotografia.toStdString() << '\n';
            } else {
                std::cerr << "Impossibile salvare la schermata in " << fotografia.toStdString()
                          << '\n';
            }
            finestra.close();
        });
    }
    return QApplication::exec();
}

}  // namespace bv
