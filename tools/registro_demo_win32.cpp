// The demo registered in the Windows registry, as an installation would register the host.
#include <windows.h>

#include "platform/errore.h"
#include "platform/testo_win32.h"
#include "tools/dati_demo.h"

namespace bv::strumenti {

void RegistraNelSistema(const std::vector<ValoreDemo>& valori) {
    for (const ValoreDemo& v : valori) {
        const auto p = v.chiave.find('\\');
        const std::string radice = v.chiave.substr(0, p);
        const HKEY r = radice == "HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        const REGSAM vista = r == HKEY_LOCAL_MACHINE ? KEY_WOW64_32KEY : 0;
        HKEY k = nullptr;
        LSTATUS e = ::RegCreateKeyExW(r, Largo(v.chiave.substr(p + 1)).c_str(), 0, nullptr, 0,
                                      KEY_SET_VALUE | vista, nullptr, &k, nullptr);
        if (e == ERROR_SUCCESS) {
            const std::wstring testo = Largo(v.testo);
            e = ::RegSetValueExW(k, Largo(v.nome).c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(testo.c_str()),
                                 static_cast<DWORD>((testo.size() + 1) * sizeof(wchar_t)));
            ::RegCloseKey(k);
        }
        if (e != ERROR_SUCCESS) {
            throw ErroreDaCodiceWin32(static_cast<uint32_t>(e), v.chiave, Oggetto::File,
                                      "RegSetValueExW", TestoCodiceWin32(static_cast<DWORD>(e)));
        }
    }
}

}  // namespace bv::strumenti
