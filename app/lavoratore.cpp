// The window's worker thread and the way back to the window's thread.
#include "app/lavoratore.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>

#include "platform/errore.h"
#include "util/koutilita.h"

namespace bv {

namespace {

// A question from the worker: shown on the window's thread, the worker waiting on it. A window
// that goes meanwhile (the program ends) answers Cancel, so no worker waits for ever.
class DomandeDalLavoratore final : public Interazione {
  public:
    DomandeDalLavoratore(QObject* finestra, std::shared_ptr<std::atomic<bool>> chiusura)
        : finestra_(finestra), chiusura_(std::move(chiusura)) {}

    Risposta Messaggio(const std::string& testo, const std::string& titolo, Icona icona,
                       Pulsanti pulsanti) override {
        return Chiedi<Risposta>(Risposta::Annulla, [=] {
            return InterazioneCorrente().Messaggio(testo, titolo, icona, pulsanti);
        });
    }
    std::string ScegliCartella(const std::string& titolo, const std::string& iniziale) override {
        return Chiedi<std::string>({}, [=] {
            return InterazioneCorrente().ScegliCartella(titolo, iniziale);
        });
    }
    bool ApriDocumento(const std::string& file) override {
        return Chiedi<bool>(false, [=] { return InterazioneCorrente().ApriDocumento(file); });
    }

  private:
    template <class T, class Domanda>
    T Chiedi(T senzaRisposta, Domanda domanda) {
        if (QThread::currentThread() == finestra_->thread()) return domanda();
        struct Attesa {
            std::mutex m;
            std::condition_variable cv;
            bool data = false;
            T risposta{};
        };
        auto attesa = std::make_shared<Attesa>();
        QMetaObject::invokeMethod(
            finestra_,
            [attesa, domanda] {
                T r = domanda();
                const std::lock_guard<std::mutex> l(attesa->m);
                attesa->risposta = std::move(r);
                attesa->data = true;
                attesa->cv.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> l(attesa->m);
        while (!attesa->data) {
            if (chiusura_->load()) return senzaRisposta;
            attesa->cv.wait_for(l, std::chrono::milliseconds(100));
        }
        return attesa->risposta;
    }

    QObject* finestra_;
    std::shared_ptr<std::atomic<bool>> chiusura_;
};

}  // namespace

void NellaFinestra(QObject* contesto, std::function<void()> azione) {
    if (QThread::currentThread() == contesto->thread()) {
        azione();
        return;
    }
    QMetaObject::invokeMethod(contesto, std::move(azione), Qt::QueuedConnection);
}

Lavoratore::Lavoratore(QObject* finestra)
    : finestra_(finestra),
      contesto_(std::make_unique<QObject>()),
      chiusura_(std::make_shared<std::atomic<bool>>(false)) {
    domande_ = std::make_unique<DomandeDalLavoratore>(finestra, chiusura_);
    filo_.setObjectName(QStringLiteral("lavoratore"));
    contesto_->moveToThread(&filo_);
    filo_.start();
}

Lavoratore::~Lavoratore() {
    *chiusura_ = true;
    filo_.quit();
    filo_.wait();
    // Deleted on this thread now that its own has ended.
    contesto_.reset();
}

void Lavoratore::Esegui(std::function<void()> lavoro, std::function<void()> fine) {
    ++inCorso_;
    QMetaObject::invokeMethod(
        contesto_.get(),
        [this, lavoro = std::move(lavoro), fine = std::move(fine)] {
            try {
                lavoro();
            } catch (...) {
                Utilita().ScriviLog("Errore non previsto nel lavoro della finestra: " +
                                    ErroreCorrente().Descrizione());
            }
            QMetaObject::invokeMethod(
                finestra_,
                [this, fine] {
                    --inCorso_;
                    if (fine) fine();
                    emit Finito();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

}  // namespace bv
