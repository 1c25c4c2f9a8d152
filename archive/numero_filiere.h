// How many threads the archive's work runs on: one per core, at most eight (past that the disk,
// not the cores, sets the pace), and never more than there are jobs. The comparison and the
// extraction run one job per member in the ordered pool (LavoriInOrdine); a large member of ours
// is inflated inside its job by helpers of its own (Aiutanti), as many again, for at most
// kMassimiMembriInParallelo members at once (each holds its pieces in memory): the threads are so
// bounded by FiliereDisponibili() * (1 + kMassimiMembriInParallelo). The writer deflates on
// FiliereDisponibili() helpers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <thread>

namespace bv::zip_interno {

inline constexpr int kMassimiMembriInParallelo = 2;

inline size_t FiliereDisponibili(size_t lavori = std::numeric_limits<size_t>::max()) {
    const size_t core = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    return std::min(core, std::max<size_t>(lavori, 1));
}

}  // namespace bv::zip_interno
