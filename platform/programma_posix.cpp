// Program folder from /proc/self/exe.
#include <unistd.h>

#include "platform/filesystem.h"
#include "platform/programma.h"

namespace bv {

namespace {

std::string& Sostituta() {
    static std::string cartella;
    return cartella;
}

std::string Eseguibile() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    buf.resize(static_cast<size_t>(n));
    return buf;
}

}  // namespace

std::string CartellaProgramma() {
    if (!Sostituta().empty()) return Sostituta();
    return CartellaDi(Eseguibile());
}

std::string& NomeSostituto() {
    static std::string nome;
    return nome;
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
    return static_cast<long>(::getpid());
}

bool IngressoDaTerminale() {
    return ::isatty(STDIN_FILENO) != 0;
}
bool ErroriSuTerminale() {
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace bv
