// Reading and in-place editing of registry export files.
#include "platform/file_reg.h"

#include <cctype>
#include <optional>

#include "platform/codifica.h"

namespace bv {

namespace {

constexpr std::string_view kIntestazione = "Windows Registry Editor Version 5.00";

std::string TrimSpazi(std::string_view s) {
    const auto inizio = s.find_first_not_of(" \t");
    if (inizio == std::string_view::npos) return {};
    const auto fine = s.find_last_not_of(" \t");
    return std::string(s.substr(inizio, fine - inizio + 1));
}

// The canonical form of a key path for comparison: full root name, upper case, no trailing "\".
std::string NormalizzaChiave(std::string_view chiave) {
    std::string c = Maiuscolo(TrimSpazi(chiave));
    while (!c.empty() && c.back() == '\\') c.pop_back();
    auto sostituisci = [&c](std::string_view breve, std::string_view lungo) {
        if (c == breve ||
            (c.starts_with(breve) && c.size() > breve.size() && c[breve.size()] == '\\')) {
            c = std::string(lungo) + c.substr(breve.size());
        }
    };
    sostituisci("HKLM", "HKEY_LOCAL_MACHINE");
    sostituisci("HKCU", "HKEY_CURRENT_USER");
    return c;
}

std::string ChiaveCompleta(std::string_view chiave) {
    std::string c = TrimSpazi(chiave);
    while (!c.empty() && c.back() == '\\') c.pop_back();
    const std::string m = Maiuscolo(c);
    if (m == "HKLM" || m.starts_with("HKLM\\")) return "HKEY_LOCAL_MACHINE" + c.substr(4);
    if (m == "HKCU" || m.starts_with("HKCU\\")) return "HKEY_CURRENT_USER" + c.substr(4);
    return c;
}

// Reads a quoted string with the format's escapes from position i (at the opening quote).
// Returns false when the closing quote is missing.
bool LeggiStringa(std::string_view s, size_t& i, std::string& out) {
    ++i;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out += s[i + 1];
            i += 2;
        } else if (c == '"') {
            ++i;
            return true;
        } else {
            out += c;
            ++i;
        }
    }
    return false;
}

std::string Escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

bool HaControlli(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

// A string with line breaks or other control characters cannot stand between quotes on one
// line: it is written as the registry editor writes such a string, its UTF-16LE bytes.
std::string Hex1(std::string_view testo) {
    const std::string byte = Utf8AUtf16le(testo) + std::string(2, '\0');
    static const char* const cifre = "0123456789abcdef";
    std::string r = "hex(1):";
    for (size_t i = 0; i < byte.size(); ++i) {
        if (i > 0) r += ',';
        const auto b = static_cast<unsigned char>(byte[i]);
        r += cifre[b >> 4];
        r += cifre[b & 15];
    }
    return r;
}

std::optional<std::string> DaHex1(std::string_view dati) {
    std::string byte;
    for (size_t i = 0; i < dati.size();) {
        while (i < dati.size() && (dati[i] == ',' || dati[i] == ' ' || dati[i] == '\t')) ++i;
        if (i >= dati.size()) break;
        if (i + 1 >= dati.size() || !std::isxdigit(static_cast<unsigned char>(dati[i])) ||
            !std::isxdigit(static_cast<unsigned char>(dati[i + 1])))
            return std::nullopt;
        byte += static_cast<char>(std::stoi(std::string(dati.substr(i, 2)), nullptr, 16));
        i += 2;
    }
    while (byte.size() >= 2 && byte[byte.size() - 1] == '\0' && byte[byte.size() - 2] == '\0')
        byte.resize(byte.size() - 2);
    return Utf16leAUtf8(byte);
}

std::string RigaValore(std::string_view nome, std::string_view testo) {
    const std::string n = nome.empty() ? "@" : "\"" + Escape(nome) + "\"";
    if (HaControlli(testo)) return n + "=" + Hex1(testo);
    return n + "=\"" + Escape(testo) + "\"";
}

}  // namespace

