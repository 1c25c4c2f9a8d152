// Helper threads, one per core, that work on items handed to them in order: the deflate of
// pieces when writing and their inflate when reading. Each thread keeps its own state (a
// compressor, a decompressor) from one item to the next.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace bv::zip_interno {

// Elemento has a `bool pronto` (no helper at work on it); Stato is default-constructible.
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

    // The threads start with the first item: work that never hands one over starts none.
    // Every notification is made with the mutex held (MinGW-w64's thread library needs it).
    void Affida(Elemento& e) {
        if (thread_.empty()) {
            for (size_t t = 0; t < filiere_; ++t) thread_.emplace_back([this] { Lavora(); });
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
            lavoro_(stato, *e);
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
};

}  // namespace bv::zip_interno
