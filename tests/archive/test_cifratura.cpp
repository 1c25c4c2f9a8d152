// Encrypted archives: members in AES-256 (WinZip AES) read back with the key, large members
// still inflated piece by piece, a wrong or missing key refused with nothing written, and
// 7-Zip and libzip's own decryption (independent readers) opening them with the key only; the
// members libzip writes when our writer leaves the archive to it encrypted too.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "archive/zippo.h"
#include "platform/programma.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/variabili.h"

namespace bv {
namespace {

constexpr const char* kChiave = "ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34567";

std::string Casuale(size_t n, unsigned seme) {
    std::mt19937 g(seme);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>('a' + g() % 7);  // compressible, not trivially
    return s;
}

// Every member as libzip's own decryption and inflate read it, the authentication code and the
// CRC checked at the end.
std::map<std::string, std::string> LettiDaLibzip(const std::string& archivio) {
    std::map<std::string, std::string> m;
    int e = 0;
    zip_t* z = zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &e);
    EXPECT_NE(z, nullptr);
    if (z == nullptr) return m;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        EXPECT_EQ(zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st), 0);
        EXPECT_EQ(st.encryption_method, ZIP_EM_AES_256) << st.name;
        zip_file_t* f = zip_fopen_index_encrypted(z, static_cast<zip_uint64_t>(i), 0, kChiave);
        EXPECT_NE(f, nullptr) << st.name << ": " << zip_strerror(z);
        if (f == nullptr) continue;
        std::string dati;
        char buf[65536];
        zip_int64_t r = 0;
        while ((r = zip_fread(f, buf, sizeof buf)) > 0) dati.append(buf, static_cast<size_t>(r));
        EXPECT_EQ(r, 0) << st.name << ": " << zip_file_strerror(f);
        zip_fclose(f);
        m[st.name] = dati;
    }
    zip_discard(z);
    return m;
}

std::string Sette() {
    for (const char* c : {"/usr/bin/7zz", "/usr/bin/7z"})
        if (std::filesystem::exists(c)) return c;
    return {};
}

class Cifratura : public ::testing::Test {
  protected:
    void SetUp() override {
        ImpostaCartellaProgramma(t_.Percorso());
        test::CreaCartelle(t_ / "src");
        // A small file, one over the size read in pieces, and an empty one.
        file_ = {{"a.mdb", Casuale(100000, 1)}, {"b_grande.bin", Casuale(5 << 20, 2)},
                 {"c_vuoto", ""}, {"d_corto", "x"}};
        SessioneZip s(zip_);
        s.Cifra(kChiave);
        for (const auto& [nome, dati] : file_) {
            test::ScriviFile(t_ / ("src/" + nome), dati);
            ASSERT_EQ(s.Comprimi(t_ / ("src/" + nome)), 0);
        }
        ASSERT_EQ(s.Chiudi(), 0);
    }
    void TearDown() override { ImpostaCartellaProgramma(""); }

    test::CartellaTemp t_;
    std::string zip_ = t_ / "~dati.zip";
    std::map<std::string, std::string> file_;
};

TEST_F(Cifratura, OgniMembroInAes256ELeggibileConLaChiave) {
    int e = 0;
    zip_t* z = zip_open(zip_.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &e);
    ASSERT_NE(z, nullptr);
    ASSERT_EQ(zip_get_num_entries(z, 0), static_cast<zip_int64_t>(file_.size()));
    for (zip_uint64_t i = 0; i < file_.size(); ++i) {
        zip_stat_t st;
        ASSERT_EQ(zip_stat_index(z, i, 0, &st), 0);
        EXPECT_EQ(st.encryption_method, ZIP_EM_AES_256) << st.name;
        EXPECT_EQ(st.size, file_.at(st.name).size()) << "le dimensioni restano visibili";
    }
    zip_discard(z);
    ASSERT_EQ(Estrai(zip_, t_ / "out", {}, kChiave), 0);
    for (const auto& [nome, dati] : file_) EXPECT_EQ(test::LeggiTesto(t_ / ("out/" + nome)), dati);
    EXPECT_EQ(LettiDaLibzip(zip_), file_);
    std::map<std::string, std::string> sorgenti;
    for (const auto& [nome, dati] : file_) sorgenti[nome] = t_ / ("src/" + nome);
    EsitoConfronto esito;
    EXPECT_EQ(ConfrontaMembri(zip_, sorgenti, esito, {}, kChiave), 0);
    EXPECT_TRUE(esito.uguali) << esito.primaDifferenza;
    EXPECT_EQ(ControllaMembri(zip_, {}, kChiave), 0);
    // Neither the key nor the plain archive left behind.
    EXPECT_FALSE(std::filesystem::exists(t_ / "~~dati.zip.aes"));
    EXPECT_EQ(test::LeggiTesto(zip_).find(kChiave), std::string::npos);
    uint8_t testa[16] = {};
    const std::string inizio = test::LeggiTesto(zip_).substr(0, sizeof testa);
    std::copy(inizio.begin(), inizio.end(), testa);
    EXPECT_TRUE(PrimoMembroCifrato(testa, sizeof testa));
}

