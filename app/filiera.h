// Long work off the window's thread. An operation runs on a worker thread while the window's
// thread keeps its event loop (it redraws, moves, answers the system at once, however long a
// flush of a slow stick takes); what the operation tells the window is queued to the window's
// thread in order, and its questions (a new disk, an overwrite, a confirmation) are put there
// as queries the worker waits on.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <functional>
#include <type_traits>
#include <utility>

namespace bv {

// On `contesto`'s thread: now when called there, else queued after what was queued before.
void NellaFinestra(QObject* contesto, std::function<void()> azione);

// Runs `azione` on `contesto`'s thread and returns its result, waiting for it from another
// thread.
template <class Azione>
auto DallaFinestra(QObject* contesto, Azione azione) -> std::invoke_result_t<Azione> {
    if (QThread::currentThread() == contesto->thread()) return azione();
    using Risultato = std::invoke_result_t<Azione>;
    if constexpr (std::is_void_v<Risultato>) {
        QMetaObject::invokeMethod(contesto, std::move(azione), Qt::BlockingQueuedConnection);
    } else {
        Risultato r{};
        QMetaObject::invokeMethod(
            contesto, [&r, &azione] { r = azione(); }, Qt::BlockingQueuedConnection);
        return r;
    }
}

// Runs `lavoro` on a worker thread and returns when it has ended, `finestra`'s events served
// meanwhile; the interaction the core asks through is the window's, reached from the worker as
// a query. What `lavoro` throws is thrown here. A thread the system will not start leaves the
// work to the caller's thread.
void EseguiFuoriDallaFinestra(QObject* finestra, const std::function<void()>& lavoro);

}  // namespace bv
