#include "util/chiave_ripristino.h"

#include <cctype>
#include <cstring>
#include <sstream>

#include "platform/casuale.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "util/errori.h"

namespace bv::chiave {

namespace {

std::string InGruppi(const std::string& simboli) {
    std::string s;
    for (size_t i = 0; i < simboli.size(); ++i) {
        if (i > 0 && i % kGruppo == 0) s += '-';
        s += simboli[i];
    }
    return s;
}

}  // namespace

std::string Genera() {
    uint8_t casuali[kSimboli];
    ByteCasuali(casuali, sizeof casuali);
    std::string simboli;
    // 256 is a multiple of 32: each symbol uniform.
    for (const uint8_t b : casuali) simboli += kAlfabeto[b % 32];
    std::memset(casuali, 0, sizeof casuali);
    return InGruppi(simboli);
}

std::optional<std::string> Normalizza(const std::string& testo) {
    std::string simboli;
    for (const char c : testo) {
        if (c == ' ' || c == '-' || c == '\t') continue;
        const char m = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (std::strchr(kAlfabeto, m) == nullptr || m == '\0') return std::nullopt;
        simboli += m;
    }
    if (simboli.size() != kSimboli) return std::nullopt;
    return InGruppi(simboli);
}

std::string TestoDelFile(const std::string& chiave) {
    return "Chiave di ripristino dei backup cifrati di BVBackup:\r\n\r\n" + chiave +
           "\r\n\r\nConservarla lontano dal computer e dai dischi di backup: senza di essa i "
           "backup cifrati non si possono ripristinare.\r\n";
}

std::string LeggiDaFile(const std::string& percorso) {
    std::istringstream righe(LeggiFileTesto(percorso));
    std::string riga;
    while (std::getline(righe, riga)) {
        if (!riga.empty() && riga.back() == '\r') riga.pop_back();
        if (auto k = Normalizza(riga)) return *k;
    }
    throw errori::CreaCon(errori::ChiaveNonValida, {PercorsoPerMessaggio(percorso)}, percorso);
}

}  // namespace bv::chiave
