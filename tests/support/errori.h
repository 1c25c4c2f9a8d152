// The number of the error a piece of code throws (0 when it throws none).
#pragma once

#include <cstdint>
#include <functional>

#include "platform/errore.h"

namespace bv::test {

inline int32_t NumeroErrore(const std::function<void()>& f) {
    try {
        f();
    } catch (const Errore& e) {
        return e.Numero();
    }
    return 0;
}

}  // namespace bv::test
