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

// The four rounds' functions, and one step: a = b + ((a + f(b, c, d) + m) <<< s). The steps are
// written out (the registers renamed instead of moved) so that the compiler keeps all in
// registers: MD5 is the recovery data's slowest part.
inline uint32_t F(uint32_t b, uint32_t c, uint32_t d) { return d ^ (b & (c ^ d)); }
inline uint32_t G(uint32_t b, uint32_t c, uint32_t d) { return c ^ (d & (b ^ c)); }
inline uint32_t H(uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }
inline uint32_t I(uint32_t b, uint32_t c, uint32_t d) { return c ^ (b | ~d); }
template <uint32_t (*f)(uint32_t, uint32_t, uint32_t), int s>
inline void Passo(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t m) {
    a = b + Ruota(a + f(b, c, d) + m, s);
}

}  // namespace

CalcoloMd5::CalcoloMd5() : stato_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, buffer_{} {}

void CalcoloMd5::Blocco(const uint8_t* p) {
    uint32_t x[16];
    for (size_t i = 0; i < 16; ++i)
        x[i] = uint32_t{p[4 * i]} | uint32_t{p[4 * i + 1]} << 8 | uint32_t{p[4 * i + 2]} << 16 |
               uint32_t{p[4 * i + 3]} << 24;
    uint32_t a = stato_[0], b = stato_[1], c = stato_[2], d = stato_[3];
    Passo<F, kS[0]>(a, b, c, d, x[0] + kT[0]);
    Passo<F, kS[1]>(d, a, b, c, x[1] + kT[1]);
    Passo<F, kS[2]>(c, d, a, b, x[2] + kT[2]);
    Passo<F, kS[3]>(b, c, d, a, x[3] + kT[3]);
    Passo<F, kS[4]>(a, b, c, d, x[4] + kT[4]);
    Passo<F, kS[5]>(d, a, b, c, x[5] + kT[5]);
    Passo<F, kS[6]>(c, d, a, b, x[6] + kT[6]);
    Passo<F, kS[7]>(b, c, d, a, x[7] + kT[7]);
    Passo<F, kS[8]>(a, b, c, d, x[8] + kT[8]);
    Passo<F, kS[9]>(d, a, b, c, x[9] + kT[9]);
    Passo<F, kS[10]>(c, d, a, b, x[10] + kT[10]);
    Passo<F, kS[11]>(b, c, d, a, x[11] + kT[11]);
    Passo<F, kS[12]>(a, b, c, d, x[12] + kT[12]);
    Passo<F, kS[13]>(d, a, b, c, x[13] + kT[13]);
    Passo<F, kS[14]>(c, d, a, b, x[14] + kT[14]);
    Passo<F, kS[15]>(b, c, d, a, x[15] + kT[15]);
    Passo<G, kS[16]>(a, b, c, d, x[1] + kT[16]);
    Passo<G, kS[17]>(d, a, b, c, x[6] + kT[17]);
    Passo<G, kS[18]>(c, d, a, b, x[11] + kT[18]);
    Passo<G, kS[19]>(b, c, d, a, x[0] + kT[19]);
    Passo<G, kS[20]>(a, b, c, d, x[5] + kT[20]);
    Passo<G, kS[21]>(d, a, b, c, x[10] + kT[21]);
    Passo<G, kS[22]>(c, d, a, b, x[15] + kT[22]);
    Passo<G, kS[23]>(b, c, d, a, x[4] + kT[23]);
    Passo<G, kS[24]>(a, b, c, d, x[9] + kT[24]);
    Passo<G, kS[25]>(d, a, b, c, x[14] + kT[25]);
    Passo<G, kS[26]>(c, d, a, b, x[3] + kT[26]);
    Passo<G, kS[27]>(b, c, d, a, x[8] + kT[27]);
    Passo<G, kS[28]>(a, b, c, d, x[13] + kT[28]);
    Passo<G, kS[29]>(d, a, b, c, x[2] + kT[29]);
    Passo<G, kS[30]>(c, d, a, b, x[7] + kT[30]);
    Passo<G, kS[31]>(b, c, d, a, x[12] + kT[31]);
    Passo<H, kS[32]>(a, b, c, d, x[5] + kT[32]);
    Passo<H, kS[33]>(d, a, b, c, x[8] + kT[33]);
    Passo<H, kS[34]>(c, d, a, b, x[11] + kT[34]);
    Passo<H, kS[35]>(b, c, d, a, x[14] + kT[35]);
    Passo<H, kS[36]>(a, b, c, d, x[1] + kT[36]);
    Passo<H, kS[37]>(d, a, b, c, x[4] + kT[37]);
    Passo<H, kS[38]>(c, d, a, b, x[7] + kT[38]);
    Passo<H, kS[39]>(b, c, d, a, x[10] + kT[39]);
    Passo<H, kS[40]>(a, b, c, d, x[13] + kT[40]);
    Passo<H, kS[41]>(d, a, b, c, x[0] + kT[41]);
    Passo<H, kS[42]>(c, d, a, b, x[3] + kT[42]);
    Passo<H, kS[43]>(b, c, d, a, x[6] + kT[43]);
    Passo<H, kS[44]>(a, b, c, d, x[9] + kT[44]);
    Passo<H, kS[45]>(d, a, b, c, x[12] + kT[45]);
    Passo<H, kS[46]>(c, d, a, b, x[15] + kT[46]);
    Passo<H, kS[47]>(b, c, d, a, x[2] + kT[47]);
    Passo<I, kS[48]>(a, b, c, d, x[0] + kT[48]);
    Passo<I, kS[49]>(d, a, b, c, x[7] + kT[49]);
    Passo<I, kS[50]>(c, d, a, b, x[14] + kT[50]);
    Passo<I, kS[51]>(b, c, d, a, x[5] + kT[51]);
    Passo<I, kS[52]>(a, b, c, d, x[12] + kT[52]);
    Passo<I, kS[53]>(d, a, b, c, x[3] + kT[53]);
    Passo<I, kS[54]>(c, d, a, b, x[10] + kT[54]);
    Passo<I, kS[55]>(b, c, d, a, x[1] + kT[55]);
    Passo<I, kS[56]>(a, b, c, d, x[8] + kT[56]);
    Passo<I, kS[57]>(d, a, b, c, x[15] + kT[57]);
    Passo<I, kS[58]>(c, d, a, b, x[6] + kT[58]);
    Passo<I, kS[59]>(b, c, d, a, x[13] + kT[59]);
    Passo<I, kS[60]>(a, b, c, d, x[4] + kT[60]);
    Passo<I, kS[61]>(d, a, b, c, x[11] + kT[61]);
    Passo<I, kS[62]>(c, d, a, b, x[2] + kT[62]);
    Passo<I, kS[63]>(b, c, d, a, x[9] + kT[63]);
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
