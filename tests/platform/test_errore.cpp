// Errors: errno mapping to the standard numbers, and any exception turned into an Errore.
#include <gtest/gtest.h>

#include <cerrno>
#include <new>

#include "platform/errore.h"

namespace bv {
namespace {

struct CasoErrno {
    int codice;
    Oggetto oggetto;
    int32_t numero;
};

class ErroreDaErrnoTest : public ::testing::TestWithParam<CasoErrno> {};

TEST_P(ErroreDaErrnoTest, NumeroTestoEPercorso) {
    const auto& c = GetParam();
    const Errore e = ErroreDaErrno(c.codice, "/dati/a.mdb", c.oggetto, "open");
    EXPECT_EQ(e.Numero(), c.numero);
    EXPECT_TRUE(e.Descrizione().starts_with(TestoErroreStandard(c.numero)));
    EXPECT_NE(e.Descrizione().find("/dati/a.mdb"), std::string::npos);
    EXPECT_NE(e.Dettaglio().find("errno " + std::to_string(c.codice)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, ErroreDaErrnoTest,
    ::testing::Values(CasoErrno{ENOENT, Oggetto::File, 53},
                      CasoErrno{ENOENT, Oggetto::Cartella, 76},
                      CasoErrno{EACCES, Oggetto::File, 70}, CasoErrno{EPERM, Oggetto::Cartella, 70},
                      CasoErrno{ENOSPC, Oggetto::File, 61}, CasoErrno{EIO, Oggetto::File, 57},
                      CasoErrno{EEXIST, Oggetto::Cartella, 58}, CasoErrno{EXDEV, Oggetto::File, 75},
                      CasoErrno{EBADF, Oggetto::File, 75}));

TEST(Errore, PercorsoDopoIlTestoDel76SenzaDueSpazi) {
    const Errore e = ErroreDaErrno(ENOENT, "/manca", Oggetto::Cartella, "opendir");
    EXPECT_EQ(e.Descrizione(), "Impossibile trovare il percorso /manca");
}

TEST(Errore, QualunqueEccezioneDiventaUnErrore) {
    auto converti = [](auto lancia) {
        try {
            lancia();
        } catch (...) {
            return ErroreCorrente();
        }
        return Errore(0, "");
    };
    EXPECT_EQ(converti([] { throw Errore(9990, "x"); }).Numero(), 9990);
    EXPECT_EQ(converti([] { throw std::bad_alloc(); }).Numero(), 7);
    const Errore e = converti([] { throw std::runtime_error("guasto"); });
    EXPECT_EQ(e.Numero(), 51);
    EXPECT_EQ(e.Dettaglio(), "guasto");
}

}  // namespace
}  // namespace bv
