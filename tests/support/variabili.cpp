// Environment variables for the tests, on both platforms.
#include "tests/support/variabili.h"

#include <cstdlib>

namespace bv::test {

void ImpostaVariabile(const std::string& nome, const std::string& valore) {
#ifdef _WIN32
    ::_putenv_s(nome.c_str(), valore.c_str());
#else
    ::setenv(nome.c_str(), valore.c_str(), 1);
#endif
}

void TogliVariabile(const std::string& nome) {
#ifdef _WIN32
    ::_putenv_s(nome.c_str(), "");
#else
    ::unsetenv(nome.c_str());
#endif
}

}  // namespace bv::test