struct DocumentoReg::Voce {
    enum class Tipo { Chiave, Valore } tipo;
    size_t prima = 0;    // first line
    size_t ultima = 0;   // last line (continuations of hex data)
    std::string chiave;  // normalised key of the section the entry is in ("" = none)
    std::string nome;    // value name as written
    ValoreReg valore;
    bool cancellazione = false;
};

DocumentoReg::DocumentoReg() {
    righe_ = {std::string(kIntestazione), ""};
}

DocumentoReg DocumentoReg::Analizza(std::string_view contenuto) {
    DocumentoReg doc;
    doc.righe_.clear();
    std::string testo;
    if (contenuto.size() >= 2 && static_cast<unsigned char>(contenuto[0]) == 0xFF &&
        static_cast<unsigned char>(contenuto[1]) == 0xFE) {
        doc.utf16_ = true;
        testo = Utf16leAUtf8(contenuto.substr(2));
    } else if (contenuto.starts_with("\xEF\xBB\xBF")) {
        doc.bom_ = true;
        testo = std::string(contenuto.substr(3));
    } else {
        testo = std::string(contenuto);
    }
    doc.fineRiga_ = testo.find("\r\n") != std::string::npos || testo.empty() ? "\r\n" : "\n";
    size_t inizio = 0;
    while (inizio < testo.size()) {
        size_t fine = testo.find('\n', inizio);
        if (fine == std::string::npos) fine = testo.size();
        std::string riga = testo.substr(inizio, fine - inizio);
        if (!riga.empty() && riga.back() == '\r') riga.pop_back();
        doc.righe_.push_back(std::move(riga));
        inizio = fine + 1;
    }
    if (!testo.empty() && testo.back() == '\n') doc.righe_.emplace_back();
    return doc;
}

std::vector<DocumentoReg::Voce> DocumentoReg::Voci() const {
    std::vector<Voce> voci;
    std::string chiave;
    for (size_t i = 0; i < righe_.size(); ++i) {
        const std::string riga = TrimSpazi(righe_[i]);
        if (riga.empty() || riga[0] == ';') continue;
        if (riga.front() == '[' && riga.back() == ']' && riga.size() >= 2) {
            const std::string interno = riga.substr(1, riga.size() - 2);
            Voce v{Voce::Tipo::Chiave, i, i, {}, {}, {}, false};
            v.cancellazione = !interno.empty() && interno[0] == '-';
            chiave = v.cancellazione ? std::string() : NormalizzaChiave(interno);
            v.chiave = chiave;
            voci.push_back(std::move(v));
            continue;
        }
        // A value line: "name"=data or @=data.
        size_t p = 0;
        std::string nome;
        if (riga[0] == '@') {
            p = 1;
        } else if (riga[0] == '"') {
            if (!LeggiStringa(riga, p, nome)) continue;
        } else {
            continue;
        }
        while (p < riga.size() && (riga[p] == ' ' || riga[p] == '\t')) ++p;
        if (p >= riga.size() || riga[p] != '=') continue;
        ++p;
        while (p < riga.size() && (riga[p] == ' ' || riga[p] == '\t')) ++p;
        std::string dati = riga.substr(p);
        Voce v{Voce::Tipo::Valore, i, i, chiave, nome, {}, false};
        if (!dati.empty() && dati[0] == '"') {
            size_t q = 0;
            std::string t;
            if (!LeggiStringa(dati, q, t) || !TrimSpazi(dati.substr(q)).empty()) continue;
            v.valore = {ValoreReg::Tipo::Testo, std::move(t)};
        } else {
            // hex data may go on over lines ending in a backslash
            // Each line that ends in a backslash takes the next one; an empty line ends the
            // value (so "\\" at the end of a line cannot swallow the next key).
            const bool esadecimale = Maiuscolo(dati).starts_with("HEX");
            while (esadecimale && !dati.empty() && dati.back() == '\\' &&
                   v.ultima + 1 < righe_.size()) {
                ++v.ultima;
                dati.pop_back();
                const std::string seguito = TrimSpazi(righe_[v.ultima]);
                dati += seguito;
                if (seguito.empty() || seguito.back() != '\\') break;
            }
            i = v.ultima;
            if (dati == "-") {
                v.cancellazione = true;
            } else if (Maiuscolo(dati).starts_with("HEX(1):")) {
                if (auto t = DaHex1(std::string_view(dati).substr(7))) {
                    v.valore = {ValoreReg::Tipo::Testo, std::move(*t)};
                } else {
                    v.valore = {ValoreReg::Tipo::Altro, {}};
                }
            } else if (Maiuscolo(dati).starts_with("HEX(2):")) {
                v.valore = {ValoreReg::Tipo::TestoEspandibile, {}};
            } else {
                v.valore = {ValoreReg::Tipo::Altro, {}};
            }
        }
        if (!chiave.empty()) voci.push_back(std::move(v));
    }
    return voci;
}

