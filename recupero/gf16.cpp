#include "recupero/gf16.h"

#include <array>
#include <memory>

namespace bv::recupero::gf16 {
namespace {

constexpr uint32_t kGeneratore = 0x1100B;
constexpr uint32_t kOrdine = 65535;

struct Tavole {
    std::array<uint16_t, 65536> log{};
    std::array<uint16_t, size_t{2} * kOrdine> antilog{};  // doubled: no modulo after adding two logs
    std::vector<uint16_t> esponentiIngresso;      // n of each input constant 2^n

    Tavole() {
        uint32_t x = 1;
        for (uint32_t i = 0; i < kOrdine; ++i) {
            antilog[i] = antilog[i + kOrdine] = static_cast<uint16_t>(x);
            log[x] = static_cast<uint16_t>(i);
            x <<= 1;
            if (x & 0x10000) x ^= kGeneratore;
        }
        esponentiIngresso.reserve(kMaxFetteIngresso);
        for (uint32_t n = 1; esponentiIngresso.size() < kMaxFetteIngresso; ++n)
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0)
                esponentiIngresso.push_back(static_cast<uint16_t>(n));
    }
};

const Tavole& T() {
    static const auto t = std::make_unique<Tavole>();
    return *t;
}

}  // namespace

uint16_t Moltiplica(uint16_t a, uint16_t b) {
    if (a == 0 || b == 0) return 0;
    const Tavole& t = T();
    return t.antilog[t.log[a] + t.log[b]];
}

uint16_t Inverso(uint16_t a) {
    const Tavole& t = T();
    return t.antilog[(kOrdine - t.log[a]) % kOrdine];
}

uint16_t Potenza(uint16_t a, uint64_t e) {
    if (e == 0) return 1;
    if (a == 0) return 0;
    const Tavole& t = T();
    return t.antilog[(t.log[a] * (e % kOrdine)) % kOrdine];
}

uint16_t CostanteIngresso(uint32_t indice) { return T().antilog[T().esponentiIngresso.at(indice)]; }

uint16_t Coefficiente(uint32_t indice, uint32_t esponente) {
    const Tavole& t = T();
    const uint64_t n = t.esponentiIngresso.at(indice);
    return t.antilog[(n * esponente) % kOrdine];
}

}  // namespace bv::recupero::gf16
