// The program's one error type: a number and the Italian description the user reads,
// plus an optional technical detail that only goes to the log.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace bv {

class Errore : public std::runtime_error {
  public:
    Errore(int32_t numero, std::string descrizione, std::string dettaglio = {});

    int32_t Numero() const noexcept { return numero_; }
    // The system's own code (errno) of a failed file-system call, 0 otherwise.
    int CodiceSistema() const noexcept { return codiceSistema_; }
    Errore& CodiceSistema(int codice) noexcept {
        codiceSistema_ = codice;
        return *this;
    }
    // Whether a rename failed only because the two names lie on different volumes (then a
    // copy serves), whatever the platform's code for it.
    bool TraVolumi() const noexcept { return traVolumi_; }
    Errore& TraVolumi(bool v) noexcept {
        traVolumi_ = v;
        return *this;
    }
    const std::string& Descrizione() const noexcept { return descrizione_; }
    const std::string& Dettaglio() const noexcept { return dettaglio_; }

  private:
    int32_t numero_;
    std::string descrizione_;
    std::string dettaglio_;
    int codiceSistema_ = 0;
    bool traVolumi_ = false;
};

// Standard numbers of the platform's runtime errors.
namespace num {
inline constexpr int32_t ArgomentoNonValido = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t MemoriaEsaurita = 7;
inline constexpr int32_t IndiceFuoriIntervallo = 9;
inline constexpr int32_t TipoNonCorrispondente = 13;
inline constexpr int32_t ErroreInterno = 51;
inline constexpr int32_t NomeFileNonValido = 52;
inline constexpr int32_t FileNonTrovato = 53;
inline constexpr int32_t FileGiaAperto = 55;
inline constexpr int32_t ErroreIO = 57;
inline constexpr int32_t FileGiaEsistente = 58;
inline constexpr int32_t DiscoPieno = 61;
inline constexpr int32_t PerifericaNonDisponibile = 68;
inline constexpr int32_t AutorizzazioneNegata = 70;
inline constexpr int32_t DiscoNonPronto = 71;
inline constexpr int32_t AccessoPercorso = 75;
inline constexpr int32_t PercorsoNonTrovato = 76;
inline constexpr int32_t ValoreProprietaNonValido = 380;
}  // namespace num

// An error's text with each "{}" in it replaced by the next of `nomi` (the file, the folder the
// message names), in order.
std::string Componi(std::string_view testo, std::initializer_list<std::string_view> nomi);

// The Italian text of a standard number ("" for numbers that are not standard).
std::string TestoErroreStandard(int32_t numero);

// A standard runtime error with its Italian text.
Errore ErroreStandard(int32_t numero, std::string dettaglio = {});

// What a failing file-system call was working on: decides 53 or 76 for a missing name.
enum class Oggetto { File, Cartella };

// Turns an errno of a failed file-system call into the standard error, with the path after
// the text so the user knows which file; the call and the system's text go to the detail.
Errore ErroreDaErrno(int codice, const std::string& percorso, Oggetto oggetto,
                     const std::string& operazione);

// The standard number of a Windows system error code (GetLastError) of a failed file-system
// call; portable, so its table is tested on every platform.
int32_t NumeroDaCodiceWin32(uint32_t codice, Oggetto oggetto);

// As ErroreDaErrno, for a Windows system error code; `testoSistema` is the system's own text
// of the code, for the detail.
Errore ErroreDaCodiceWin32(uint32_t codice, const std::string& percorso, Oggetto oggetto,
                           const std::string& operazione, const std::string& testoSistema = {});

// Inside a catch block: the exception being handled as an Errore, so that a handler can show
// any failure (out of memory 7, anything unexpected 51) the way it shows the program's own.
Errore ErroreCorrente();

}  // namespace bv
