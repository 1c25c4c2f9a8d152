// The current interaction and the unattended one.
#include "util/interazione.h"

#include <iostream>

namespace bv {

namespace {
Interazione* corrente = nullptr;
}

Risposta InterazioneNonPresidiata::Messaggio(const std::string& testo, const std::string& titolo,
                                             Icona /*icona*/, Pulsanti pulsanti) {
    std::cerr << titolo << ": " << testo << '\n';
    switch (pulsanti) {
        case Pulsanti::Ok:
            return Risposta::Ok;
        case Pulsanti::SiNo:
            return Risposta::No;
        case Pulsanti::SiNoAnnulla:
        case Pulsanti::RiprovaAnnulla:
        case Pulsanti::RiprovaMancanteAnnulla:
            return Risposta::Annulla;
    }
    return Risposta::Annulla;
}

std::string InterazioneNonPresidiata::ScegliCartella(const std::string& /*titolo*/,
                                                     const std::string& /*iniziale*/) {
    return {};
}

bool InterazioneNonPresidiata::ApriDocumento(const std::string& /*file*/) {
    return false;
}

Interazione& InterazioneCorrente() {
    static InterazioneNonPresidiata predefinita;
    return corrente != nullptr ? *corrente : predefinita;
}

UsaInterazione::UsaInterazione(Interazione& interazione) : precedente_(corrente) {
    corrente = &interazione;
}

UsaInterazione::~UsaInterazione() {
    corrente = precedente_;
}

}  // namespace bv
