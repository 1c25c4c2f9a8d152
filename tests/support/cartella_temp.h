// A temporary folder for one test, removed with everything in it at the end.
#pragma once

#include <string>

#include "platform/percorsi.h"

namespace bv::test {

class CartellaTemp {
  public:
    CartellaTemp();
    ~CartellaTemp();
    CartellaTemp(const CartellaTemp&) = delete;
    CartellaTemp& operator=(const CartellaTemp&) = delete;

    // The folder, without a final separator.
    const std::string& Percorso() const { return percorso_; }
    // The folder with a final separator, followed by `nome`; the "/" inside `nome` become the
    // platform's separator, so one fixture reads the same on every platform.
    std::string operator/(std::string nome) const {
        for (char& c : nome)
            if (c == '/') c = Separatore();
        return percorso_ + Separatore() + nome;
    }

  private:
    std::string percorso_;
};

// Small file helpers for fixtures (they use the real file system, not the layer).
void ScriviFile(const std::string& percorso, const std::string& contenuto);
std::string LeggiTesto(const std::string& percorso);
bool Esiste(const std::string& percorso);
void CreaCartelle(const std::string& percorso);

}  // namespace bv::test
