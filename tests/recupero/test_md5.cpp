// MD5 against the test suite of RFC 1321, whole and fed in uneven pieces.
#include <gtest/gtest.h>

#include <string>

#include "recupero/md5.h"

namespace bv::recupero {
namespace {

struct CasoMd5 {
    std::string testo;
    const char* atteso;
};

class Md5Test : public ::testing::TestWithParam<CasoMd5> {};

TEST_P(Md5Test, VettoriDellaRfc) {
    const CasoMd5& c = GetParam();
    EXPECT_EQ(Esadecimale(CalcolaMd5(c.testo.data(), c.testo.size())), c.atteso);
    CalcoloMd5 pezzi;
    for (size_t i = 0, passo = 1; i < c.testo.size(); i += passo, passo = passo * 3 % 71 + 1)
        pezzi.Aggiungi(c.testo.data() + i, std::min(passo, c.testo.size() - i));
    EXPECT_EQ(Esadecimale(pezzi.Fine()), c.atteso);
}

INSTANTIATE_TEST_SUITE_P(
    Rfc1321, Md5Test,
    ::testing::Values(CasoMd5{"", "d41d8cd98f00b204e9800998ecf8427e"},
                      CasoMd5{"a", "0cc175b9c0f1b6a831c399e269772661"},
                      CasoMd5{"abc", "900150983cd24fb0d6963f7d28e17f72"},
                      CasoMd5{"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
                      CasoMd5{"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
                      CasoMd5{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                              "d174ab98d277d9f5a5611c2c9f419d9f"},
                      CasoMd5{"1234567890123456789012345678901234567890"
                              "1234567890123456789012345678901234567890",
                              "57edf4a22be3c955ac49da2e2107b67a"},
                      CasoMd5{std::string(1000, 'x'), "398533d48111e9f664b1f64cb10c4b63"}));

}  // namespace
}  // namespace bv::recupero
