// The operation's worker thread and the way back to the window's thread.
#include "app/filiera.h"

#include <QEventLoop>

#include <exception>
#include <string>
#include <system_error>
#include <thread>

#include "util/interazione.h"

namespace bv {

namespace {

// The window's interaction, asked from whichever thread: the boxes open on the window's thread.
class InterazioneDallaFiliera final : public Interazione {
  public:
    InterazioneDallaFiliera(QObject* finestra, Interazione& interna)
        : finestra_(finestra), interna_(interna) {}
    Risposta Messaggio(const std::string& testo, const std::string& titolo, Icona icona,
                       Pulsanti pulsanti) override {
        return DallaFinestra(finestra_,
                             [&] { return interna_.Messaggio(testo, titolo, icona, pulsanti); });
    }
    std::string ScegliCartella(const std::string& titolo, const std::string& iniziale) override {
        return DallaFinestra(finestra_, [&] { return interna_.ScegliCartella(titolo, iniziale); });
    }
    bool ApriDocumento(const std::string& file) override {
        return DallaFinestra(finestra_, [&] { return interna_.ApriDocumento(file); });
    }

  private:
    QObject* finestra_;
    Interazione& interna_;
};

}  // namespace

void NellaFinestra(QObject* contesto, std::function<void()> azione) {
    if (QThread::currentThread() == contesto->thread()) {
        azione();
        return;
    }
    QMetaObject::invokeMethod(contesto, std::move(azione), Qt::QueuedConnection);
}

void EseguiFuoriDallaFinestra(QObject* finestra, const std::function<void()>& lavoro) {
    InterazioneDallaFiliera interazione(finestra, InterazioneCorrente());
    const UsaInterazione usa(interazione);
    QEventLoop ciclo;
    std::exception_ptr errore;
    std::thread filiera;
    try {
        filiera = std::thread([&] {
            try {
                lavoro();
            } catch (...) {
                errore = std::current_exception();
            }
            // Queued after everything the work told the window: the loop ends once it is shown.
            QMetaObject::invokeMethod(
                &ciclo, [&ciclo] { ciclo.quit(); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        lavoro();
        return;
    }
    ciclo.exec();
    filiera.join();
    if (errore) std::rethrow_exception(errore);
}

}  // namespace bv
