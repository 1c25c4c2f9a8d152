// Collation with the user's LC_COLLATE locale; code-point order in the plain C locale.
#include <locale.h>
#include <string.h>

#include <cstdlib>

#include "platform/codifica.h"
#include "platform/collazione.h"

namespace bv {

namespace {

locale_t LocaleCollazione() {
    static locale_t locale = [] {
        for (const char* v : {"LC_ALL", "LC_COLLATE", "LANG"}) {
            const char* s = std::getenv(v);
            if (s != nullptr && *s != '\0') {
                const std::string n = s;
                if (n == "C" || n == "POSIX" || n.starts_with("C."))
                    return static_cast<locale_t>(nullptr);
                return newlocale(LC_COLLATE_MASK, s, static_cast<locale_t>(nullptr));
            }
        }
        return static_cast<locale_t>(nullptr);
    }();
    return locale;
}

}  // namespace

int ConfrontaTestoSenzaMaiuscole(const std::string& a, const std::string& b) {
    const std::string ma = Maiuscolo(a);
    const std::string mb = Maiuscolo(b);
    if (locale_t l = LocaleCollazione(); l != nullptr) {
        const int r = strcoll_l(ma.c_str(), mb.c_str(), l);
        if (r != 0) return r;
    }
    // Code points in order: UTF-8 byte order is code-point order.
    return ma.compare(mb);
}

}  // namespace bv
