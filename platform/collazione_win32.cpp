// Collation on Windows: the user's locale through CompareStringEx, letter case ignored.
#include <windows.h>

#include "platform/codifica.h"
#include "platform/collazione.h"
#include "platform/testo_win32.h"

namespace bv {

int ConfrontaTestoSenzaMaiuscole(const std::string& a, const std::string& b) {
    const std::wstring wa = Largo(a);
    const std::wstring wb = Largo(b);
    const int r = ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, wa.c_str(),
                                    static_cast<int>(wa.size()), wb.c_str(),
                                    static_cast<int>(wb.size()), nullptr, nullptr, 0);
    if (r == CSTR_LESS_THAN) return -1;
    if (r == CSTR_GREATER_THAN) return 1;
    // Equal for the locale (or the call failed): code points of the upper-case forms decide.
    return Maiuscolo(a).compare(Maiuscolo(b));
}

}  // namespace bv
