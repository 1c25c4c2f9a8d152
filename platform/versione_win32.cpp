// The version of a file on Windows: the system's version API and the fixed file info.
#include <windows.h>

#include <vector>

#include "platform/testo_win32.h"
#include "platform/versione_pe.h"

namespace bv {

std::optional<VersionePe> LeggiVersioneFile(const std::string& percorso) {
    const std::wstring w = Largo(percorso);
    DWORD zero = 0;
    const DWORD n = ::GetFileVersionInfoSizeW(w.c_str(), &zero);
    if (n == 0) return std::nullopt;  // no file, no image or no version resource
    std::vector<unsigned char> dati(n);
    if (!::GetFileVersionInfoW(w.c_str(), 0, n, dati.data())) return std::nullopt;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT lunghezza = 0;
    if (!::VerQueryValueW(dati.data(), L"\\", reinterpret_cast<void**>(&info), &lunghezza) ||
        info == nullptr || lunghezza < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    return VersionePe{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                      HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

}  // namespace bv
