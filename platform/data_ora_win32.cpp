// The clock and the user's date forms on Windows (the locale's month names and short date).
#include <windows.h>

#include "platform/data_ora.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {
DataOra DaSystemTime(const SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}
}  // namespace

DataOra OraDiSistema() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return DaSystemTime(t);
}

DataOra DaSecondi(int64_t secondi) {
    const uint64_t v = static_cast<uint64_t>(secondi * 10000000LL + 116444736000000000LL);
    FILETIME utc{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
    SYSTEMTIME su{};
    SYSTEMTIME locale{};
    if (!::FileTimeToSystemTime(&utc, &su) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &su, &locale)) {
        return {};
    }
    return DaSystemTime(locale);
}

std::string AbbreviazioneMese(int mese) {
    if (mese < 1 || mese > 12) return {};
    wchar_t buf[80];
    const int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT,
                                    static_cast<LCTYPE>(LOCALE_SABBREVMONTHNAME1 + mese - 1), buf, 80);
    if (n > 1) return Stretto(buf, static_cast<size_t>(n - 1));
    return MeseItaliano(mese);
}

std::string DataBreve(const DataOra& data) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(data.anno);
    t.wMonth = static_cast<WORD>(data.mese);
    t.wDay = static_cast<WORD>(data.giorno);
    wchar_t buf[128];
    const int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, buf, 128,
                                    nullptr);
    if (n > 1) return Stretto(buf, static_cast<size_t>(n - 1));
    return FormattaData(data, "dd/MM/yyyy");
}

}  // namespace bv
