// Encodings and case folding for the Latin alphabets.
#include "platform/codifica.h"

#include <array>
#include <cstdint>
#include <vector>

namespace bv {

namespace {

// Windows-1252 bytes 0x80..0x9F; 0 where the code page leaves the byte undefined.
constexpr std::array<char32_t, 32> kCp1252Alto = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes UTF-8 into code points; an invalid sequence gives U+FFFD for its first byte.
std::vector<char32_t> Decodifica(std::string_view s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        int n = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            n = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            n = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            n = 3;
            cp = b & 0x07;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = i + static_cast<size_t>(n) < s.size();
        for (int k = 1; ok && k <= n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const bool troppoLungo =
            (n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000);
        if (!ok || troppoLungo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(n) + 1;
    }
    return out;
}

void Codifica(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t Maiuscola(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs: even upper, odd lower, except the 0x139..0x148 and
        // 0x179..0x17E runs where odd is upper.
        const bool dispariMaiuscola = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (dispariMaiuscola) return (c % 2 == 0) ? c - 1 : c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    return c;
}

char32_t Minuscola(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x17F) {
        const bool dispariMaiuscola = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (dispariMaiuscola) return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    return c;
}

template <typename F>
std::string Mappa(std::string_view testo, F f) {
    std::string out;
    out.reserve(testo.size());
    for (char32_t cp : Decodifica(testo)) Codifica(f(cp), out);
    return out;
}

}  // namespace

bool Utf8Valido(std::string_view testo) {
    // An invalid byte decodes to U+FFFD, whose encoding differs from the byte.
    std::string rifatto;
    rifatto.reserve(testo.size());
    for (char32_t c : Decodifica(testo)) Codifica(c, rifatto);
    return rifatto == testo;
}

std::string Utf8ACp1252(std::string_view testo) {
    std::string out;
    out.reserve(testo.size());
    for (char32_t cp : Decodifica(testo)) {
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char c = '?';
        for (size_t k = 0; k < kCp1252Alto.size(); ++k) {
            if (kCp1252Alto[k] != 0 && kCp1252Alto[k] == cp) c = static_cast<char>(0x80 + k);
        }
        out += c;
    }
    return out;
}

std::string Cp1252AUtf8(std::string_view testo) {
    std::string out;
    out.reserve(testo.size());
    for (char ch : testo) {
        const auto b = static_cast<unsigned char>(ch);
        char32_t cp = b;
        if (b >= 0x80 && b <= 0x9F) cp = kCp1252Alto[b - 0x80] != 0 ? kCp1252Alto[b - 0x80] : b;
        Codifica(cp, out);
    }
    return out;
}

std::string Utf16leAUtf8(std::string_view byte) {
    std::string out;
    out.reserve(byte.size() / 2);
    for (size_t i = 0; i + 1 < byte.size(); i += 2) {
        char32_t u = static_cast<unsigned char>(byte[i]) |
                     (static_cast<char32_t>(static_cast<unsigned char>(byte[i + 1])) << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < byte.size()) {
            const char32_t basso =
                static_cast<unsigned char>(byte[i + 2]) |
                (static_cast<char32_t>(static_cast<unsigned char>(byte[i + 3])) << 8);
            if (basso >= 0xDC00 && basso <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (basso - 0xDC00);
                i += 2;
            } else {
                u = 0xFFFD;
            }
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        Codifica(u, out);
    }
    return out;
}

std::string Utf8AUtf16le(std::string_view testo) {
    std::string out;
    auto unita = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    };
    for (char32_t cp : Decodifica(testo)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unita(0xD800 + (cp >> 10));
            unita(0xDC00 + (cp & 0x3FF));
        } else {
            unita(cp);
        }
    }
    return out;
}

std::u32string Utf8AUtf32(std::string_view testo) {
    const auto v = Decodifica(testo);
    return {v.begin(), v.end()};
}

std::string Utf32AUtf8(std::u32string_view testo) {
    std::string out;
    for (char32_t c : testo) Codifica(c, out);
    return out;
}

char32_t MaiuscolaDi(char32_t c) {
    return Maiuscola(c);
}

std::string Maiuscolo(std::string_view testo) {
    return Mappa(testo, Maiuscola);
}
std::string Minuscolo(std::string_view testo) {
    return Mappa(testo, Minuscola);
}

bool UgualiIgnorandoMaiuscole(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return Maiuscolo(a) == Maiuscolo(b);
}

std::string Spazi(std::string_view testo) {
    const auto inizio = testo.find_first_not_of(' ');
    if (inizio == std::string_view::npos) return {};
    const auto fine = testo.find_last_not_of(' ');
    return std::string(testo.substr(inizio, fine - inizio + 1));
}

}  // namespace bv
