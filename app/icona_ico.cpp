// The icon from the .ico the executable also carries as its resource.
#include "app/icona.h"

namespace bv {

QIcon IconaProgramma() {
    return QIcon(QStringLiteral(":/bvbackup/bvbackup.ico"));
}

}  // namespace bv
