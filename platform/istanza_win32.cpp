// Single-copy lock on Windows: a named mutex in the session's namespace, one name per program
// folder; the system releases it when the process ends, however it ends.
#include <windows.h>

#include "platform/codifica.h"
#include "platform/istanza.h"
#include "platform/programma.h"
#include "platform/testo_win32.h"

namespace bv {

std::string PercorsoBloccoIstanza() {
    // A mutex name cannot hold a backslash: the folder goes in as a hash of its upper case.
    uint64_t h = 1469598103934665603ULL;
    for (const unsigned char c : Maiuscolo(CartellaProgramma())) {
        h = (h ^ c) * 1099511628211ULL;
    }
    char esadecimale[17];
    for (int i = 15; i >= 0; --i, h >>= 4) esadecimale[i] = "0123456789abcdef"[h & 15];
    esadecimale[16] = '\0';
    return std::string("Local\\bvbackup-") + esadecimale;
}

bool BloccoIstanza::Acquisisci() {
    if (fd_ != -1) return true;
    const HANDLE h = ::CreateMutexW(nullptr, FALSE, Largo(PercorsoBloccoIstanza()).c_str());
    if (h == nullptr) return true;  // no lock can be had: that is no other copy
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(h);
        return false;
    }
    fd_ = reinterpret_cast<intptr_t>(h);
    return true;
}

void CediPrimoPiano() {
    // The program the user just started may give the foreground to the running copy, whose
    // own request would only make its taskbar button flash.
    ::AllowSetForegroundWindow(ASFW_ANY);
}

BloccoIstanza::~BloccoIstanza() {
    if (fd_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(fd_));
}

}  // namespace bv
