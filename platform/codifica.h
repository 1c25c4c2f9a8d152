// Text conversions the program needs: UTF-8 (our strings) to and from the Windows-1252
// code page (descriptors) and UTF-16LE (registry exports), and case folding as Windows does it.
#pragma once

#include <string>
#include <string_view>

namespace bv {

bool Utf8Valido(std::string_view testo);
// A character the code page cannot hold becomes "?".
std::string Utf8ACp1252(std::string_view testo);
std::string Cp1252AUtf8(std::string_view testo);
std::string Utf16leAUtf8(std::string_view byte);
std::string Utf8AUtf16le(std::string_view testo);

// Upper and lower case of letters of the Latin alphabets (ASCII, Latin-1, Latin Extended-A),
// which covers every name the program derives or compares.
std::string Maiuscolo(std::string_view testo);
std::string Minuscolo(std::string_view testo);
bool UgualiIgnorandoMaiuscole(std::string_view a, std::string_view b);

// Code points of a UTF-8 text (an invalid byte gives U+FFFD) and back.
std::u32string Utf8AUtf32(std::string_view testo);
std::string Utf32AUtf8(std::u32string_view testo);
// The upper-case form of one code point (see Maiuscolo).
char32_t MaiuscolaDi(char32_t c);

// Blanks (spaces) removed at both ends, as the program's trimming does.
std::string Spazi(std::string_view testo);

}  // namespace bv
