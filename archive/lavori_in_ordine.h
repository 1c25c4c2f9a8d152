// The ordered pool: jobs 0..n-1 on a few helper threads, started in increasing order, so that
// whatever the timing the first failure in order is the one told. The archive's comparison and
// extraction run one job per member on it.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <vector>

namespace bv::zip_interno {

// Runs lavoro(i, filiera, fermato) for every job i < n on `filiere` threads (filiera: which
// one, below `filiere`, for state of its own such as a handle). A job that returns false or
// throws fails: no later one starts, and those already running are told by `fermato(i)` that
// they may stop; every job before the first failure runs to its end. Returns each job's
// exception (null for most). The caller's thread waits, calling `attendendo` (the archive's
// progress) every tenth of a second; a thread the system will not start leaves the work to the
// others, or to the caller.
std::vector<std::exception_ptr> LavoriInOrdine(
    size_t n, size_t filiere,
    const std::function<bool(size_t i, size_t filiera, const std::function<bool(size_t)>& fermato)>&
        lavoro,
    const std::function<void()>& attendendo);

}  // namespace bv::zip_interno
