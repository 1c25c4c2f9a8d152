// In-use test on Windows: an open that shares nothing fails with a sharing violation while
// the host, or any other program, has the file open.
#include <windows.h>

#include "platform/file_aperto.h"
#include "platform/filesystem.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {
bool ApertoDaAltri(const std::string& percorso) {
    const HANDLE h = ::CreateFileW(Largo(percorso).c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return true;  // in use, or out of reach: not to be copied
    ::CloseHandle(h);
    return false;
}
}  // namespace

bool FileApertoDaProcessi(const std::string& percorso) {
    return ApertoDaAltri(percorso);
}

bool FileInUso(const std::string& percorso) {
    const InfoFile info = Fs().Info(percorso);
    if (!info.esiste || !info.file || info.nascosto) return false;
    return ApertoDaAltri(percorso);
}

}  // namespace bv
