// The clock and the locale's date forms on POSIX (glibc's locale data).
#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/data_ora.h"

namespace bv {

namespace {

// The user's time locale, or nothing for the plain C/POSIX one (or one that is not installed).
locale_t LocaleUtente() {
    static locale_t locale = [] {
        const char* nome = nullptr;
        for (const char* v : {"LC_ALL", "LC_TIME", "LANG"}) {
            const char* s = std::getenv(v);
            if (s != nullptr && *s != '\0') {
                nome = s;
                break;
            }
        }
        if (nome == nullptr) return static_cast<locale_t>(nullptr);
        const std::string n = nome;
        if (n == "C" || n == "POSIX" || n.starts_with("C.")) return static_cast<locale_t>(nullptr);
        return newlocale(LC_TIME_MASK, nome, static_cast<locale_t>(nullptr));
    }();
    return locale;
}

std::tm ComeTm(const DataOra& d) {
    std::tm t{};
    t.tm_year = d.anno - 1900;
    t.tm_mon = d.mese - 1;
    t.tm_mday = d.giorno;
    t.tm_hour = d.ora;
    t.tm_min = d.minuto;
    t.tm_sec = d.secondo;
    return t;
}

}  // namespace

DataOra OraDiSistema() {
    const std::time_t ora = std::time(nullptr);
    std::tm t{};
    localtime_r(&ora, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

DataOra DaSecondi(int64_t secondi) {
    const std::time_t t = static_cast<std::time_t>(secondi);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string AbbreviazioneMese(int mese) {
    if (mese < 1 || mese > 12) return {};
    if (locale_t l = LocaleUtente(); l != nullptr) {
        const char* s = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + mese - 1), l);
        if (s != nullptr && *s != '\0') return s;
    }
    return MeseItaliano(mese);
}

std::string DataBreve(const DataOra& data) {
    if (locale_t l = LocaleUtente(); l != nullptr) {
        const char* formato = nl_langinfo_l(D_FMT, l);
        if (formato != nullptr && *formato != '\0') {
            const std::tm t = ComeTm(data);
            char buf[128];
            if (strftime_l(buf, sizeof buf, formato, &t, l) > 0) return buf;
        }
    }
    return FormattaData(data, "dd/MM/yyyy");
}

}  // namespace bv
