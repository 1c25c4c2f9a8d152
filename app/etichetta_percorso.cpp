// The path label: elided text, fixed hints.
#include "app/etichetta_percorso.h"

#include <QResizeEvent>

namespace bv {

EtichettaPercorso::EtichettaPercorso(QWidget* genitore) : QLabel(genitore) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void EtichettaPercorso::ImpostaTesto(const QString& testo) {
    completo_ = testo;
    setToolTip(testo);
    Adatta();
}

QSize EtichettaPercorso::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")) * 3,
            QLabel::minimumSizeHint().height()};
}

QSize EtichettaPercorso::sizeHint() const {
    // What the path asks for, but never more than a modest width.
    const int voluta = fontMetrics().horizontalAdvance(completo_) + 2 * margin() + 4;
    return {std::min(voluta, 320), QLabel::sizeHint().height()};
}

void EtichettaPercorso::resizeEvent(QResizeEvent* evento) {
    QLabel::resizeEvent(evento);
    Adatta();
}

void EtichettaPercorso::Adatta() {
    QLabel::setText(fontMetrics().elidedText(completo_, Qt::ElideMiddle, std::max(0, width())));
}

}  // namespace bv
