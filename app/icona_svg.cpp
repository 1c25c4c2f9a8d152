// The icon drawn from its SVG.
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "app/icona.h"

namespace bv {

QIcon IconaProgramma() {
    QSvgRenderer disegno(QStringLiteral(":/bvbackup/icona.svg"));
    QIcon icona;
    for (const int lato : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap p(lato, lato);
        p.fill(Qt::transparent);
        QPainter pittore(&p);
        disegno.render(&pittore);
        pittore.end();
        icona.addPixmap(p);
    }
    return icona;
}

}  // namespace bv
