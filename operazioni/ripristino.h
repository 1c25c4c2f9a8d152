// The restore: one backup set rebuilt into a private temporary folder, extracted, and moved
// into the host's data folder, keeping a numbered safety copy of every database and companion
// folder it replaces.
#pragma once

#include <string>

#include "operazioni/osservatore.h"

namespace bv {

struct RichiestaRipristino {
    std::string origine;  // the origin folder as typed
    std::string nomeSet;  // the set chosen, as its files are named ("BV20240315#0"); "" for none
    std::string dataSet;  // the set's date as the user was shown it, for the confirmation
    std::string percorsoDati;
    bool nonInstallato = false;
    bool datiNonPresenti = false;
    std::string cartellaTemp;
};

class OsservatoreRipristino : public OsservatoreOperazione {
  public:
    // A data folder was made because none was known; it is now the data path.
    virtual void DatiCreati(const std::string& /*percorsoDati*/) {}
};

enum class EsitoRipristino { Completato, Rinunciato, Fallito };

// Runs the whole restore, asking for confirmation first.
EsitoRipristino EseguiRipristino(const RichiestaRipristino& richiesta,
                                 OsservatoreRipristino& osservatore);

}  // namespace bv
