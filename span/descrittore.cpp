// Descriptor text and number rules.
#include "span/descrittore.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "platform/codifica.h"
#include "platform/errore.h"
#include "util/koutilita.h"

namespace bv {

namespace {

// A rounded number as a 64-bit integer, held at the range's ends.
int64_t Intero64(double v) {
    constexpr double k2alla63 = 9223372036854775808.0;
    if (v >= k2alla63) return std::numeric_limits<int64_t>::max();
    if (v < -k2alla63) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

}  // namespace

std::string TestoDescrittore(const Descrittore& d) {
    const std::string blocco = d.nomefile + "#" + std::to_string(d.numero);
    const std::string successivo =
        d.ultimo ? std::string() : d.nomefile + "#" + std::to_string(d.numero + 1);
    const std::string righe[] = {
        "[SPAN]",
        std::string("APP=") + kApplicazioneSpan,
        "DATA=" + FormattaData(d.inizio, "yyyy/MM/dd"),
        "ORA=" + FormattaData(d.inizio, "hh:mm:ss"),
        "TERMINE_BLOCCO=" + FormattaData(d.termine, "yyyy/MM/dd hh:mm:ss"),
        "FILE=" + d.nomefile,
        "SIZE_FILE=" + std::to_string(d.dimensioneFile),
        "DEST=" + d.cartella,
        "BLOCCO=" + blocco,
        "NBLOCCO=" + std::to_string(d.numero + 1),
        "SIZE_BLOCCO=" + std::to_string(d.dimensioneBlocco),
        std::string("ULTIMO=") + (d.ultimo ? "1" : "0"),
        "BLOCCO_SUCC=" + successivo,
    };
    std::string testo;
    for (const std::string& r : righe) testo += r + "\r\n";
    return Utf8ACp1252(testo);
}

DescrittoreLetto LeggiDescrittore(const std::string& testo) {
    const auto valore = [&](const char* chiave, const char* mancante) {
        return Utilita().LeggiINIDaTesto(testo, "SPAN", chiave, mancante);
    };
    DescrittoreLetto d;
    d.app = Spazi(valore("APP", ""));
    d.data = valore("DATA", "");
    d.ora = valore("ORA", "");
    d.dimensioneFile = Intero64(Arrotonda(valore("SIZE_FILE", "0")));
    d.dimensioneBlocco = Intero64(Arrotonda(valore("SIZE_BLOCCO", "0")));
    if (const std::string ultimo = valore("ULTIMO", ""); !ultimo.empty())
        d.ultimo = Arrotonda(ultimo) != 0;
    return d;
}

double NumeroIniziale(const std::string& testo) {
    // Blanks count for nothing anywhere in the number: "1 00" is 100, "- 3" is -3.
    size_t i = 0;
    auto spazi = [&] {
        while (i < testo.size() && (testo[i] == ' ' || testo[i] == '\t')) ++i;
    };
    auto cifra = [&] {
        spazi();
        return i < testo.size() && testo[i] >= '0' && testo[i] <= '9';
    };
    spazi();
    double segno = 1;
    if (i < testo.size() && (testo[i] == '+' || testo[i] == '-')) {
        segno = testo[i] == '-' ? -1 : 1;
        ++i;
    }
    double valore = 0;
    while (cifra()) valore = valore * 10 + (testo[i++] - '0');
    if (i < testo.size() && testo[i] == '.') {
        ++i;
        double peso = 0.1;
        while (cifra()) {
            valore += (testo[i++] - '0') * peso;
            peso /= 10;
        }
    }
    return segno * valore;
}

double Arrotonda(const std::string& testo) {
    return std::nearbyint(NumeroIniziale(testo));  // the default mode rounds halves to even
}

bool FuoriDa32(double valore) {
    return !(valore >= -2147483648.0 && valore <= 2147483647.0);
}

int32_t Intero32(const std::string& testo) {
    const double v = Arrotonda(testo);
    if (FuoriDa32(v)) throw ErroreStandard(num::Overflow);
    return static_cast<int32_t>(v);
}

int16_t Percentuale(double fatti, double totale) {
    const double pc = std::nearbyint(fatti / totale * 100.0);
    return static_cast<int16_t>(std::min(pc, 100.0));
}

}  // namespace bv
