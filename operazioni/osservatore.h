// How an operation tells its front end what it is doing: the status text, the progress, the
// busy state and the error that stopped it. The window maps these to its controls; the command
// line to the terminal; tests record them.
#pragma once

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

}  // namespace bv
