// The window's worker: one thread on which every operation, the start's repairs and the folder
// listings run, in the order asked, while the window's thread keeps its event loop (it redraws,
// moves, answers the system at once, however long a flush of a slow stick takes). What a job
// tells the window is queued to the window's thread in order; its questions (a new disk, an
// overwrite, a confirmation) are put there as queries the worker waits on.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

#include "util/interazione.h"

namespace bv {

// On `contesto`'s thread: now when called there, else queued after what was queued before.
void NellaFinestra(QObject* contesto, std::function<void()> azione);

class Lavoratore final : public QObject {
    Q_OBJECT

  public:
    // `finestra` receives the jobs' ends and shows their questions.
    explicit Lavoratore(QObject* finestra);
    // Answers a question still waiting with Cancel, then waits for the job running to end.
    ~Lavoratore() override;

    // Runs `lavoro` on the worker thread, after the jobs asked before; then `fine` on the
    // window's thread. What `lavoro` throws is logged: a job reports through its result.
    void Esegui(std::function<void()> lavoro, std::function<void()> fine);
    // Jobs asked and not yet ended.
    int InCorso() const { return inCorso_; }

    // The questions of a job: each a box on the window's thread (the interaction installed
    // there), the job waiting for its answer.
    Interazione& Domande() { return *domande_; }

  signals:
    void Finito();  // a job has ended (after its `fine`)

  private:
    QThread filo_;
    QObject* finestra_;
    std::unique_ptr<QObject> contesto_;  // lives on the worker thread
    std::unique_ptr<Interazione> domande_;
    std::shared_ptr<std::atomic<bool>> chiusura_;
    int inCorso_ = 0;
};

}  // namespace bv
