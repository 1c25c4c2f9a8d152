// The running program on Windows: its folder from the module's own path.
#include <windows.h>

#include "platform/filesystem.h"
#include "platform/programma.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {

std::string& Sostituta() {
    static std::string cartella;
    return cartella;
}

std::string& NomeSostituto() {
    static std::string nome;
    return nome;
}

std::string Eseguibile() {
    std::wstring buf(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0 || n >= buf.size()) return {};
    buf.resize(n);
    return Stretto(buf);
}

bool Console(DWORD quale) {
    return ::GetFileType(::GetStdHandle(quale)) == FILE_TYPE_CHAR;
}

}  // namespace

std::string CartellaProgramma() {
    if (!Sostituta().empty()) return Sostituta();
    return CartellaDi(Eseguibile());
}

std::string NomeProgramma() {
    if (!NomeSostituto().empty()) return NomeSostituto();
    std::string nome = NomeDi(Eseguibile());
    if (const auto p = nome.find_last_of('.'); p != std::string::npos && p > 0) nome.resize(p);
    return nome;
}

void ImpostaCartellaProgramma(const std::string& cartella) {
    Sostituta() = cartella;
}

void ImpostaNomeProgramma(const std::string& nome) {
    NomeSostituto() = nome;
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
