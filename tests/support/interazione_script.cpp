// Scripted interaction: an unexpected question fails the test and is answered Cancel.
#include "tests/support/interazione_script.h"

#include <gtest/gtest.h>

namespace bv::test {

Risposta InterazioneScriptata::Messaggio(const std::string& testo, const std::string& titolo,
                                         Icona icona, Pulsanti pulsanti) {
    messaggi.push_back({testo, titolo, icona, pulsanti});
    Risposta r = Risposta::Ok;
    if (pulsanti == Pulsanti::Ok && (risposte_.empty() || risposte_.front() != Risposta::Ok)) {
        r = Risposta::Ok;
    } else if (risponditore) {
        r = risponditore(messaggi.back());
    } else if (risposte_.empty()) {
        ADD_FAILURE() << "domanda inattesa: " << titolo << ": " << testo;
        r = Risposta::Annulla;
    } else {
        r = risposte_.front();
        risposte_.pop_front();
    }
    if (allaRisposta) allaRisposta(messaggi.back(), r);
    return r;
}

std::string InterazioneScriptata::ScegliCartella(const std::string& titolo,
                                                 const std::string& iniziale) {
    titoliCartella.push_back(titolo);
    cartelleIniziali.push_back(iniziale);
    if (cartelle_.empty()) {
        ADD_FAILURE() << "scelta di cartella inattesa: " << titolo;
        return {};
    }
    std::string c = cartelle_.front();
    cartelle_.pop_front();
    return c;
}

}  // namespace bv::test
