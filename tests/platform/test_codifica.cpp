// Code page and case conversions.
#include <gtest/gtest.h>

#include "platform/codifica.h"

namespace bv {
namespace {

TEST(Codifica, Cp1252AndataERitorno) {
    const std::string testo = "Città € àèìòù «»";
    const std::string ansi = Utf8ACp1252(testo);
    EXPECT_EQ(ansi, "Citt\xE0 \x80 \xE0\xE8\xEC\xF2\xF9 \xAB\xBB");
    EXPECT_EQ(Cp1252AUtf8(ansi), testo);
}

TEST(Codifica, CarattereFuoriDallaCodePageDiventaPuntoInterrogativo) {
    EXPECT_EQ(Utf8ACp1252("a日本b"), "a??b");
    EXPECT_EQ(Utf8ACp1252("\xFFx"), "?x");  // invalid UTF-8 byte
}

TEST(Codifica, Utf8Valido) {
    EXPECT_TRUE(Utf8Valido("città \xEF\xBF\xBD"));  // a genuine U+FFFD
    EXPECT_FALSE(Utf8Valido("citt\xE0"));
    EXPECT_FALSE(Utf8Valido("\xC0\xAF"));  // overlong
    EXPECT_FALSE(Utf8Valido("\xE2\x82"));  // cut short
}

TEST(Codifica, Utf16AndataERitorno) {
    const std::string testo = "Chiave è \xF0\x9F\x98\x80";  // with a surrogate pair
    EXPECT_EQ(Utf16leAUtf8(Utf8AUtf16le(testo)), testo);
    EXPECT_EQ(Utf8AUtf16le("A"), std::string("A\0", 2));
}

struct CasoMaiuscole {
    const char* a;
    const char* b;
    bool uguali;
};

class MaiuscoleTest : public ::testing::TestWithParam<CasoMaiuscole> {};

TEST_P(MaiuscoleTest, ConfrontoComeWindows) {
    EXPECT_EQ(UgualiIgnorandoMaiuscole(GetParam().a, GetParam().b), GetParam().uguali);
}

INSTANTIATE_TEST_SUITE_P(Tabella, MaiuscoleTest,
                         ::testing::Values(CasoMaiuscole{"Archivio.MDB", "archivio.mdb", true},
                                           CasoMaiuscole{"CITTÀ", "città", true},
                                           CasoMaiuscole{"ŽELJKO", "želJko", true},
                                           CasoMaiuscole{"ÿ", "Ÿ", true},
                                           CasoMaiuscole{"dati", "dati ", false},
                                           CasoMaiuscole{"a×b", "a÷b", false}));

TEST(Codifica, SpaziSoloAgliEstremi) {
    EXPECT_EQ(Spazi("  a b  "), "a b");
    EXPECT_EQ(Spazi("   "), "");
    EXPECT_EQ(Spazi("\ta\t"), "\ta\t");  // only blanks are trimmed
}

}  // namespace
}  // namespace bv
