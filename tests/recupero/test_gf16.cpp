// The field arithmetic against a slow reference, and every region loop this processor has
// against the reference on random data of awkward lengths and alignments.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "recupero/gf16.h"

namespace bv::recupero {
namespace {

// Carry-less multiplication reduced by the generator, bit by bit.
uint16_t Lento(uint16_t a, uint16_t b) {
    uint32_t r = 0;
    for (int i = 0; i < 16; ++i)
        if (b & (1U << i)) r ^= uint32_t{a} << i;
    for (int i = 31; i >= 16; --i)
        if (r & (1U << i)) r ^= 0x1100BU << (i - 16);
    return static_cast<uint16_t>(r);
}

TEST(Gf16, MoltiplicazioneEInversoComeIlRiferimento) {
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        const auto a = static_cast<uint16_t>(rng()), b = static_cast<uint16_t>(rng());
        ASSERT_EQ(gf16::Moltiplica(a, b), Lento(a, b)) << a << " * " << b;
    }
    for (uint32_t a = 1; a < 65536; ++a)
        ASSERT_EQ(gf16::Moltiplica(static_cast<uint16_t>(a), gf16::Inverso(static_cast<uint16_t>(a))), 1);
    EXPECT_EQ(gf16::Potenza(3, 65535), 1);
    EXPECT_EQ(gf16::Potenza(2, 16), 0x100B);
}

TEST(Gf16, CostantiDelleFetteDIngresso) {
    const uint16_t attese[] = {2, 4, 16, 128, 256, 2048, 8192, 16384, 4107, 32856, 17132};
    for (uint32_t i = 0; i < std::size(attese); ++i) EXPECT_EQ(gf16::CostanteIngresso(i), attese[i]) << i;
    // The last of the 32768 is 2^65534, the inverse of 2.
    EXPECT_EQ(gf16::CostanteIngresso(gf16::kMaxFetteIngresso - 1), gf16::Inverso(2));
    EXPECT_EQ(gf16::Coefficiente(5, 0), 1);
    EXPECT_EQ(gf16::Coefficiente(9, 3), gf16::Potenza(32856, 3));
}

TEST(Gf16, OgniVarianteComeIlRiferimento) {
    std::mt19937 rng(11);
    for (const gf16::Variante v : gf16::VariantiDisponibili()) {
        for (const size_t n : {0, 2, 30, 32, 34, 62, 64, 66, 126, 1000, 4098}) {
            for (const uint16_t c : {uint16_t{0}, uint16_t{1}, uint16_t{0x8000}, static_cast<uint16_t>(rng() | 1)}) {
                std::vector<uint8_t> src(n + 1), dst(n + 1);
                for (auto& b : src) b = static_cast<uint8_t>(rng());
                for (auto& b : dst) b = static_cast<uint8_t>(rng());
                std::vector<uint8_t> atteso = dst;
                for (size_t i = 0; i + 1 < n; i += 2) {
                    const uint16_t p = Lento(c, static_cast<uint16_t>(src[i + 1] | src[i + 2] << 8));
                    atteso[i + 1] ^= static_cast<uint8_t>(p);
                    atteso[i + 2] ^= static_cast<uint8_t>(p >> 8);
                }
                // One byte in: neither buffer aligned.
                gf16::MoltiplicaAccumula(v, c, src.data() + 1, dst.data() + 1, n);
                ASSERT_EQ(dst, atteso) << gf16::NomeVariante(v) << " n=" << n << " c=" << c;
            }
        }
    }
}

}  // namespace
}  // namespace bv::recupero
