// Settings on Windows: REG_SZ values under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>, where the
// earlier module kept them, so an existing user's values are found.
#include <windows.h>

#include "platform/errore.h"
#include "platform/impostazioni.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {
std::wstring Chiave(const std::string& applicazione, const std::string& sezione) {
    return Largo("Software\\VB and VBA Program Settings\\" + applicazione + "\\" + sezione);
}
}  // namespace

std::string LeggiImpostazione(const std::string& applicazione, const std::string& sezione,
                              const std::string& chiave, const std::string& predefinito) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, Chiave(applicazione, sezione).c_str(), 0,
                        KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) {
        return predefinito;
    }
    const std::wstring nome = Largo(chiave);
    DWORD tipo = 0;
    DWORD byte = 0;
    std::string valore = predefinito;
    if (::RegQueryValueExW(k, nome.c_str(), nullptr, &tipo, nullptr, &byte) == ERROR_SUCCESS &&
        tipo == REG_SZ) {
        std::wstring testo(byte / sizeof(wchar_t) + 1, L'\0');
        DWORD n = static_cast<DWORD>(testo.size() * sizeof(wchar_t));
        if (::RegQueryValueExW(k, nome.c_str(), nullptr, &tipo,
                               reinterpret_cast<BYTE*>(testo.data()), &n) == ERROR_SUCCESS) {
            testo.resize(n / sizeof(wchar_t));
            while (!testo.empty() && testo.back() == L'\0') testo.pop_back();
            valore = Stretto(testo);
        }
    }
    ::RegCloseKey(k);
    return valore;
}

void SalvaImpostazione(const std::string& applicazione, const std::string& sezione,
                       const std::string& chiave, const std::string& valore) {
    const std::wstring percorso = Chiave(applicazione, sezione);
    HKEY k = nullptr;
    LSTATUS r = ::RegCreateKeyExW(HKEY_CURRENT_USER, percorso.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &k, nullptr);
    if (r == ERROR_SUCCESS) {
        const std::wstring testo = Largo(valore);
        r = ::RegSetValueExW(k, Largo(chiave).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(testo.c_str()),
                             static_cast<DWORD>((testo.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(k);
    }
    if (r != ERROR_SUCCESS) {
        throw ErroreDaCodiceWin32(static_cast<uint32_t>(r),
                                  "HKEY_CURRENT_USER\\" + Stretto(percorso), Oggetto::File,
                                  "RegSetValueExW", TestoCodiceWin32(static_cast<DWORD>(r)));
    }
}

}  // namespace bv
