// The running executable on Windows: the module's own path; the process and its console.
#include <windows.h>

#include "platform/programma.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {
bool Console(DWORD quale) {
    return ::GetFileType(::GetStdHandle(quale)) == FILE_TYPE_CHAR;
}
}  // namespace

std::string PercorsoEseguibile() {
    std::wstring buf(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0 || n >= buf.size()) return {};
    buf.resize(n);
    return Stretto(buf);
}

long IdProcesso() {
    return static_cast<long>(::GetCurrentProcessId());
}

bool IngressoDaTerminale() {
    return Console(STD_INPUT_HANDLE);
}

bool ErroriSuTerminale() {
    return Console(STD_ERROR_HANDLE);
}

}  // namespace bv
