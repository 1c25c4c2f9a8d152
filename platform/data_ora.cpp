// Date and time forms that do not depend on the platform: the log's timestamp, patterns,
// the calendar, and the clock a test may put in place of the system's.
#include <array>
#include <cstdio>
#include <string_view>

#include "platform/data_ora.h"

namespace bv {

namespace {

std::function<DataOra()>& Orologio() {
    static std::function<DataOra()> orologio;
    return orologio;
}

constexpr std::array<const char*, 12> kMesiItaliani = {"gen", "feb", "mar", "apr", "mag", "giu",
                                                       "lug", "ago", "set", "ott", "nov", "dic"};

std::string DueCifre(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

std::string MeseItaliano(int mese) {
    if (mese < 1 || mese > 12) return {};
    return kMesiItaliani[static_cast<size_t>(mese - 1)];
}

DataOra Adesso() {
    if (Orologio()) return Orologio()();
    return OraDiSistema();
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
