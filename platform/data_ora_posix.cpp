// Clock and locale-dependent date forms on POSIX (glibc's locale data).
#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/data_ora.h"

namespace bv {

namespace {

std::function<DataOra()>& Orologio() {
    static std::function<DataOra()> orologio;
    return orologio;
}

constexpr std::array<const char*, 12> kMesiItaliani = {"gen", "feb", "mar", "apr", "mag", "giu",
                                                       "lug", "ago", "set", "ott", "nov", "dic"};

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

std::string DueCifre(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

DataOra Adesso() {
    if (Orologio()) return Orologio()();
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

void ImpostaOrologio(std::function<DataOra()> orologio) {
    Orologio() = std::move(orologio);
}

bool DataValida(int anno, int mese, int giorno) {
    if (anno < 1 || anno > 9999 || mese < 1 || mese > 12 || giorno < 1) return false;
    static constexpr std::array<int, 12> kGiorni = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool bisestile = (anno % 4 == 0 && anno % 100 != 0) || anno % 400 == 0;
    const int massimo = kGiorni[static_cast<size_t>(mese - 1)] + ((mese == 2 && bisestile) ? 1 : 0);
    return giorno <= massimo;
}

std::string AbbreviazioneMese(int mese) {
    if (mese < 1 || mese > 12) return {};
    if (locale_t l = LocaleUtente(); l != nullptr) {
        const char* s = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + mese - 1), l);
        if (s != nullptr && *s != '\0') return s;
    }
    return kMesiItaliani[static_cast<size_t>(mese - 1)];
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

std::string TimestampLog(const DataOra& d) {
    char anno[16];
    std::snprintf(anno, sizeof anno, "%04d", d.anno);
    return std::string(anno) + "-" + AbbreviazioneMese(d.mese) + "-" + DueCifre(d.giorno) + " " +
           DueCifre(d.ora) + ":" + DueCifre(d.minuto) + ":" + DueCifre(d.secondo);
}

std::string FormattaData(const DataOra& d, const std::string& modello) {
    std::string out;
    size_t i = 0;
    while (i < modello.size()) {
        const std::string_view resto(modello.data() + i, modello.size() - i);
        if (resto.starts_with("yyyy")) {
            char anno[16];
            std::snprintf(anno, sizeof anno, "%04d", d.anno);
            out += anno;
            i += 4;
        } else if (resto.starts_with("MM")) {
            out += DueCifre(d.mese);
            i += 2;
        } else if (resto.starts_with("dd")) {
            out += DueCifre(d.giorno);
            i += 2;
        } else if (resto.starts_with("hh")) {
            out += DueCifre(d.ora);
            i += 2;
        } else if (resto.starts_with("mm")) {
            out += DueCifre(d.minuto);
            i += 2;
        } else if (resto.starts_with("ss")) {
            out += DueCifre(d.secondo);
            i += 2;
        } else {
            out += modello[i++];
        }
    }
    return out;
}

}  // namespace bv
