// Scripted answers to the program's questions, with a record of every message shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "util/interazione.h"

namespace bv::test {

struct MessaggioMostrato {
    std::string testo;
    std::string titolo;
    Icona icona;
    Pulsanti pulsanti;
};

class InterazioneScriptata final : public Interazione {
  public:
    InterazioneScriptata() : uso_(*this) {}

    // Answers given in order; a message box with only OK needs no answer.
    void Rispondi(Risposta r) { risposte_.push_back(r); }
    void RispondiCartella(std::string c) { cartelle_.push_back(std::move(c)); }

    Risposta Messaggio(const std::string& testo, const std::string& titolo, Icona icona,
                       Pulsanti pulsanti) override;
    std::string ScegliCartella(const std::string& titolo, const std::string& iniziale) override;
    bool ApriDocumento(const std::string& file) override {
        documentiAperti.push_back(file);
        return apriRiesce;
    }

    // When set, answers every question that is not a plain notice, instead of the queue.
    std::function<Risposta(const MessaggioMostrato&)> risponditore;
    // Called with each message and the answer about to be given (a test swaps disks here).
    std::function<void(const MessaggioMostrato&, Risposta)> allaRisposta;

    bool apriRiesce = true;
    std::vector<std::string> documentiAperti;

    std::vector<MessaggioMostrato> messaggi;
    std::vector<std::string> titoliCartella;
    std::vector<std::string> cartelleIniziali;

  private:
    UsaInterazione uso_;
    std::deque<Risposta> risposte_;
    std::deque<std::string> cartelle_;
};

}  // namespace bv::test
