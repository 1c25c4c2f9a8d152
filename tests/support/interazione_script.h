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
    // A text typed, made when it is asked (from what the test has seen so far).
    void RispondiTesto(std::function<std::string()> t) { testi_.push_back(std::move(t)); }
    void RispondiFile(std::string f) { file_.push_back(std::move(f)); }

    Risposta Messaggio(const std::string& testo, const std::string& titolo, Icona icona,
                       Pulsanti pulsanti) override;
    std::string ScegliCartella(const std::string& titolo, const std::string& iniziale) override;
    std::string ChiediTesto(const std::string& testo, const std::string& titolo) override {
        domandeDiTesto.push_back(testo);
        if (testi_.empty()) return {};  // cancelled
        auto t = std::move(testi_.front());
        testi_.pop_front();
        (void)titolo;
        return t();
    }
    std::string ScegliFileDaSalvare(const std::string& titolo, const std::string& nome) override {
        (void)titolo;
        (void)nome;
        if (file_.empty()) return {};
        std::string f = file_.front();
        file_.pop_front();
        return f;
    }
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
    std::vector<std::string> domandeDiTesto;

  private:
    UsaInterazione uso_;
    std::deque<Risposta> risposte_;
    std::deque<std::string> cartelle_;
    std::deque<std::function<std::string()>> testi_;
    std::deque<std::string> file_;
};

}  // namespace bv::test
