// The descriptor beside every block of a backup set: its 13 lines as written, what the rebuild
// reads back from them, and the rule by which the numbers read back are taken.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/data_ora.h"

namespace bv {

struct Descrittore {
    DataOra inizio;        // DATA and ORA: when the writer started
    DataOra termine;       // TERMINE_BLOCCO: when this block was finished
    std::string nomefile;  // the set name
    int32_t dimensioneFile = 0;
    std::string cartella;  // DEST: the folder as the writer used it
    int32_t numero = 0;    // n: the block's number from 0
    int32_t dimensioneBlocco = 0;
    bool ultimo = false;
};

// The program identity every descriptor carries.
inline constexpr const char* kApplicazioneSpan = "Brelvano.exe";

// The descriptor's bytes: 13 lines ended by CR LF, in the Windows-1252 code page.
std::string TestoDescrittore(const Descrittore& d);

// A descriptor as the rebuild reads it back, whoever wrote it: the keys of [SPAN] by the INI
// reader's rules (any case, the first of a repeated key), a missing or blank value as "".
struct DescrittoreLetto {
    std::string app;   // APP, without its surrounding blanks
    std::string data;  // DATA and ORA as written: the run's start, the same in all its blocks
    std::string ora;
    // SIZE_FILE and SIZE_BLOCCO by Arrotonda (0 when missing), held within 64 bits: a value
    // outside 32 is never a valid one.
    int64_t dimensioneFile = 0;
    int64_t dimensioneBlocco = 0;
    std::optional<bool> ultimo;  // ULTIMO rounded is not 0; none when missing
};
DescrittoreLetto LeggiDescrittore(const std::string& testo);

// The leading number of a value: blanks ignored throughout, optional sign, digits, optional
// fraction ("12abc" is 12, "1 00" is 100, no digits is 0).
double NumeroIniziale(const std::string& testo);

// The leading number rounded to an integer, halves to even ("0.5" is 0, "1.5" is 2).
double Arrotonda(const std::string& testo);
// Whether a rounded number lies outside the 32-bit signed range.
bool FuoriDa32(double valore);
// A leading number rounded (halves to even) to a 32-bit signed value; Overflow (6) outside it.
int32_t Intero32(const std::string& testo);

// Percentage done, rounded halves to even, at most 100.
int16_t Percentuale(double fatti, double totale);

}  // namespace bv
