// The region loop dst ^= c * src, the hot spot of making and using recovery slices, in three
// forms: plain C with two 256-entry tables, and the split-table method on SSSE3 and AVX2. For
// the SIMD forms the 16-bit product is the XOR of four 16-entry lookups, one per nibble of the
// word; each lookup gives the product's low and high byte from two byte tables (PSHUFB).
// Only the functions with a target attribute use the wider instructions; the form is chosen
// at run time from what the processor has.
#include <cstring>

#include "recupero/gf16.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define BV_GF16_X86 1
#include <immintrin.h>
#endif

namespace bv::recupero::gf16 {
namespace {

void RegioneSemplice(uint16_t c, const uint8_t* src, uint8_t* dst, size_t n) {
    uint16_t basso[256], alto[256];
    for (unsigned i = 0; i < 256; ++i) {
        basso[i] = Moltiplica(c, static_cast<uint16_t>(i));
        alto[i] = Moltiplica(c, static_cast<uint16_t>(i << 8));
    }
    for (size_t i = 0; i + 1 < n; i += 2) {
        const uint16_t p = basso[src[i]] ^ alto[src[i + 1]];
        dst[i] ^= static_cast<uint8_t>(p);
        dst[i + 1] ^= static_cast<uint8_t>(p >> 8);
    }
}

#ifdef BV_GF16_X86

// Eight tables of 16 bytes: for nibble k (0 lowest) the low bytes of c * (v << 4k), then the
// high bytes, for v = 0..15.
struct TavoleNibble {
    alignas(16) uint8_t t[8][16];
    explicit TavoleNibble(uint16_t c) {
        for (int k = 0; k < 4; ++k)
            for (int v = 0; v < 16; ++v) {
                const uint16_t p = Moltiplica(c, static_cast<uint16_t>(v << (4 * k)));
                t[k][v] = static_cast<uint8_t>(p);
                t[4 + k][v] = static_cast<uint8_t>(p >> 8);
            }
    }
};

__attribute__((target("ssse3"))) void RegioneSsse3(uint16_t c, const uint8_t* src, uint8_t* dst,
                                                   size_t n) {
    const TavoleNibble tv(c);
    __m128i tb[8];
    for (int k = 0; k < 8; ++k) tb[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tv.t[k]));
    const __m128i nib = _mm_set1_epi8(0x0F);
    const __m128i byteBasso = _mm_set1_epi16(0x00FF);
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
        // Low bytes of the 16 words in one register, high bytes in the other.
        const __m128i lo = _mm_packus_epi16(_mm_and_si128(a, byteBasso), _mm_and_si128(b, byteBasso));
        const __m128i hi = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
        const __m128i n0 = _mm_and_si128(lo, nib);
        const __m128i n1 = _mm_and_si128(_mm_srli_epi16(lo, 4), nib);
        const __m128i n2 = _mm_and_si128(hi, nib);
        const __m128i n3 = _mm_and_si128(_mm_srli_epi16(hi, 4), nib);
        const __m128i rlo = _mm_xor_si128(
            _mm_xor_si128(_mm_shuffle_epi8(tb[0], n0), _mm_shuffle_epi8(tb[1], n1)),
            _mm_xor_si128(_mm_shuffle_epi8(tb[2], n2), _mm_shuffle_epi8(tb[3], n3)));
        const __m128i rhi = _mm_xor_si128(
            _mm_xor_si128(_mm_shuffle_epi8(tb[4], n0), _mm_shuffle_epi8(tb[5], n1)),
            _mm_xor_si128(_mm_shuffle_epi8(tb[6], n2), _mm_shuffle_epi8(tb[7], n3)));
        auto* d0 = reinterpret_cast<__m128i*>(dst + i);
        auto* d1 = reinterpret_cast<__m128i*>(dst + i + 16);
        _mm_storeu_si128(d0, _mm_xor_si128(_mm_loadu_si128(d0), _mm_unpacklo_epi8(rlo, rhi)));
        _mm_storeu_si128(d1, _mm_xor_si128(_mm_loadu_si128(d1), _mm_unpackhi_epi8(rlo, rhi)));
    }
    if (i < n) RegioneSemplice(c, src + i, dst + i, n - i);
}

