// Date and time: the clock, and the forms the program shows them in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace bv {

struct DataOra {
    int anno = 0;
    int mese = 0;  // 1..12
    int giorno = 0;
    int ora = 0;
    int minuto = 0;
    int secondo = 0;
};

// The local date and time now.
DataOra Adesso();
// The local date and time of a moment given in seconds since 1970.
DataOra DaSecondi(int64_t secondi);

// The system's clock, whatever a test put in its place.
DataOra OraDiSistema();
// Replaces the clock (tests); an empty function goes back to the real one.
void ImpostaOrologio(std::function<DataOra()> orologio);

// Whether year, month and day make a date of the calendar.
bool DataValida(int anno, int mese, int giorno);

// The abbreviated name of a month (1..12) in the user's locale; Italian (gen ... dic) when the
// locale is the plain C/POSIX one or cannot be loaded.
std::string AbbreviazioneMese(int mese);

// "gen" ... "dic".
std::string MeseItaliano(int mese);
// A date in the user's short date format; dd/MM/yyyy in the plain C/POSIX locale.
std::string DataBreve(const DataOra& data);

// "yyyy-mmm-dd hh:mm:ss", the log's timestamp.
std::string TimestampLog(const DataOra& data);

// Pattern formatting with yyyy, MM, dd, hh (00..23), mm, ss: "yyyy/MM/dd", "hh:mm:ss", "yyyyMMdd".
std::string FormattaData(const DataOra& data, const std::string& modello);

}  // namespace bv
