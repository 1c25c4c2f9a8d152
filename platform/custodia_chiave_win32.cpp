// The key's store on Windows: encrypted for the current user by DPAPI (CryptProtectData), in
// a file of the user's application-data folder; only that user on this computer reads it back.
#include <windows.h>
#include <dpapi.h>
#include <shlobj.h>

#include <vector>

#include "platform/custodia_chiave.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/testo_win32.h"

namespace bv {

std::string PercorsoCustodiaChiave() {
    wchar_t cartella[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, cartella) != S_OK) return {};
    return Stretto(cartella) + "\\BVBackup\\chiave-ripristino.dpapi";
}

std::string LeggiChiaveCustodita() {
    try {
        const std::string percorso = PercorsoCustodiaChiave();
        if (percorso.empty() || !Fs().Info(percorso).file) return {};
        std::vector<uint8_t> cifrato = LeggiFile(percorso);
        DATA_BLOB in{static_cast<DWORD>(cifrato.size()), cifrato.data()};
        DATA_BLOB out{};
        if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                                &out))
            return {};
        std::string chiave(reinterpret_cast<const char*>(out.pbData), out.cbData);
        SecureZeroMemory(out.pbData, out.cbData);
        LocalFree(out.pbData);
        return chiave;
    } catch (const Errore&) {
        return {};
    }
}

void CustodisciChiave(const std::string& chiave) {
    const std::string percorso = PercorsoCustodiaChiave();
    if (percorso.empty()) throw ErroreStandard(num::ErroreInterno, "cartella AppData");
    const std::string cartella = CartellaDi(percorso);
    if (!Fs().Info(cartella).cartella) Fs().CreaCartella(cartella);
    std::string copia = chiave;
    DATA_BLOB in{static_cast<DWORD>(copia.size()), reinterpret_cast<BYTE*>(copia.data())};
    DATA_BLOB out{};
    if (!CryptProtectData(&in, L"BVBackup", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                          &out))
        throw ErroreDaCodiceWin32(GetLastError(), percorso, Oggetto::File, "CryptProtectData");
    const std::vector<uint8_t> dati(out.pbData, out.pbData + out.cbData);
    LocalFree(out.pbData);
    ScriviFileAtomico(percorso, dati.data(), dati.size());
}

}  // namespace bv
