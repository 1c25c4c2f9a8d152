// Settings on Windows: REG_SZ values under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>, where the
// host keeps its own (the data folder) and where a user's values saved there before are found.
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
    // Only a text value counts: any other type reads as absent.
    const TestoRegistro letto = LeggiValoreTesto(k, Largo(chiave));
    const std::string valore = letto.reg_sz ? letto.testo : predefinito;
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
