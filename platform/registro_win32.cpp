// The registry on Windows, read through the registry API: the 32-bit view first (where a
// 32-bit host registers), then the 64-bit one.
#include <windows.h>

#include "platform/registro.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {
// The buffer a value is read into: longer values are not read (the settings are folders,
// well within it).
constexpr size_t kBufferValore = 1024;

HKEY Radice(RadiceRegistro radice) {
    return radice == RadiceRegistro::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

ValoreRegistro LeggiVista(HKEY radice, const std::wstring& chiave, const std::wstring& nome,
                          REGSAM vista) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(radice, chiave.c_str(), 0, KEY_QUERY_VALUE | vista, &k) != ERROR_SUCCESS)
        return {};
    const TestoRegistro letto = LeggiValoreTesto(k, nome);
    ValoreRegistro v{letto.trovato, letto.testo};
    if (v.testo.size() + 1 > kBufferValore) v = {};
    ::RegCloseKey(k);
    return v;
}
}  // namespace

std::string PercorsoFileRegistro() {
    return {};  // the real registry: no file stands in for it
}

std::string NomeRadice(RadiceRegistro radice) {
    return radice == RadiceRegistro::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

ValoreRegistro LeggiRegistro(RadiceRegistro radice, const std::string& chiave,
                             const std::string& nome) {
    const std::wstring k = Largo(chiave);
    const std::wstring n = Largo(nome);
    for (const REGSAM vista : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        const ValoreRegistro v = LeggiVista(Radice(radice), k, n, vista);
        if (v.trovato) return v;
    }
    return {};
}

}  // namespace bv
