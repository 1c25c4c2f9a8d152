// The PE version reader on images built in memory: good ones, and truncated or hostile ones
// that must be refused without reading out of bounds (the sanitizer build checks that).
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/versione_pe.h"
#include "tests/support/cartella_temp.h"
#include "tools/pe_builder.h"

namespace bv {
namespace {

using strumenti::CostruisciPe;
using strumenti::OpzioniPe;

void Metti32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[off + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

struct CasoPe {
    bool pe32plus;
    bool altreRisorse;
    VersionePe versione;
};

class VersionePeTest : public ::testing::TestWithParam<CasoPe> {};

TEST_P(VersionePeTest, LeggeLaVersioneDelFile) {
    const auto& c = GetParam();
    const auto img = CostruisciPe(
        {.pe32plus = c.pe32plus, .versione = c.versione, .altreRisorse = c.altreRisorse});
    const auto v = VersioneDaImmagine(img.byte);
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, c.versione);
}

INSTANTIATE_TEST_SUITE_P(Immagini, VersionePeTest,
                         ::testing::Values(CasoPe{false, false, {1, 2, 0, 15}},
                                           CasoPe{true, false, {1, 2, 0, 15}},
                                           CasoPe{false, true, {1, 0, 0, 0}},
                                           CasoPe{true, true, {0, 9, 0, 0}},
                                           CasoPe{false, true, {65535, 32768, 1, 65535}}));

TEST(VersionePe, SenzaRisorsaVersioneONonPe) {
    EXPECT_FALSE(VersioneDaImmagine(CostruisciPe({}).byte));
    EXPECT_FALSE(
        VersioneDaImmagine(CostruisciPe({.versione = std::nullopt, .altreRisorse = true}).byte));
    const std::string testo = "MZ non sono un eseguibile";
    EXPECT_FALSE(VersioneDaImmagine(
        std::span(reinterpret_cast<const uint8_t*>(testo.data()), testo.size())));
    EXPECT_FALSE(VersioneDaImmagine(std::span<const uint8_t>()));
}

TEST(VersionePe, OgniTroncamentoERifiutatoOLettoGiusto) {
    const VersionePe attesa{3, 1, 4, 1};
    const auto img = CostruisciPe({.versione = attesa, .altreRisorse = true});
    for (size_t n = 0; n < img.byte.size(); ++n) {
        // A copy of exactly n bytes, so that the sanitizer sees any read past its end.
        const std::vector<uint8_t> corto(img.byte.begin(), img.byte.begin() + static_cast<long>(n));
        const auto v = VersioneDaImmagine(corto);
        if (v) {
            EXPECT_EQ(*v, attesa) << n;
            EXPECT_GE(n, img.offsetVersione + 56) << n;
        }
    }
}

struct Manomissione {
    const char* nome;
    void (*applica)(strumenti::ImmaginePe&);
};

class PeOstileTest : public ::testing::TestWithParam<Manomissione> {};

TEST_P(PeOstileTest, Rifiutato) {
    auto img = CostruisciPe({.versione = VersionePe{1, 2, 0, 0}, .altreRisorse = true});
    GetParam().applica(img);
    EXPECT_FALSE(VersioneDaImmagine(img.byte)) << GetParam().nome;
}

INSTANTIATE_TEST_SUITE_P(
    Manomissioni, PeOstileTest,
    ::testing::Values(
        Manomissione{"lfanew oltre il file",
                     [](auto& i) { Metti32(i.byte, i.offsetLfanew, 0xFFFFFFF0); }},
        Manomissione{"lfanew enorme", [](auto& i) { Metti32(i.byte, i.offsetLfanew, 0x7FFFFFFF); }},
        Manomissione{"risorse fuori dalle sezioni",
                     [](auto& i) { Metti32(i.byte, i.offsetDirectoryRisorse, 0x00F00000); }},
        Manomissione{"risorse a rva che avvolge",
                     [](auto& i) { Metti32(i.byte, i.offsetDirectoryRisorse, 0xFFFFFFF8); }},
        Manomissione{"troppe voci nella radice, nessuna di tipo versione",
                     [](auto& i) {
                         Metti32(i.byte, i.offsetRadiceRisorse + 16 + 8, 17);
                         i.byte[i.offsetRadiceRisorse + 12] = 0xFF;
                         i.byte[i.offsetRadiceRisorse + 13] = 0xFF;
                         i.byte[i.offsetRadiceRisorse + 14] = 0xFF;
                         i.byte[i.offsetRadiceRisorse + 15] = 0xFF;
                     }},
        Manomissione{"sottodirectory fuori",
                     [](auto& i) {
                         // entry 1 of the root is the version type (icons come first)
                         Metti32(i.byte, i.offsetRadiceRisorse + 16 + 8 + 4, 0x8FFFFFF0);
                     }},
        Manomissione{
            "sottodirectory su se stessa",
            [](auto& i) { Metti32(i.byte, i.offsetRadiceRisorse + 16 + 8 + 4, 0x80000000); }},
        Manomissione{"firma della parte fissa",
                     [](auto& i) { i.byte[i.offsetVersione + 40] ^= 0xFF; }},
        Manomissione{"chiave VS_VERSION_INFO", [](auto& i) { i.byte[i.offsetVersione + 6] = 'X'; }},
        Manomissione{"firma PE", [](auto& i) { i.byte[0x80] = 'X'; }},
        Manomissione{"magic dell'intestazione opzionale",
                     [](auto& i) { i.byte[0x80 + 24] = 0x07; }}));

TEST(VersionePe, ByteCasualiNonFannoDanni) {
    const auto base = CostruisciPe({.versione = VersionePe{1, 2, 3, 4}, .altreRisorse = true});
    std::mt19937 gen(12345);
    int lette = 0;
    for (int prova = 0; prova < 3000; ++prova) {
        auto img = base.byte;
        const int colpi = 1 + static_cast<int>(gen() % 4);
        for (int k = 0; k < colpi; ++k) img[gen() % img.size()] = static_cast<uint8_t>(gen());
        if (VersioneDaImmagine(img)) ++lette;
    }
    // Most single hits land in padding, so most images still read; none may crash.
    EXPECT_GT(lette, 0);
}

TEST(VersionePe, FileSuDisco) {
    test::CartellaTemp t;
    const auto img = CostruisciPe({.pe32plus = true, .versione = VersionePe{1, 2, 0, 15}});
    test::ScriviFile(t / "Brelvano.exe", std::string(img.byte.begin(), img.byte.end()));
    EXPECT_EQ(LeggiVersioneFile(t / "Brelvano.exe"), (VersionePe{1, 2, 0, 15}));
    EXPECT_FALSE(LeggiVersioneFile(t / "manca.exe"));
    EXPECT_FALSE(LeggiVersioneFile(t.Percorso()));
}

}  // namespace
}  // namespace bv