struct ChiaveSbagliata {
    const char* caso;
    std::string chiave;
};

class ChiaveSbagliataTest : public Cifratura, public ::testing::WithParamInterface<ChiaveSbagliata> {
};

TEST_P(ChiaveSbagliataTest, RifiutataSenzaScrivereNulla) {
    const std::string chiave = GetParam().chiave;
    EXPECT_EQ(Estrai(zip_, t_ / "out", {}, chiave), zip_codice::ChiaveErrata);
    EXPECT_TRUE(std::filesystem::is_empty(t_ / "out"));
    EXPECT_EQ(ControllaMembri(zip_, {}, chiave), zip_codice::ChiaveErrata);
}

INSTANTIATE_TEST_SUITE_P(Casi, ChiaveSbagliataTest,
                         ::testing::Values(ChiaveSbagliata{"Nessuna", ""},
                                           ChiaveSbagliata{"Altra",
                                                           "ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34568"}),
                         [](const auto& i) { return std::string(i.param.caso); });

TEST_F(Cifratura, MembroCifratoDanneggiatoRifiutato) {
    // A byte inside the large member's data: its authentication code no longer matches.
    std::string dati = test::LeggiTesto(zip_);
    const size_t dove = dati.find("b_grande.bin") + 4096;
    dati[dove] = static_cast<char>(dati[dove] ^ 0x20);
    test::ScriviFile(zip_, dati);
    EXPECT_NE(Estrai(zip_, t_ / "out", {}, kChiave), 0);
    EXPECT_FALSE(std::filesystem::exists(t_ / "out/b_grande.bin"));
    EXPECT_NE(ControllaMembri(zip_, {}, kChiave), 0);
}

TEST_F(Cifratura, SetteZipLoApreSoloConLaChiave) {
    const std::string sette = Sette();
    if (test::kSuWindows || sette.empty()) GTEST_SKIP() << "7-Zip non disponibile qui";
    const auto prova = [&](const std::string& chiave) {
        return std::system((sette + " t -p'" + chiave + "' '" + zip_ + "' >/dev/null 2>&1").c_str());
    };
    EXPECT_EQ(prova(kChiave), 0);
    EXPECT_NE(prova("sbagliata"), 0);
}

// Where our writer leaves a file to libzip, or the archive had members before the session.
struct Ripiego {
    const char* caso;
    bool archivioGiaPieno;  // a plain archive first, then the encrypted session on it
};

class RipiegoTest : public ::testing::TestWithParam<Ripiego> {
  protected:
    void SetUp() override { ImpostaCartellaProgramma(t_.Percorso()); }
    void TearDown() override { ImpostaCartellaProgramma(""); }
    test::CartellaTemp t_;
};

TEST_P(RipiegoTest, OgniMembroCifratoELeggibile) {
    const std::string zip = t_ / "~dati.zip";
    const std::string a = t_ / "a.mdb";
    const std::string b = t_ / "b.bin";
    test::ScriviFile(a, Casuale(30000, 3));
    test::ScriviFile(b, Casuale(3 << 20, 4));
    if (GetParam().archivioGiaPieno) {
        SessioneZip chiaro(zip);
        ASSERT_EQ(chiaro.ComprimiCome(a, "vecchio.mdb"), 0);
        ASSERT_EQ(chiaro.Chiudi(), 0);
    }
    SessioneZip s(zip);
    s.Cifra(kChiave);
    ASSERT_EQ(s.Comprimi(a), 0);
    ASSERT_EQ(s.Comprimi(b), 0);
    test::ScriviFile(a, "sostituito");
    ASSERT_EQ(s.Comprimi(a), 0);                  // the same name again: libzip replaces the member
    ASSERT_EQ(s.ComprimiCome(b, "dopo.bin"), 0);  // and our writer goes on after it
    ASSERT_EQ(s.Chiudi(), 0);

    std::map<std::string, std::string> attesi = {
        {"a.mdb", "sostituito"}, {"b.bin", test::LeggiTesto(b)}, {"dopo.bin", test::LeggiTesto(b)}};
    if (GetParam().archivioGiaPieno) attesi["vecchio.mdb"] = Casuale(30000, 3);
    EXPECT_EQ(LettiDaLibzip(zip), attesi);
    ASSERT_EQ(Estrai(zip, t_ / "out", {}, kChiave), 0);
    for (const auto& [nome, dati] : attesi) EXPECT_EQ(test::LeggiTesto(t_ / ("out/" + nome)), dati);
    EXPECT_EQ(ControllaMembri(zip, {}, "ABCDE-FGHJK-LMNPQ-RSTUV-WXYZ2-34568"),
              zip_codice::ChiaveErrata);
    const std::string sette = Sette();
    if (!test::kSuWindows && !sette.empty()) {
        const std::string comando = sette + " t -p'" + kChiave + "' '" + zip + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(comando.c_str()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Casi, RipiegoTest,
                         ::testing::Values(Ripiego{"ArchivioNuovo", false},
                                           Ripiego{"ArchivioGiaPieno", true}),
                         [](const auto& i) { return std::string(i.param.caso); });

}  // namespace
}  // namespace bv
