// The default error display of an operation.
#include "operazioni/osservatore.h"

#include "util/koutilita.h"

namespace bv {

void OsservatoreOperazione::MostraErrore(const Errore& errore) {
    Utilita().PrintErrore(errore);
}

}  // namespace bv
