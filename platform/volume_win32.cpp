// Removable volumes on Windows: the drives the system calls removable, each known by its
// volume's serial number and label.
#include <windows.h>

#include <cwchar>

#include "platform/percorsi.h"
#include "platform/testo_win32.h"
#include "platform/volume.h"

namespace bv {

namespace {

std::optional<VolumeRimovibile> VolumeDiRadice(const std::wstring& radice) {
    if (::GetDriveTypeW(radice.c_str()) != DRIVE_REMOVABLE) return std::nullopt;
    // A drive without a medium answers with an error, not with the system's dialog.
    DWORD precedente = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &precedente);
    wchar_t etichetta[MAX_PATH + 1] = {};
    DWORD seriale = 0;
    const BOOL ok = ::GetVolumeInformationW(radice.c_str(), etichetta, MAX_PATH + 1, &seriale,
                                            nullptr, nullptr, nullptr, 0);
    ::SetThreadErrorMode(precedente, nullptr);
    if (ok == FALSE || seriale == 0) return std::nullopt;
    wchar_t identita[9] = {};
    std::swprintf(identita, 9, L"%08lX", static_cast<unsigned long>(seriale));
    VolumeRimovibile v;
    v.radice = Stretto(radice);
    v.etichetta = Stretto(etichetta);
    v.identita = Stretto(identita);
    return v;
}

}  // namespace

std::optional<VolumeRimovibile> VolumeRimovibileDi(const std::string& percorso) {
    const std::string unita = UnitaDi(percorso);
    if (!UnitaValida(unita)) return std::nullopt;
    return VolumeDiRadice(Largo(unita + "\\"));
}

std::vector<VolumeRimovibile> VolumiRimovibili() {
    std::vector<VolumeRimovibile> volumi;
    const DWORD unita = ::GetLogicalDrives();
    // From C: on: A: and B: are floppy drives, asked about only by their own destination.
    for (wchar_t lettera = L'C'; lettera <= L'Z'; ++lettera) {
        if ((unita & (1UL << (lettera - L'A'))) == 0) continue;
        const wchar_t radice[] = {lettera, L':', L'\\', L'\0'};
        if (auto v = VolumeDiRadice(radice)) volumi.push_back(std::move(*v));
    }
    return volumi;
}

}  // namespace bv
