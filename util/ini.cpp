// The settings-file reader: the rules of the platform's profile reader, portable.
#include "platform/codifica.h"
#include "platform/filesystem.h"
#include "util/koutilita.h"

namespace bv {

namespace {

// The reader's buffer holds 2000 characters with the terminator.
constexpr size_t kMassimoCaratteri = 1999;

std::string Trim(std::string_view s) {
    const auto inizio = s.find_first_not_of(" \t");
    if (inizio == std::string_view::npos) return {};
    const auto fine = s.find_last_not_of(" \t");
    return std::string(s.substr(inizio, fine - inizio + 1));
}

// The first n characters of a UTF-8 text, never cutting a character in two.
std::string PrimiCaratteri(const std::string& s, size_t n) {
    size_t caratteri = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (caratteri == n) return s.substr(0, i);
            ++caratteri;
        }
    }
    return s;
}

}  // namespace

std::string koUtilita::LeggiINI(const std::string& fileINI, const std::string& Sezione,
                                const std::string& chiave, const std::string& DefaultValore) const {
    std::string contenuto;
    try {
        contenuto = LeggiFileTesto(fileINI);
    } catch (...) {
        return DefaultValore;
    }
    return LeggiINIDaTesto(contenuto, Sezione, chiave, DefaultValore);
}

std::string koUtilita::LeggiINIDaTesto(std::string contenuto, const std::string& Sezione,
                                       const std::string& chiave,
                                       const std::string& DefaultValore) const {
    // Descriptors are written in the Windows code page; a file in UTF-8 reads as it is.
    if (!Utf8Valido(contenuto)) contenuto = Cp1252AUtf8(contenuto);
    if (contenuto.starts_with("\xEF\xBB\xBF")) contenuto.erase(0, 3);

    const std::string sezioneCercata = Maiuscolo(Trim(Sezione));
    const std::string chiaveCercata = Maiuscolo(Trim(chiave));
    bool inSezione = false;
    size_t inizio = 0;
    while (inizio <= contenuto.size()) {
        size_t fine = contenuto.find('\n', inizio);
        if (fine == std::string::npos) fine = contenuto.size();
        std::string riga = contenuto.substr(inizio, fine - inizio);
        inizio = fine + 1;
        if (!riga.empty() && riga.back() == '\r') riga.pop_back();
        riga = Trim(riga);
        if (riga.empty() || riga[0] == ';') continue;
        if (riga[0] == '[') {
            const auto chiusa = riga.find(']');
            inSezione = chiusa != std::string::npos &&
                        Maiuscolo(Trim(riga.substr(1, chiusa - 1))) == sezioneCercata;
            continue;
        }
        if (!inSezione) continue;
        const auto uguale = riga.find('=');
        if (uguale == std::string::npos ||
            Maiuscolo(Trim(riga.substr(0, uguale))) != chiaveCercata) {
            continue;
        }
        std::string valore = Trim(riga.substr(uguale + 1));
        if (valore.size() >= 2 && (valore.front() == '"' || valore.front() == '\'') &&
            valore.back() == valore.front()) {
            valore = valore.substr(1, valore.size() - 2);
        }
        valore = Spazi(PrimiCaratteri(valore, kMassimoCaratteri));
        return valore.empty() ? DefaultValore : valore;
    }
    return DefaultValore;
}

}  // namespace bv
