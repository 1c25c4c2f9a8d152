// The default error display of an operation, and the start of the commands' error handler.
#include "operazioni/osservatore.h"

#include "span/clsspan.h"
#include "util/koutilita.h"

namespace bv {

void OsservatoreOperazione::MostraErrore(const Errore& errore) {
    Utilita().PrintErrore(errore);
}

void OsservatoreOperazione::Avviso(const std::string& testo) {
    Utilita().ScriviLog("Attenzione: " + testo);
}

void MostraErroreCorrente(std::unique_ptr<ClsSpan>& span, OsservatoreOperazione& o) {
    const Errore e = ErroreCorrente();
    if (span) {
        span->Dealloca();
        span.reset();
    }
    o.AlLavoro(false);
    o.MostraErrore(e);
}

}  // namespace bv
