// The recovery key's store: kept and read back, replaced, never in clear where others can read
// it (on Windows the DPAPI blob holds no trace of it).
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/casuale.h"
#include "platform/custodia_chiave.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/variabili.h"

namespace bv {
namespace {

namespace fs = std::filesystem;

TEST(CustodiaChiave, ConservataRilettaSostituita) {
    test::CartellaTemp t;
    test::ImpostaVariabile("BVBACKUP_REGISTRY", t / "registry.reg");  // the POSIX store beside it
    const std::string percorso = PercorsoCustodiaChiave();
    ASSERT_FALSE(percorso.empty());
    // Under Wine the store is the prefix's user profile: whatever was there is put back.
    std::optional<std::string> prima;
    if (fs::exists(percorso)) prima = test::LeggiTesto(percorso);
    for (const std::string k : {"ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34567", "ZZZZZ-22222-QQQQQ-77777-HHHHH-MMMMM"}) {
        CustodisciChiave(k);
        EXPECT_EQ(LeggiChiaveCustodita(), k);
        if (test::kSuWindows) {
            EXPECT_EQ(test::LeggiTesto(percorso).find(k.substr(0, 11)), std::string::npos);
        } else {
            EXPECT_EQ(fs::status(percorso).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write);
        }
    }
    if (prima) {
        test::ScriviFile(percorso, *prima);
    } else {
        fs::remove(percorso);
    }
    if (!prima) {
        EXPECT_EQ(LeggiChiaveCustodita(), "");
    }
    test::TogliVariabile("BVBACKUP_REGISTRY");
}

TEST(ByteCasuali, DueRichiesteDiverse) {
    uint8_t a[32] = {};
    uint8_t b[32] = {};
    ByteCasuali(a, sizeof a);
    ByteCasuali(b, sizeof b);
    EXPECT_NE(std::string(a, a + sizeof a), std::string(b, b + sizeof b));
}

}  // namespace
}  // namespace bv
