#include "recupero/md5.h"

#include <cstring>

namespace bv::recupero {
namespace {

// T[i] = floor(2^32 * |sin(i + 1)|).
constexpr uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};
constexpr int kS[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

inline uint32_t Ruota(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

CalcoloMd5::CalcoloMd5() : stato_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, buffer_{} {}

void CalcoloMd5::Blocco(const uint8_t* p) {
    uint32_t x[16];
    for (size_t i = 0; i < 16; ++i)
        x[i] = uint32_t{p[4 * i]} | uint32_t{p[4 * i + 1]} << 8 | uint32_t{p[4 * i + 2]} << 16 |
               uint32_t{p[4 * i + 3]} << 24;
    uint32_t a = stato_[0], b = stato_[1], c = stato_[2], d = stato_[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t t = d;
        d = c;
        c = b;
        b = b + Ruota(a + f + kT[i] + x[g], kS[i]);
        a = t;
    }
    stato_[0] += a;
    stato_[1] += b;
    stato_[2] += c;
    stato_[3] += d;
}

void CalcoloMd5::Aggiungi(const void* dati, size_t n) {
    const auto* p = static_cast<const uint8_t*>(dati);
    size_t usati = static_cast<size_t>(lunghezza_ % 64);
    lunghezza_ += n;
    if (usati > 0) {
        const size_t presi = std::min(n, 64 - usati);
        std::memcpy(buffer_ + usati, p, presi);
        p += presi;
        n -= presi;
        usati += presi;
        if (usati < 64) return;
        Blocco(buffer_);
    }
    for (; n >= 64; p += 64, n -= 64) Blocco(p);
    if (n > 0) std::memcpy(buffer_, p, n);
}

Md5 CalcoloMd5::Fine() {
    const uint64_t bit = lunghezza_ * 8;
    const uint8_t uno = 0x80;
    Aggiungi(&uno, 1);
    const uint8_t zeri[64] = {};
    Aggiungi(zeri, (120 - lunghezza_ % 64) % 64);
    uint8_t l[8];
    for (int i = 0; i < 8; ++i) l[i] = static_cast<uint8_t>(bit >> (8 * i));
    Aggiungi(l, 8);
    Md5 h;
    for (int i = 0; i < 16; ++i) h[i] = static_cast<uint8_t>(stato_[i / 4] >> (8 * (i % 4)));
    *this = CalcoloMd5();
    return h;
}

Md5 CalcolaMd5(const void* dati, size_t n) {
    CalcoloMd5 c;
    c.Aggiungi(dati, n);
    return c.Fine();
}

std::string Esadecimale(const Md5& h) {
    static const char* cifre = "0123456789abcdef";
    std::string s;
    for (uint8_t b : h) {
        s += cifre[b >> 4];
        s += cifre[b & 15];
    }
    return s;
}

}  // namespace bv::recupero
