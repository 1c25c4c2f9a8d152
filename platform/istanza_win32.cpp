// Locks on Windows: a file in the program folder, held open sharing nothing. It excludes copies
// of every session and user (a named mutex of the session would not: a second session over
// remote desktop ran beside the first); the system closes it when the process ends, however it
// ends.
#include <windows.h>

#include "platform/errore.h"
#include "platform/istanza.h"
#include "platform/programma.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {

HANDLE ApriBlocco(const std::wstring& percorso, DWORD accesso) {
    return ::CreateFileW(percorso.c_str(), accesso, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
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
        const DWORD attributi = ::GetFileAttributesW(largo.c_str());
        if (attributi != INVALID_FILE_ATTRIBUTES && (attributi & FILE_ATTRIBUTE_DIRECTORY) != 0)
            throw ErroreBloccoIstanza(percorso, static_cast<int>(errore));  // a folder of that name is no lock
        h = ApriBlocco(largo, GENERIC_READ);
        errore = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    }
    if (h == INVALID_HANDLE_VALUE) {
        if (errore == ERROR_SHARING_VIOLATION || errore == ERROR_LOCK_VIOLATION) return false;
        // No lock can be had in a program folder without write access: that is no other copy;
        // the start-up reports the folder.
        if (errore == ERROR_ACCESS_DENIED || errore == ERROR_WRITE_PROTECT ||
            errore == ERROR_PATH_NOT_FOUND || errore == ERROR_FILE_NOT_FOUND)
            return true;
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
