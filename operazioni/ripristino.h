// The restore: one backup set rebuilt into a private temporary folder, extracted, and moved
// into the host's data folder, keeping a numbered safety copy of every database and companion
// folder it replaces.
#pragma once

#include <string>

#include "operazioni/stato_avvio.h"
#include "operazioni/lavoro.h"

namespace bv {

struct RichiestaRipristino {
    std::string origine;  // the origin folder as typed
    std::string nomeSet;  // the set chosen, as its files are named ("BV20240315#0"); "" for none
    std::string dataSet;  // the set's date as the user was shown it, for the confirmation
    std::string percorsoDati;
    bool nonInstallato = false;
    bool datiNonPresenti = false;
    std::string cartellaTemp;
    // The recovery key an encrypted set is read with (empty: none); never logged.
    std::string chiave;

    // The host, its data and the last origin as the start found them.
    static RichiestaRipristino DaAvvio(const StatoAvvio& s);
};

// Runs the whole restore, asking for confirmation first (Esito::Rinunciato when refused). A
// cancel before the exchange with the data folder leaves the data untouched; once the exchange
// has begun it is finished.
Risultato EseguiRipristino(const RichiestaRipristino& richiesta, GanciOperazione& ganci);

}  // namespace bv
