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

// Windows system error codes: the same numbers and texts as their POSIX counterparts.
struct CasoWin32 {
    uint32_t codice;
    Oggetto oggetto;
    int32_t numero;
};

class ErroreDaCodiceWin32Test : public ::testing::TestWithParam<CasoWin32> {};

TEST_P(ErroreDaCodiceWin32Test, NumeroTestoEPercorso) {
    const CasoWin32 c = GetParam();
    const Errore e = ErroreDaCodiceWin32(c.codice, "C:\\DATI\\A.MDB", c.oggetto, "CreateFileW", "x");
    EXPECT_EQ(e.Numero(), c.numero);
    EXPECT_TRUE(e.Descrizione().starts_with(TestoErroreStandard(c.numero)));
    EXPECT_TRUE(e.Descrizione().ends_with("C:\\DATI\\A.MDB"));
    EXPECT_NE(e.Dettaglio().find("codice " + std::to_string(c.codice)), std::string::npos);
    EXPECT_EQ(e.TraVolumi(), c.codice == 17);
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, ErroreDaCodiceWin32Test,
    ::testing::Values(CasoWin32{2, Oggetto::File, 53}, CasoWin32{2, Oggetto::Cartella, 76},
                      CasoWin32{3, Oggetto::File, 76}, CasoWin32{5, Oggetto::File, 70},
                      CasoWin32{32, Oggetto::File, 70}, CasoWin32{33, Oggetto::File, 70},
                      CasoWin32{19, Oggetto::File, 70}, CasoWin32{112, Oggetto::File, 61},
                      CasoWin32{39, Oggetto::File, 61}, CasoWin32{21, Oggetto::File, 71},
                      CasoWin32{15, Oggetto::Cartella, 68}, CasoWin32{80, Oggetto::File, 58},
                      CasoWin32{183, Oggetto::Cartella, 58}, CasoWin32{123, Oggetto::File, 52},
                      CasoWin32{206, Oggetto::File, 52}, CasoWin32{23, Oggetto::File, 57},
                      CasoWin32{1117, Oggetto::File, 57}, CasoWin32{8, Oggetto::File, 7},
                      CasoWin32{17, Oggetto::File, 75}, CasoWin32{1, Oggetto::File, 75}));

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
