// How an operation tells its front end what it is doing: the status text, the progress, the
// busy state, a chance to redraw, and the error that stopped it. The window maps these to its
// controls; the command line to the terminal; tests record them.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/errore.h"

namespace bv {

class OsservatoreOperazione {
  public:
    virtual ~OsservatoreOperazione() = default;
    virtual void Messaggio(const std::string& /*testo*/) {}
    virtual void Avanzamento(double /*valore*/) {}  // 0 to 100
    // The operation has begun (true) or is over (false): the front end shows its progress and
    // takes no second command meanwhile.
    virtual void InCorso(bool /*inCorso*/) {}
    // The program is at work (true) and answers nothing but its own questions; false as soon
    // as the work is done, before the final message or the error is shown.
    virtual void AlLavoro(bool /*alLavoro*/) {}
    // A moment during long work for a front end that runs it on its own thread (the window runs
    // each operation on a worker thread and needs none).
    virtual void Aggiorna() {}
    // Shows the error that stopped the operation (the window: the error box).
    virtual void MostraErrore(const Errore& errore);
    // Something the user should know that does not stop the operation; always logged.
    virtual void Avviso(const std::string& testo);
};

class ClsSpan;

// The first steps of a command's error handler, inside its catch block: the span object
// released and dropped, the normal pointer back, the error shown. The caller then puts its
// own controls back.
void MostraErroreCorrente(std::unique_ptr<ClsSpan>& span, OsservatoreOperazione& o);

// Lets long work call Aggiorna at most a few times a second.
class Pulsazione {
  public:
    explicit Pulsazione(OsservatoreOperazione& o) : o_(o) {}
    void operator()() {
        const auto ora = std::chrono::steady_clock::now();
        if (ora - ultima_ >= std::chrono::milliseconds(150)) {
            ultima_ = ora;
            o_.Aggiorna();
        }
    }

  private:
    OsservatoreOperazione& o_;
    std::chrono::steady_clock::time_point ultima_{};
};

}  // namespace bv
