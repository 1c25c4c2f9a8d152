// Locks on Windows: a file in the program folder, held open sharing nothing. It excludes copies
// of every session and user (a named mutex of the session would not: a second session over
// remote desktop ran beside the first); the system closes it when the process ends, however it
// ends.
#include <windows.h>

#include <string>

#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/istanza.h"
#include "platform/programma.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {

// The lock file itself, never what a link of that name leads to.
HANDLE ApriBlocco(const std::wstring& percorso, DWORD accesso) {
    return ::CreateFileW(percorso.c_str(), accesso, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Whether a file can be made in the folder: a probe, gone when its handle is closed.
bool CartellaScrivibile(std::wstring cartella) {
    if (cartella.empty()) cartella = L".";
    if (cartella.back() != L'\\' && cartella.back() != L'/') cartella += L'\\';
    const std::wstring prova =
        cartella + L"~bvbackup-prova-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    const HANDLE h = ::CreateFileW(
        prova.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
        nullptr);
    if (h == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_EXISTS;
    ::CloseHandle(h);
    return true;
}

}  // namespace

bool BloccoEsclusivo::Acquisisci() {
    if (fd_ != -1) return true;
    const std::string& percorso = percorso_;
    const std::wstring largo = Largo(percorso);
    HANDLE h = ApriBlocco(largo, GENERIC_READ | GENERIC_WRITE);
    DWORD errore = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    // Another user's lock file: a lock needs no write permission.
    if (h == INVALID_HANDLE_VALUE && errore == ERROR_ACCESS_DENIED) {
        h = ApriBlocco(largo, GENERIC_READ);
        errore = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    }
    if (h == INVALID_HANDLE_VALUE) {
        if (errore == ERROR_SHARING_VIOLATION || errore == ERROR_LOCK_VIOLATION) return false;
        // In a program folder that is missing or cannot be written no operation can run (the
        // start refuses it): no lock is needed there. Anything else (another user's lock file
        // that cannot be opened, a folder of that name) is no lock, and running without one
        // would let two copies clash.
        if (!CartellaScrivibile(Largo(CartellaDi(percorso)))) return true;
        throw ErroreBloccoIstanza(percorso, static_cast<int>(errore));
    }
    // A link (or another reparse point) of that name is no lock file.
    FILE_ATTRIBUTE_TAG_INFO info{};
    const bool letto =
        ::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &info, sizeof info) != 0;
    if (!letto || (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        errore = letto ? static_cast<DWORD>(ERROR_CANT_RESOLVE_FILENAME) : ::GetLastError();
        ::CloseHandle(h);
        throw ErroreBloccoIstanza(percorso, static_cast<int>(errore));
    }
    fd_ = reinterpret_cast<intptr_t>(h);
    return true;
}

void CediPrimoPiano() {
    // The program the user just started may give the foreground to the running copy, whose
    // own request would only make its taskbar button flash.
    ::AllowSetForegroundWindow(ASFW_ANY);
}

void BloccoEsclusivo::Rilascia() {
    if (fd_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(fd_));
    fd_ = -1;
}

}  // namespace bv
