// Italian everywhere in the window, whatever the user's locale: Qt's own texts, the ones it
// lacks, numbers and dates, and the folder dialog.
#pragma once

#include <QString>
#include <memory>

class QFileDialog;
class QWidget;

namespace bv {

// Sets the Italian locale as the window's default and installs Qt's Italian texts with those
// Qt's translation lacks; false when Qt's translation is not installed.
bool CaricaTraduzioni();

// The folder dialog: Qt's own (the same on every desktop), opening at `iniziale`, with its
// sizes and dates in Italian even where the system's locale is another.
std::unique_ptr<QFileDialog> CreaDialogoCartella(QWidget* genitore, const QString& titolo,
                                                 const QString& iniziale);

}  // namespace bv
