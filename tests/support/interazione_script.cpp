// Scripted interaction: an unexpected question fails the test and is answered Cancel.
#include "tests/support/interazione_script.h"

#include <gtest/gtest.h>

namespace bv::test {

Risposta InterazioneScriptata::Messaggio(const std::string& testo, const std::string& titolo,
                                         Icona icona, Pulsanti pulsanti) {
    messaggi.push_back({testo, titolo, icona, pulsanti});
    if (pulsanti == Pulsanti::Ok && (risposte_.empty() || risposte_.front() != Risposta::Ok)) {
        return Risposta::Ok;
    }
    if (risposte_.empty()) {
        ADD_FAILURE() << "domanda inattesa: " << titolo << ": " << testo;
        return Risposta::Annulla;
    }
    const Risposta r = risposte_.front();
    risposte_.pop_front();
    return r;
}

std::string InterazioneScriptata::ScegliCartella(const std::string& titolo) {
    titoliCartella.push_back(titolo);
    if (cartelle_.empty()) {
        ADD_FAILURE() << "scelta di cartella inattesa: " << titolo;
        return {};
    }
    std::string c = cartelle_.front();
    cartelle_.pop_front();
    return c;
}

}  // namespace bv::test
