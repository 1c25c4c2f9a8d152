// The demo's registry on POSIX is its registry.reg file: nothing else to write.
#include "tools/dati_demo.h"

namespace bv::strumenti {

void RegistraNelSistema(const std::vector<ValoreDemo>& /*valori*/) {}

}  // namespace bv::strumenti
