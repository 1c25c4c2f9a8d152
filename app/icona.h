// The program's icon for the window and its dialogs.
#pragma once

#include <QIcon>

namespace bv {

// Drawn from icona.svg at the sizes desktops ask for where Qt Svg is built, else the .ico the
// executable carries (the Windows build, whose Qt has no Svg module).
QIcon IconaProgramma();

}  // namespace bv
