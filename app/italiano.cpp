// Italian texts, locale and folder dialog for the window.
#include "app/italiano.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QListView>
#include <QStyle>
#include <QTreeView>
#include <algorithm>
#include <QGuiApplication>
#include <QHash>
#include <QIdentityProxyModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

// The translation's resource lives in a static library: it must be registered by name.
static void InizializzaTraduzioni() {
    Q_INIT_RESOURCE(traduzioni);
}

namespace bv {

namespace {

QLocale Italiano() {
    return QLocale(QLocale::Italian, QLocale::Italy);
}

// The few texts Qt's Italian translation does not carry (the file dialog's type names).
class TraduzioniAggiuntive final : public QTranslator {
  public:
    bool isEmpty() const override { return false; }
    QString translate(const char* contesto, const char* testo, const char* /*disambiguazione*/,
                      int /*n*/) const override {
        static const QHash<QString, QString> tabella = {
            {QStringLiteral("QAbstractFileIconProvider|Folder"), QStringLiteral("Cartella")},
            {QStringLiteral("QAbstractFileIconProvider|Drive"), QStringLiteral("Unità")},
            {QStringLiteral("QAbstractFileIconProvider|File"), QStringLiteral("File")},
            {QStringLiteral("QAbstractFileIconProvider|%1 File"), QStringLiteral("File %1")},
            {QStringLiteral("QFileDialog|Choose"), QStringLiteral("Scegli")},
            {QStringLiteral("QFileDialog|Cancel"), QStringLiteral("Annulla")},
        };
        return tabella.value(QLatin1String(contesto) + QLatin1Char('|') + QString::fromUtf8(testo));
    }
};

// Qt's file model writes sizes and dates in the system's locale: here they are Italian.
class ModelloCartelleItaliano final : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& indice, int ruolo) const override {
        const auto* fs = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (fs == nullptr || ruolo != Qt::DisplayRole)
            return QIdentityProxyModel::data(indice, ruolo);
        const QModelIndex sorgente = mapToSource(indice);
        switch (indice.column()) {
            case 1:
                if (fs->isDir(sorgente)) return QString();
                return Italiano().formattedDataSize(fs->size(sorgente));
            case 3:
                return Italiano().toString(fs->lastModified(sorgente), QLocale::ShortFormat);
            default:
                return QIdentityProxyModel::data(indice, ruolo);
        }
    }
};

// The columns and the side bar as wide as their Italian texts ("Dimensione", "Computer"), at any
// scale: Qt sizes them for its English ones.
void AdattaAiTesti(QFileDialog& d) {
    if (auto* albero = d.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* intestazione = albero->header();
        const QFontMetrics fm(intestazione->font());
        const int margine = intestazione->style()->pixelMetric(QStyle::PM_HeaderMargin) * 2 +
                            intestazione->style()->pixelMetric(QStyle::PM_HeaderMarkSize) + 8;
        for (int i = 0; i < intestazione->count(); ++i) {
            const QString testo = albero->model() != nullptr
                                      ? albero->model()->headerData(i, Qt::Horizontal).toString()
                                      : QString();
            const int voluta = fm.horizontalAdvance(testo) + margine;
            if (intestazione->sectionSize(i) < voluta) intestazione->resizeSection(i, voluta);
        }
    }
    if (auto* laterale = d.findChild<QListView*>(QStringLiteral("sidebar"))) {
        const QFontMetrics fm(laterale->font());
        int larghezza = 0;
        if (QAbstractItemModel* m = laterale->model()) {
            for (int r = 0; r < m->rowCount(); ++r) {
                larghezza = std::max(larghezza,
                                     fm.horizontalAdvance(m->index(r, 0).data().toString()));
            }
        }
        larghezza += laterale->iconSize().width() + 4 * laterale->frameWidth() + 24;
        if (laterale->minimumWidth() < larghezza) laterale->setMinimumWidth(larghezza);
    }
}

}  // namespace

bool CaricaTraduzioni() {
    QLocale::setDefault(Italiano());
    static TraduzioniAggiuntive aggiuntive;
    static bool aggiunte = QApplication::installTranslator(&aggiuntive);
    (void)aggiunte;
    static QTranslator traduzioni;
    if (!traduzioni.isEmpty()) return true;
    // Carried inside the program (a Windows PC has no Qt of its own), else the system's.
    InizializzaTraduzioni();
    if (!traduzioni.load(QStringLiteral(":/traduzioni/qtbase_it.qm")) &&
        !traduzioni.load(QStringLiteral("qtbase_it"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    // Installed last, so it is asked first; what it lacks falls to the texts above.
    return QApplication::installTranslator(&traduzioni);
}

std::unique_ptr<QFileDialog> CreaDialogoCartella(QWidget* genitore, const QString& titolo,
                                                 const QString& iniziale) {
    auto d = std::make_unique<QFileDialog>(genitore, titolo, iniziale);
    d->setObjectName(QStringLiteral("DialogoCartella"));
    d->setLocale(Italiano());
    d->setFileMode(QFileDialog::Directory);
    // On Windows the system's own dialog speaks the user's language; elsewhere Qt's, the same
    // on every desktop.
    const bool nativo = QGuiApplication::platformName() == QLatin1String("windows");
    d->setOptions(nativo ? QFileDialog::ShowDirsOnly
                         : QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    d->setProxyModel(new ModelloCartelleItaliano(d.get()));
    AdattaAiTesti(*d);
    return d;
}

}  // namespace bv