#ifndef BV_RECUPERO_SENZA_AVX2
// The same on 32-byte registers; packs and unpacks work within each 128-bit lane, so the
// words come back in their own places.
__attribute__((target("avx2"))) void RegioneAvx2(uint16_t c, const uint8_t* src, uint8_t* dst,
                                                 size_t n) {
    const TavoleNibble tv(c);
    __m256i tb[8];
    for (int k = 0; k < 8; ++k)
        tb[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(tv.t[k])));
    const __m256i nib = _mm256_set1_epi8(0x0F);
    const __m256i byteBasso = _mm256_set1_epi16(0x00FF);
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 32));
        const __m256i lo =
            _mm256_packus_epi16(_mm256_and_si256(a, byteBasso), _mm256_and_si256(b, byteBasso));
        const __m256i hi = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
        const __m256i n0 = _mm256_and_si256(lo, nib);
        const __m256i n1 = _mm256_and_si256(_mm256_srli_epi16(lo, 4), nib);
        const __m256i n2 = _mm256_and_si256(hi, nib);
        const __m256i n3 = _mm256_and_si256(_mm256_srli_epi16(hi, 4), nib);
        const __m256i rlo = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_shuffle_epi8(tb[0], n0), _mm256_shuffle_epi8(tb[1], n1)),
            _mm256_xor_si256(_mm256_shuffle_epi8(tb[2], n2), _mm256_shuffle_epi8(tb[3], n3)));
        const __m256i rhi = _mm256_xor_si256(
            _mm256_xor_si256(_mm256_shuffle_epi8(tb[4], n0), _mm256_shuffle_epi8(tb[5], n1)),
            _mm256_xor_si256(_mm256_shuffle_epi8(tb[6], n2), _mm256_shuffle_epi8(tb[7], n3)));
        auto* d0 = reinterpret_cast<__m256i*>(dst + i);
        auto* d1 = reinterpret_cast<__m256i*>(dst + i + 32);
        _mm256_storeu_si256(d0,
                            _mm256_xor_si256(_mm256_loadu_si256(d0), _mm256_unpacklo_epi8(rlo, rhi)));
        _mm256_storeu_si256(d1,
                            _mm256_xor_si256(_mm256_loadu_si256(d1), _mm256_unpackhi_epi8(rlo, rhi)));
    }
    if (i < n) RegioneSsse3(c, src + i, dst + i, n - i);
}
#endif

#endif  // BV_GF16_X86

}  // namespace

const char* NomeVariante(Variante v) {
    switch (v) {
        case Variante::Ssse3:
            return "ssse3";
        case Variante::Avx2:
            return "avx2";
        case Variante::Semplice:
            break;
    }
    return "c";
}

std::vector<Variante> VariantiDisponibili() {
    std::vector<Variante> v{Variante::Semplice};
#ifdef BV_GF16_X86
    if (__builtin_cpu_supports("ssse3")) v.push_back(Variante::Ssse3);
#ifndef BV_RECUPERO_SENZA_AVX2
    if (__builtin_cpu_supports("avx2")) v.push_back(Variante::Avx2);
#endif
#endif
    return v;
}

Variante VarianteMigliore() {
    static const Variante migliore = VariantiDisponibili().back();
    return migliore;
}

void MoltiplicaAccumula(Variante v, uint16_t c, const uint8_t* src, uint8_t* dst, size_t n) {
    if (c == 0 || n < 2) return;
    switch (v) {
#ifdef BV_GF16_X86
        case Variante::Ssse3:
            RegioneSsse3(c, src, dst, n);
            return;
#ifndef BV_RECUPERO_SENZA_AVX2
        case Variante::Avx2:
            RegioneAvx2(c, src, dst, n);
            return;
#endif
#endif
        default:
            RegioneSemplice(c, src, dst, n);
    }
}

void MoltiplicaAccumula(uint16_t c, const uint8_t* src, uint8_t* dst, size_t n) {
    MoltiplicaAccumula(VarianteMigliore(), c, src, dst, n);
}

}  // namespace bv::recupero::gf16
