// Windows only: UTF-8 inside the program, UTF-16 at every Win32 call, and the last system
// error turned into the program's Errore.
#pragma once

#include <windows.h>

#include <string>

#include "platform/errore.h"

namespace bv {

// UTF-8 to UTF-16 and back (invalid sequences become U+FFFD).
std::wstring Largo(const std::string& testo);
std::string Stretto(const std::wstring& testo);
std::string Stretto(const wchar_t* testo, size_t n);

// A REG_SZ value of an open key: found with its text; a value of another type: found, empty
// text; missing: not found.
struct TestoRegistro {
    bool trovato = false;
    bool reg_sz = false;  // a text value (REG_SZ)
    std::string testo;
};
TestoRegistro LeggiValoreTesto(HKEY chiave, const std::wstring& nome);

// The system's own text of an error code, for the log.
std::string TestoCodiceWin32(DWORD codice);

// The error of a failed call from GetLastError(), with the path after the Italian text.
[[noreturn]] void FallisciWin32(const std::string& percorso, Oggetto oggetto, const char* operazione);

}  // namespace bv
