// The ordered pool.
#include "archive/lavori_in_ordine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace bv::zip_interno {

std::vector<std::exception_ptr> LavoriInOrdine(
    size_t n, size_t filiere,
    const std::function<bool(size_t i, size_t filiera, const std::function<bool(size_t)>& fermato)>&
        lavoro,
    const std::function<void()>& attendendo) {
    std::vector<std::exception_ptr> eccezioni(n);
    std::mutex m;
    std::condition_variable cv;
    size_t prossimo = 0;
    size_t finiti = 0;
    std::atomic<size_t> limite{n};  // the first job that failed
    std::atomic<bool> interrotto{false};  // the caller's tick threw (a cancel): every job stops
    const std::function<bool(size_t)> fermato = [&](size_t i) {
        return interrotto.load() || i > limite.load();
    };
    const auto lavora = [&](size_t filiera) {
        for (;;) {
            size_t i = 0;
            {
                std::lock_guard<std::mutex> l(m);
                if (prossimo >= n || prossimo > limite.load() || interrotto.load()) break;
                i = prossimo++;
            }
            bool riuscito = false;
            try {
                riuscito = lavoro(i, filiera, fermato);
            } catch (...) {  // told in order by the caller, as the job's own failure
                eccezioni[i] = std::current_exception();
            }
            if (!riuscito) {
                size_t attuale = limite.load();
                while (i < attuale && !limite.compare_exchange_weak(attuale, i)) {
                }
            }
        }
        std::lock_guard<std::mutex> l(m);
        ++finiti;
        cv.notify_all();
    };
    std::vector<std::thread> aiutanti;
    for (size_t t = 0; t < std::max<size_t>(filiere, 1); ++t) {
        try {
            aiutanti.emplace_back(lavora, t);
        } catch (const std::system_error&) {
            break;
        }
    }
    if (aiutanti.empty()) {
        lavora(0);
        if (attendendo) attendendo();
        return eccezioni;
    }
    // What `attendendo` throws (a cancel) stops the jobs, and is thrown once every thread has ended.
    std::exception_ptr dalAttesa;
    {
        std::unique_lock<std::mutex> l(m);
        while (!cv.wait_for(l, std::chrono::milliseconds(100),
                            [&] { return finiti == aiutanti.size(); })) {
            if (!attendendo || dalAttesa) continue;
            l.unlock();
            try {
                attendendo();
            } catch (...) {
                dalAttesa = std::current_exception();
                interrotto = true;
            }
            l.lock();
        }
    }
    for (std::thread& t : aiutanti) t.join();
    if (dalAttesa) std::rethrow_exception(dalAttesa);
    if (attendendo) attendendo();
    return eccezioni;
}

}  // namespace bv::zip_interno
