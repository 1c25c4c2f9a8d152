// Helper threads, one per core, that work on items handed to them in order: the deflate of
// pieces when writing and their inflate when reading. Each thread keeps its own state (a
// compressor, a decompressor) from one item to the next.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace bv::zip_interno {

// Elemento has a `bool pronto` (no helper at work on it) and a `bool riuscito`, cleared when the
// work on it throws (a buffer that cannot be had): the caller takes that as the item's failure.
// Stato is default-constructible.
template <class Elemento, class Stato>
class Aiutanti {
  public:
    Aiutanti(size_t filiere, std::function<void(Stato&, Elemento&)> lavoro)
        : filiere_(filiere), lavoro_(std::move(lavoro)) {}
    // What was handed over is finished first.
    ~Aiutanti() {
        {
            std::lock_guard<std::mutex> l(m_);
            fine_ = true;
            cv_.notify_all();
        }
        for (std::thread& t : thread_) t.join();
    }
    Aiutanti(const Aiutanti&) = delete;
    Aiutanti& operator=(const Aiutanti&) = delete;

    // The threads start with the first item: work that never hands one over starts none. A
    // thread the system will not start leaves the work to those that did, or to the caller.
    // Every notification is made with the mutex held (MinGW-w64's thread library needs it).
    void Affida(Elemento& e) {
        if (thread_.empty() && !daSolo_) {
            for (size_t t = 0; t < filiere_; ++t) {
                try {
                    thread_.emplace_back([this] { Lavora(); });
                } catch (const std::system_error&) {
                    break;
                }
            }
            daSolo_ = thread_.empty();
        }
        if (daSolo_) {
            if (!statoLocale_) statoLocale_ = std::make_unique<Stato>();
            Esegui(*statoLocale_, e);
            e.pronto = true;
            return;
        }
        std::lock_guard<std::mutex> l(m_);
        e.pronto = false;
        coda_.push_back(&e);
        ++inVolo_;
        cv_.notify_all();
    }
    void Attendi(const Elemento& e) {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [&] { return e.pronto; });
    }
    // Before the items' memory may be reused or freed (after a failure too).
    void AttendiTutti() {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [&] { return inVolo_ == 0; });
    }

  private:
    void Esegui(Stato& stato, Elemento& e) {
        try {
            lavoro_(stato, e);
        } catch (...) {
            e.riuscito = false;
        }
    }

    void Lavora() {
        Stato stato;
        for (;;) {
            Elemento* e = nullptr;
            {
                std::unique_lock<std::mutex> l(m_);
                cv_.wait(l, [&] { return fine_ || !coda_.empty(); });
                if (coda_.empty()) return;
                e = coda_.front();
                coda_.pop_front();
            }
            Esegui(stato, *e);
            std::lock_guard<std::mutex> l(m_);
            e->pronto = true;
            --inVolo_;
            cv_.notify_all();
        }
    }

    size_t filiere_;
    std::function<void(Stato&, Elemento&)> lavoro_;
    std::vector<std::thread> thread_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Elemento*> coda_;
    size_t inVolo_ = 0;
    bool fine_ = false;
    bool daSolo_ = false;  // no thread could be started: the caller does the work
    std::unique_ptr<Stato> statoLocale_;
};

}  // namespace bv::zip_interno
