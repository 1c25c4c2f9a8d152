// Fuzz target: the descriptor as the rebuild reads it (the settings-file reader and the number
// rules). Nothing may crash, and the numbers obey their rules.
#include <cmath>

#include "fuzz/comune.h"
#include "span/descrittore.h"
#include "util/koutilita.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
    using namespace bv;
    const std::string file = fuzz::ScriviFile("descrittore.inf", dati, n);
    koUtilita u;
    for (const char* chiave : {"ULTIMO", "SIZE_BLOCCO", "SIZE_FILE", "APP", "DATA", "ORA"}) {
        const std::string v = u.LeggiINI(file, "SPAN", chiave, "0");
        const double numero = NumeroIniziale(v);
        const double arrotondato = Arrotonda(v);
        if (std::isfinite(numero) && std::fabs(arrotondato - numero) > 0.5)
            fuzz::Viola("arrotondamento oltre mezza unita'");
        if (!FuoriDa32(arrotondato)) (void)Intero32(v);
    }
    (void)LeggiDescrittore(std::string(reinterpret_cast<const char*>(dati), n));
    return 0;
}