std::optional<ValoreReg> DocumentoReg::Leggi(std::string_view chiave, std::string_view nome) const {
    const std::string c = NormalizzaChiave(chiave);
    const std::string n = Maiuscolo(nome);
    std::optional<ValoreReg> trovato;
    for (const Voce& v : Voci()) {
        if (v.tipo == Voce::Tipo::Valore && v.chiave == c && Maiuscolo(v.nome) == n) {
            if (v.cancellazione) {
                trovato.reset();
            } else {
                trovato = v.valore;
            }
        }
    }
    return trovato;
}

std::vector<DocumentoReg::ValoreTesto> DocumentoReg::ValoriTesto() const {
    std::vector<ValoreTesto> valori;
    for (const Voce& v : Voci()) {
        if (v.tipo == Voce::Tipo::Valore && !v.cancellazione && !v.chiave.empty() &&
            v.valore.tipo == ValoreReg::Tipo::Testo) {
            valori.push_back({v.chiave, v.nome, v.valore.testo});
        }
    }
    return valori;
}

void DocumentoReg::Imposta(std::string_view chiave, std::string_view nome, std::string_view testo) {
    const std::string c = NormalizzaChiave(chiave);
    const std::string n = Maiuscolo(nome);
    const auto voci = Voci();
    const Voce* valore = nullptr;
    const Voce* sezione = nullptr;
    size_t fineSezione = 0;  // last line of an entry in the last matching section
    for (const Voce& v : voci) {
        if (v.tipo == Voce::Tipo::Chiave) {
            if (v.chiave == c && !c.empty()) {
                sezione = &v;
                fineSezione = v.ultima;
            }
        } else if (v.chiave == c) {
            if (Maiuscolo(v.nome) == n) valore = &v;
            if (sezione != nullptr && v.prima > sezione->prima) fineSezione = v.ultima;
        }
    }
    if (valore != nullptr && !valore->cancellazione) {
        // Keep the name as it is spelled in the file, as the registry keeps a value's name.
        righe_.erase(righe_.begin() + static_cast<long>(valore->prima) + 1,
                     righe_.begin() + static_cast<long>(valore->ultima) + 1);
        righe_[valore->prima] = RigaValore(valore->nome, testo);
        return;
    }
    if (sezione != nullptr) {
        auto dove = righe_.begin() + static_cast<long>(fineSezione) + 1;
        // After a line that would take the next as its continuation, a blank line first.
        if (const std::string prima = TrimSpazi(righe_[fineSezione]);
            !prima.empty() && prima.back() == '\\') {
            dove = righe_.insert(dove, std::string()) + 1;
        }
        righe_.insert(dove, RigaValore(nome, testo));
        return;
    }
    while (!righe_.empty() && TrimSpazi(righe_.back()).empty()) righe_.pop_back();
    if (righe_.empty()) righe_.emplace_back(kIntestazione);
    righe_.emplace_back();
    righe_.push_back("[" + ChiaveCompleta(chiave) + "]");
    righe_.push_back(RigaValore(nome, testo));
    righe_.emplace_back();
}

std::string DocumentoReg::Contenuto() const {
    std::string testo;
    for (size_t i = 0; i < righe_.size(); ++i) {
        testo += righe_[i];
        if (i + 1 < righe_.size()) testo += fineRiga_;
    }
    if (utf16_) return "\xFF\xFE" + Utf8AUtf16le(testo);
    return bom_ ? "\xEF\xBB\xBF" + testo : testo;
}

}  // namespace bv
