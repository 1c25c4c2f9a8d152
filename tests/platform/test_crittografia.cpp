// The cryptographic building blocks against the published vectors: PBKDF2-HMAC-SHA1 (RFC 6070),
// HMAC-SHA1 (RFC 2202), AES-256 (FIPS-197, appendix C.3).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/crittografia.h"

namespace bv {
namespace {

std::string Esadecimale(const uint8_t* p, size_t n) {
    std::string s;
    char c[3];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(c, sizeof c, "%02x", p[i]);
        s += c;
    }
    return s;
}

const uint8_t* Byte(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

struct CasoPbkdf2 {
    std::string password;
    std::string sale;
    uint32_t iterazioni;
    size_t lunghezza;
    const char* atteso;
};

class Pbkdf2Test : public ::testing::TestWithParam<CasoPbkdf2> {};

TEST_P(Pbkdf2Test, ComeRfc6070) {
    const CasoPbkdf2& c = GetParam();
    std::vector<uint8_t> uscita(c.lunghezza);
    Pbkdf2HmacSha1(c.password, Byte(c.sale), c.sale.size(), c.iterazioni, uscita.data(),
                   uscita.size());
    EXPECT_EQ(Esadecimale(uscita.data(), uscita.size()), c.atteso);
}

INSTANTIATE_TEST_SUITE_P(
    Vettori, Pbkdf2Test,
    ::testing::Values(
        CasoPbkdf2{"password", "salt", 1, 20, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        CasoPbkdf2{"password", "salt", 2, 20, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        CasoPbkdf2{"password", "salt", 4096, 20, "4b007901b765489abead49d926f721d065a429c1"},
        CasoPbkdf2{"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25,
                   "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        CasoPbkdf2{std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16,
                   "56fa6aa75548099dcc37d7f03425e0c3"}));

TEST(HmacSha1, ComeRfc2202InPiuPezzi) {
    const std::string chiave = "Jefe";
    HmacSha1 h(Byte(chiave), chiave.size());
    const std::string dati = "what do ya want for nothing?";
    h.Aggiungi(Byte(dati), 10);  // in two calls: the same as in one
    h.Aggiungi(Byte(dati) + 10, dati.size() - 10);
    uint8_t codice[kHmacSha1];
    h.Fine(codice);
    EXPECT_EQ(Esadecimale(codice, sizeof codice), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
}

TEST(CifraAes256, ComeFips197EBlocchiIndipendenti) {
    uint8_t chiave[kChiaveAes256];
    for (size_t i = 0; i < sizeof chiave; ++i) chiave[i] = static_cast<uint8_t>(i);
    uint8_t blocchi[3 * kBloccoAes];
    for (size_t i = 0; i < sizeof blocchi; ++i) blocchi[i] = static_cast<uint8_t>((i % 16) * 0x11);
    CifraAes256 aes(chiave);
    aes.CifraBlocchi(blocchi, blocchi, sizeof blocchi);  // in place, three equal blocks
    for (size_t b = 0; b < 3; ++b)
        EXPECT_EQ(Esadecimale(blocchi + b * kBloccoAes, kBloccoAes),
                  "8ea2b7ca516745bfeafc49904b496089");
}

}  // namespace
}  // namespace bv
