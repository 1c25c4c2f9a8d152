// The running program's folder and name, and the overrides the front ends and tests give them;
// the platform tells only where its executable is.
#include "platform/programma.h"

#include "platform/filesystem.h"

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

}  // namespace

std::string CartellaProgramma() {
    if (!Sostituta().empty()) return Sostituta();
    return CartellaDi(PercorsoEseguibile());
}

std::string NomeProgramma() {
    if (!NomeSostituto().empty()) return NomeSostituto();
    std::string nome = NomeDi(PercorsoEseguibile());
    if (const auto p = nome.find_last_of('.'); p != std::string::npos && p > 0) nome.resize(p);
    return nome;
}

void ImpostaCartellaProgramma(const std::string& cartella) {
    Sostituta() = cartella;
}

void ImpostaNomeProgramma(const std::string& nome) {
    NomeSostituto() = nome;
}

}  // namespace bv
