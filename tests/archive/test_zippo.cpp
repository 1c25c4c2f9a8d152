// Zippo: adding, replacing, extracting, damaged and crafted archives, the log, and the
// archives of the Info-ZIP tools both ways.
#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <random>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>

#include "archive/nomi_membri.h"
#include "archive/zippo.h"
#include "platform/programma.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/interazione_script.h"
#include "tests/support/variabili.h"
#include "tools/dati_demo.h"
#include "util/koutilita.h"

namespace bv {
namespace {

class Zippo : public ::testing::Test {
  protected:
    void SetUp() override {
        ImpostaCartellaProgramma(t_.Percorso());
        test::CreaCartelle(t_ / "src/sotto");
        test::CreaCartelle(t_ / "out");
    }
    void TearDown() override { ImpostaCartellaProgramma(""); }

    std::string Log() { return test::LeggiTesto(koUtilita::FileLog()); }
    // Members of an archive, as libzip reads them: name -> content.
    std::map<std::string, std::string> Membri(const std::string& archivio) {
        std::map<std::string, std::string> m;
        int e = 0;
        zip_t* z = zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &e);
        EXPECT_NE(z, nullptr) << e;
        if (z == nullptr) return m;
        for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
            zip_stat_t st;
            zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
            std::string dati(st.size, '\0');
            zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
            EXPECT_EQ(zip_fread(f, dati.data(), dati.size()), static_cast<zip_int64_t>(st.size));
            zip_fclose(f);
            m[st.name] = dati;
        }
        zip_discard(z);
        return m;
    }
    // An archive with members of any name, for crafted cases.
    void CreaArchivio(
        const std::string& archivio, const std::vector<std::pair<std::string, std::string>>& membri,
        const std::function<void(zip_t*, zip_int64_t, const std::string&)>& dopo = {}) {
        int e = 0;
        zip_t* z = zip_open(archivio.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &e);
        ASSERT_NE(z, nullptr);
        for (const auto& [nome, dati] : membri) {
            auto* copia = new std::string(dati);
            copie_.emplace_back(copia);
            zip_source_t* s = zip_source_buffer(z, copia->data(), copia->size(), 0);
            const zip_int64_t i = zip_file_add(z, nome.c_str(), s, ZIP_FL_ENC_RAW);
            ASSERT_GE(i, 0) << nome;
            if (dopo) dopo(z, i, nome);
        }
        ASSERT_EQ(zip_close(z), 0);
    }
    // One file added in a session of its own, under its bare name or the one given.
    static int Aggiungi(const std::string& file, const std::string& archivio,
                        const std::string& nome = {}) {
        SessioneZip s(archivio);
        if (const int r = nome.empty() ? s.Comprimi(file) : s.ComprimiCome(file, nome); r != 0)
            return r;
        return s.Chiudi();
    }
    static int Esegui(const std::string& comando) {
        return std::system((comando + " >/dev/null 2>&1").c_str());
    }

    test::CartellaTemp t_;
    std::string zip_ = t_ / "~dati.zip";
    std::vector<std::unique_ptr<std::string>> copie_;
};

TEST_F(Zippo, DueFileConNomiNudiEInOrdine) {
    BV_SOLO_POSIX("gli strumenti Info-ZIP (zip, unzip) come riferimento: non sotto Wine");
    test::ScriviFile(t_ / "src/b.mdb", std::string(300000, 'b'));
    test::ScriviFile(t_ / "src/sotto/b_logo.bmp", "logo");
    EXPECT_EQ(Aggiungi(t_ / "src/b.mdb", zip_), 0);
    EXPECT_EQ(Aggiungi(t_ / "src/sotto/b_logo.bmp", zip_), 0);
    const auto m = Membri(zip_);
    ASSERT_EQ(m.size(), 2U);
    EXPECT_EQ(m.at("b.mdb"), std::string(300000, 'b'));
    EXPECT_EQ(m.at("b_logo.bmp"), "logo");
    // Order of addition is the order in the archive.
    int e = 0;
    zip_t* z = zip_open(zip_.c_str(), ZIP_RDONLY, &e);
    EXPECT_STREQ(zip_get_name(z, 0, 0), "b.mdb");
    EXPECT_STREQ(zip_get_name(z, 1, 0), "b_logo.bmp");
    zip_discard(z);
    EXPECT_EQ(Esegui("unzip -tq '" + zip_ + "'"), 0);
}

TEST_F(Zippo, MembroDelloStessoNomeSostituito) {
    BV_SOLO_POSIX("gli strumenti Info-ZIP (zip, unzip) come riferimento: non sotto Wine");
    test::ScriviFile(t_ / "src/x.txt", "primo");
    test::ScriviFile(t_ / "src/sotto/x.txt", "secondo, piu' lungo");
    test::ScriviFile(t_ / "src/y.txt", "dopo");
    EXPECT_EQ(Aggiungi(t_ / "src/x.txt", zip_), 0);
    EXPECT_EQ(Aggiungi(t_ / "src/sotto/x.txt", zip_), 0);
    EXPECT_EQ(Aggiungi(t_ / "src/y.txt", zip_), 0);  // appended after a rewrite
    const auto m = Membri(zip_);
    ASSERT_EQ(m.size(), 2U);
    EXPECT_EQ(m.at("x.txt"), "secondo, piu' lungo");
    EXPECT_EQ(m.at("y.txt"), "dopo");
    EXPECT_EQ(Esegui("unzip -tq '" + zip_ + "'"), 0);
}

TEST_F(Zippo, NomiNonAsciiEFileDiUnaSottocartella) {
    BV_SOLO_POSIX("gli strumenti Info-ZIP (zip, unzip) come riferimento: non sotto Wine");
    test::ScriviFile(t_ / "src/città.mdb", "è");
    test::ScriviFile(t_ / "src/sotto/nota", "n");
    SessioneZip s(zip_);
    EXPECT_EQ(s.Comprimi(t_ / "src/città.mdb"), 0);
    EXPECT_EQ(s.Comprimi(t_ / "src/sotto/nota"), 0);
    EXPECT_EQ(s.Chiudi(), 0);
    const auto m = Membri(zip_);
    EXPECT_EQ(m.at("città.mdb"), "è");
    EXPECT_EQ(m.at("nota"), "n");
    EXPECT_EQ(Estrai(zip_, t_ / "out"), 0);
    EXPECT_EQ(test::LeggiTesto(t_ / "out/città.mdb"), "è");
}

TEST_F(Zippo, FileMancanteNonZeroConLog) {
    EXPECT_NE(Aggiungi(t_ / "src/manca.mdb", zip_), 0);
    EXPECT_NE(Log().find("manca.mdb"), std::string::npos);
    EXPECT_FALSE(test::Esiste(zip_));
}

TEST_F(Zippo, DiscoPienoDuranteLaCompressione) {
    strumenti::GeneraBinario(t_ / "src/grande.bin", 4 << 20, 1);
    test::FsGuasto guasto;
    guasto.scritturaCheFallisce = 3;
    EXPECT_EQ(Aggiungi(t_ / "src/grande.bin", zip_), zip_codice::DiscoPieno);
    EXPECT_NE(Log().find("Disco pieno"), std::string::npos);
}

TEST_F(Zippo, EstraiSovrascriveSenzaChiedereEConservaLaData) {
    test::ScriviFile(t_ / "src/a.mdb", "nuovo");
    FsDiSistema().ImpostaDataModifica(t_ / "src/a.mdb", 1700000000);
    EXPECT_EQ(Aggiungi(t_ / "src/a.mdb", zip_), 0);
    test::ScriviFile(t_ / "out/a.mdb", "vecchio contenuto");
    test::InterazioneScriptata interazione;  // any question would fail the test
    EXPECT_EQ(Estrai(zip_, t_ / "out"), 0);
    EXPECT_EQ(test::LeggiTesto(t_ / "out/a.mdb"), "nuovo");
    EXPECT_NEAR(static_cast<double>(FsDiSistema().Info(t_ / "out/a.mdb").modifica), 1700000000.0,
                2.0);
    EXPECT_EQ(FsDiSistema().Elenca(t_ / "out").size(), 1U);  // no temporary left
}

struct CasoDanno {
    const char* nome;
    std::function<void(std::string&)> danneggia;
};

class ArchivioDanneggiato : public Zippo, public ::testing::WithParamInterface<CasoDanno> {};

TEST_P(ArchivioDanneggiato, NonZeroLogENessunFileMezzoScritto) {
    strumenti::GeneraDatabase(t_ / "src/dati.mdb", 1 << 20, 7);
    ASSERT_EQ(Aggiungi(t_ / "src/dati.mdb", zip_), 0);
    std::string byte = test::LeggiTesto(zip_);
    GetParam().danneggia(byte);
    test::ScriviFile(zip_, byte);
    EXPECT_NE(Estrai(zip_, t_ / "out"), 0);
    EXPECT_TRUE(std::regex_search(Log(), std::regex(R"(\d{4}-\w{3}-\d\d \d\d:\d\d:\d\d .*dati)")))
        << Log();
    EXPECT_TRUE(FsDiSistema().Elenca(t_ / "out").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Danni, ArchivioDanneggiato,
    ::testing::Values(
        CasoDanno{"troncato", [](std::string& b) { b.resize(b.size() / 2); }},
        CasoDanno{"bit_invertito_nei_dati", [](std::string& b) { b[b.size() / 2] ^= 0x10; }},
        CasoDanno{"crc_sbagliato",
                  [](std::string& b) {
                      // the CRC in the central directory entry (46 + name + 22 from the end)
                      b[b.size() - 22 - 46 - 8 + 16] ^= 0xFF;
                  }},
        CasoDanno{"non_zip", [](std::string& b) { b = "questo non e' un archivio dati"; }}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Zippo, ArchivioMancante) {
    EXPECT_EQ(Estrai(t_ / "manca.zip", t_ / "out"), zip_codice::ArchivioMancante);
    EXPECT_NE(Log().find("manca.zip"), std::string::npos);
}

TEST_F(Zippo, DiscoPienoDuranteLEstrazioneNonLasciaNulla) {
    strumenti::GeneraBinario(t_ / "src/a.bin", 3 << 20, 3);
    ASSERT_EQ(Aggiungi(t_ / "src/a.bin", zip_), 0);
    test::ScriviFile(t_ / "out/a.bin", "buono");
    test::FsGuasto guasto;
    guasto.scritturaCheFallisce = 2;
    EXPECT_EQ(Estrai(zip_, t_ / "out"), zip_codice::DiscoPieno);
    EXPECT_EQ(test::LeggiTesto(t_ / "out/a.bin"), "buono");
    EXPECT_EQ(FsDiSistema().Elenca(t_ / "out").size(), 1U);
}

class MembroNonSicuro : public Zippo, public ::testing::WithParamInterface<std::string> {};

TEST_P(MembroNonSicuro, NienteScrittoERifiutato) {
    test::CreaCartelle(t_ / "out/interna");
    CreaArchivio(zip_, {{"buono.mdb", "ok"}, {GetParam(), "cattivo"}});
    EXPECT_NE(Estrai(zip_, t_ / "out/interna"), 0);
    EXPECT_NE(Log().find("Membro rifiutato"), std::string::npos);
    EXPECT_TRUE(FsDiSistema().Elenca(t_ / "out/interna").empty());
    EXPECT_EQ(FsDiSistema().Elenca(t_ / "out").size(), 1U);
    EXPECT_FALSE(test::Esiste("/evil"));
}

INSTANTIATE_TEST_SUITE_P(Nomi, MembroNonSicuro,
                         ::testing::Values("../evil", "/evil", "C:evil", "a/../../evil",
                                           "a\\..\\..\\evil", "..", "sotto/../../evil",
                                           // Windows device names, control characters
                                           "CON", "nul.txt", "dati/COM1.mdb", "LPT9", "a\x01z",
                                           "riga\nnuova",
                                           // names Windows would cut, on every system
                                           "x.txt ", " x.txt", "x.txt.", "sotto /x", "a./x"));

// Names fine one by one that cannot stand together in one folder.
class CoppiaNonSicura : public Zippo,
                        public ::testing::WithParamInterface<std::pair<std::string, std::string>> {
};

TEST_P(CoppiaNonSicura, NienteScrittoERifiutato) {
    CreaArchivio(zip_, {{"buono.mdb", "ok"},
                        {GetParam().first, GetParam().first.ends_with("/") ? "" : "uno"},
                        {GetParam().second, "due"}});
    EXPECT_NE(Estrai(zip_, t_ / "out"), 0);
    EXPECT_TRUE(FsDiSistema().Elenca(t_ / "out").empty());
}

INSTANTIATE_TEST_SUITE_P(Coppie, CoppiaNonSicura,
                         ::testing::Values(std::pair<std::string, std::string>{"x", "x/y"},
                                           std::pair<std::string, std::string>{"x/y", "X"},
                                           std::pair<std::string, std::string>{"A.mdb", "a.mdb"},
                                           std::pair<std::string, std::string>{"d/", "D"},
                                           // one file, spelt with "." or empty components
                                           std::pair<std::string, std::string>{"a.mdb", "./a.mdb"},
                                           std::pair<std::string, std::string>{"a.mdb", ".//a.mdb"},
                                           std::pair<std::string, std::string>{"d/x", "d\\.\\X"},
                                           std::pair<std::string, std::string>{"d//x/", "d/x"}));

TEST_F(Zippo, MembriNonOrdinariRifiutati) {
    // Unix file types as a ZIP's external attributes carry them, on every platform.
    for (const uint32_t tipo : {0010000U, 0020000U, 0060000U, 0140000U}) {
        CreaArchivio(zip_, {{"strano", ""}}, [tipo](zip_t* z, zip_int64_t i, const std::string&) {
            zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(i), 0, ZIP_OPSYS_UNIX,
                                             (tipo | 0644U) << 16);
        });
        EXPECT_NE(Estrai(zip_, t_ / "out"), 0) << tipo;
        EXPECT_TRUE(FsDiSistema().Elenca(t_ / "out").empty()) << tipo;
    }
}

TEST_F(Zippo, DimensioniDichiarateEPiuDatiDelDichiarato) {
    CreaArchivio(zip_, {{"a", std::string(1000, 'a')}, {"b", std::string(2000, 'b')}});
    uint64_t totale = 0;
    ASSERT_EQ(DimensioneMembri(zip_, totale), 0);
    EXPECT_EQ(totale, 3000U);
    // A header that declares less than the member holds: extraction stops, nothing is left.
    std::string dati = test::LeggiTesto(zip_);
    for (size_t p = 0; (p = dati.find("PK\x03\x04", p)) != std::string::npos; p += 4) {
        if (dati.compare(p + 30, 1, "b") != 0) continue;
        dati[p + 22] = 10;  // uncompressed size, little end
        dati[p + 23] = 0;
    }
    for (size_t p = 0; (p = dati.find("PK\x01\x02", p)) != std::string::npos; p += 4) {
        if (dati.compare(p + 46, 1, "b") != 0) continue;
        dati[p + 24] = 10;
        dati[p + 25] = 0;
    }
    test::ScriviFile(zip_, dati);
    ASSERT_EQ(DimensioneMembri(zip_, totale), 0);
    EXPECT_EQ(totale, 1010U);
    EXPECT_NE(Estrai(zip_, t_ / "out"), 0);
    EXPECT_FALSE(test::Esiste(t_ / "out/b"));
    for (const auto& v : FsDiSistema().Elenca(t_ / "out")) EXPECT_FALSE(v.nome.ends_with(".tmp"));
}

TEST_F(Zippo, CollegamentoSimbolicoRifiutato) {
    CreaArchivio(zip_, {{"link", "/etc/passwd"}}, [](zip_t* z, zip_int64_t i, const std::string&) {
        zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(i), 0, ZIP_OPSYS_UNIX,
                                         (0120000U | 0777U) << 16);  // a symbolic link
    });
    EXPECT_NE(Estrai(zip_, t_ / "out"), 0);
    EXPECT_NE(Log().find("link"), std::string::npos);
    EXPECT_TRUE(FsDiSistema().Elenca(t_ / "out").empty());
}

TEST_F(Zippo, CollegamentoGiaPresenteNonPortaFuori) {
    test::CreaCartelle(t_ / "fuori");
    std::error_code ec;
    std::filesystem::create_directory_symlink(t_ / "fuori", t_ / "out/sotto", ec);
    if (ec) GTEST_SKIP() << "collegamenti simbolici non disponibili: " << ec.message();
    CreaArchivio(zip_, {{"sotto/x", "x"}});
    EXPECT_NE(Estrai(zip_, t_ / "out"), 0);
    EXPECT_TRUE(FsDiSistema().Elenca(t_ / "fuori").empty());
}

TEST_F(Zippo, CartelleDeiMembriCreate) {
    CreaArchivio(zip_, {{"uno/due/tre.txt", "3"}, {"vuota/", ""}});
    EXPECT_EQ(Estrai(zip_, t_ / "out"), 0);
    EXPECT_EQ(test::LeggiTesto(t_ / "out/uno/due/tre.txt"), "3");
    EXPECT_TRUE(test::Esiste(t_ / "out/vuota"));
}

TEST_F(Zippo, ArchiviDegliStrumentiInfoZip) {
    BV_SOLO_POSIX("gli strumenti Info-ZIP (zip, unzip) come riferimento: non sotto Wine");
    strumenti::GeneraDatabase(t_ / "src/a.mdb", 700000, 1);
    strumenti::GeneraBinario(t_ / "src/sotto/b.bin", 200000, 2);
    ASSERT_EQ(Esegui("cd '" + t_ / "src" + "' && zip -qr '" + t_ / "infozip.zip" + "' ."), 0);
    EXPECT_EQ(Estrai(t_ / "infozip.zip", t_ / "out"), 0);
    EXPECT_EQ(test::LeggiTesto(t_ / "out/a.mdb"), test::LeggiTesto(t_ / "src/a.mdb"));
    EXPECT_EQ(test::LeggiTesto(t_ / "out/sotto/b.bin"), test::LeggiTesto(t_ / "src/sotto/b.bin"));
    // Appending to an archive the tool made, then the tool reads ours.
    test::ScriviFile(t_ / "src/c.txt", "ciao");
    EXPECT_EQ(Aggiungi(t_ / "src/c.txt", t_ / "infozip.zip"), 0);
    EXPECT_EQ(Esegui("unzip -tq '" + t_ / "infozip.zip" + "'"), 0);
    ASSERT_EQ(Esegui("unzip -qo '" + t_ / "infozip.zip" + "' c.txt -d '" + t_ / "unz" + "'"), 0);
    EXPECT_EQ(test::LeggiTesto(t_ / "unz/c.txt"), "ciao");
}

TEST(CbStampa, FinoAlNulONonOltreLaLunghezza) {
    test::CartellaTemp t;
    ImpostaCartellaProgramma(t.Percorso());
    const char senzaNul[] = {'a', 'b', 'c', 'd', 'e'};
    EXPECT_EQ(CbStampa(senzaNul, 3), 0);
    const char conNul[] = "xy\0zz";
    EXPECT_EQ(CbStampa(conNul, 5), 0);
    EXPECT_EQ(CbStampa(nullptr, 5), 0);
    const std::string log = test::LeggiTesto(koUtilita::FileLog());
    EXPECT_TRUE(std::regex_match(
        log,
        std::regex(
            R"(\d{4}-\w{3}-\d\d \d\d:\d\d:\d\d abc\r\n\d{4}-\w{3}-\d\d \d\d:\d\d:\d\d xy\r\n)")))
        << log;
    ImpostaCartellaProgramma("");
}

TEST(NomeMembroSicuro, Tabella) {
    for (const char* buono : {"a.mdb", "a/b.txt", "a..b", "..a", "dati_logo.bmp", "a/./b"}) {
        EXPECT_TRUE(NomeMembroSicuro(buono)) << buono;
    }
    for (const char* cattivo :
         {"", "..", "../a", "/a", "\\a", "C:a", "a/../b", "a\\..\\b", "a/.."}) {
        EXPECT_FALSE(NomeMembroSicuro(cattivo)) << cattivo;
    }
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// The verification's comparison: every member against its source, nothing written.
TEST_F(Zippo, ConfrontoDeiMembriConLeSorgenti) {
    test::ScriviFile(t_ / "src/a.mdb", std::string(300000, 'a'));
    test::ScriviFile(t_ / "src/b.txt", "bbb");
    ASSERT_EQ(Aggiungi(t_ / "src/a.mdb", zip_), 0);
    ASSERT_EQ(Aggiungi(t_ / "src/b.txt", zip_, "a_b.txt"), 0);
    std::map<std::string, std::string> sorgenti{{"a.mdb", t_ / "src/a.mdb"},
                                                {"a_b.txt", t_ / "src/b.txt"}};
    EsitoConfronto esito;
    uint64_t ultimo = 0;
    ASSERT_EQ(ConfrontaMembri(zip_, sorgenti, esito, [&](uint64_t b) { ultimo = b; }), 0);
    EXPECT_TRUE(esito.uguali);
    EXPECT_EQ(ultimo, 300003U);
    EXPECT_EQ(FsDiSistema().Elenca(t_ / "out").size(), 0U);  // nothing extracted
    // A changed source, a source without its member, a member without its source.
    test::ScriviFile(t_ / "src/b.txt", "bbB");
    ASSERT_EQ(ConfrontaMembri(zip_, sorgenti, esito), 0);
    EXPECT_FALSE(esito.uguali);
    EXPECT_NE(esito.primaDifferenza.find("a_b.txt"), std::string::npos);
    test::ScriviFile(t_ / "src/b.txt", "bbb");
    sorgenti["a_c.txt"] = t_ / "src/b.txt";
    ASSERT_EQ(ConfrontaMembri(zip_, sorgenti, esito), 0);
    EXPECT_FALSE(esito.uguali);
    sorgenti.erase("a_c.txt");
    sorgenti.erase("a_b.txt");
    ASSERT_EQ(ConfrontaMembri(zip_, sorgenti, esito), 0);
    EXPECT_FALSE(esito.uguali);
    // A damaged archive is reported as such, even after a difference.
    sorgenti["a_b.txt"] = t_ / "src/a.mdb";
    std::string d = test::LeggiTesto(zip_);
    d[d.find("a_b.txt") + 9] ^= 0x40;  // the second member's data
    test::ScriviFile(zip_, d);
    EXPECT_NE(ConfrontaMembri(zip_, sorgenti, esito), 0);
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// Members deflated in pieces on every core: the same bytes back, and the size one zlib stream
// at the default level gives (within 1%), whatever the size against the piece boundaries.
class PezziParalleli : public Zippo, public ::testing::WithParamInterface<size_t> {};

TEST_P(PezziParalleli, StessiByteEStessoRapporto) {
    BV_SOLO_POSIX("gli strumenti Info-ZIP (zip, unzip) come riferimento: non sotto Wine");
    std::string dati(GetParam(), '\0');
    std::mt19937 gen(7);
    for (size_t i = 0; i < dati.size(); ++i)  // text-like: compresses about 3:1
        dati[i] = static_cast<char>("abcdefghij klmnop\n"[gen() % 18]);
    test::ScriviFile(t_ / "src/pezzi.mdb", dati);
    ASSERT_EQ(Aggiungi(t_ / "src/pezzi.mdb", zip_), 0);
    EXPECT_TRUE(Membri(zip_)["pezzi.mdb"] == dati);
    EXPECT_EQ(Esegui("unzip -tq " + zip_), 0);
    uLongf lunghezza = compressBound(static_cast<uLong>(dati.size()));
    std::vector<Bytef> zlib(lunghezza);
    ASSERT_EQ(compress2(zlib.data(), &lunghezza, reinterpret_cast<const Bytef*>(dati.data()),
                        static_cast<uLong>(dati.size()), Z_DEFAULT_COMPRESSION),
              Z_OK);
    zip_stat_t st;
    int e = 0;
    zip_t* z = zip_open(zip_.c_str(), ZIP_RDONLY, &e);
    ASSERT_NE(z, nullptr);
    ASSERT_EQ(zip_stat_index(z, 0, 0, &st), 0);
    zip_discard(z);
    // zlib's stream carries 6 bytes of header and check that a raw member does not.
    EXPECT_LE(static_cast<double>(st.comp_size), static_cast<double>(lunghezza) * 1.01 + 64);
}

INSTANTIATE_TEST_SUITE_P(Dimensioni, PezziParalleli,
                         ::testing::Values(0, 1, 1U << 20, 2U << 20, (9U << 20) + 123));

// Pieces are joined where each one's last block ends, at any bit of a byte and after any kind
// of block (stored for noise, Huffman-coded for text): many mixes, each read back whole.
TEST_F(Zippo, PezziDiOgniTipoGiuntiInUnSoloFlusso) {
    std::mt19937 gen(11);
    for (int caso = 0; caso < 12; ++caso) {
        std::string dati((1U << 20) + gen() % (2U << 20), '\0');
        size_t i = 0;
        while (i < dati.size()) {
            const size_t tratto = std::min<size_t>(dati.size() - i, 1000 + gen() % 400000);
            const bool rumore = gen() % 3 == 0;
            for (size_t k = 0; k < tratto; ++k, ++i)
                dati[i] = static_cast<char>(rumore ? gen() : "ab cd\n"[gen() % (2 + caso % 5)]);
        }
        const std::string nome = "m" + std::to_string(caso) + ".mdb";
        test::ScriviFile(t_ / ("src/" + nome), dati);
        ASSERT_EQ(Aggiungi(t_ / ("src/" + nome), zip_), 0);
    }
    const auto m = Membri(zip_);
    ASSERT_EQ(m.size(), 12U);
    for (int caso = 0; caso < 12; ++caso) {
        const std::string nome = "m" + std::to_string(caso) + ".mdb";
        EXPECT_TRUE(m.at(nome) == test::LeggiTesto(t_ / ("src/" + nome))) << nome;
    }
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// One archive kept open for many additions: the very bytes that additions one at a time give
// (the directory only written once), a repeated name handed to the library mid-way, and after
// a failure every later call and the close report it.
TEST_F(Zippo, SessioneUgualeAlleAggiunteUnaAllaVolta) {
    std::vector<std::pair<std::string, std::string>> file;  // path, member name
    for (int i = 0; i < 30; ++i) {
        const std::string p = t_ / ("src/f" + std::to_string(i));
        test::ScriviFile(p,
                         std::string(static_cast<size_t>(i * 97), static_cast<char>('a' + i % 7)));
        file.emplace_back(p, "a_f" + std::to_string(i));
    }
    strumenti::GeneraBinario(t_ / "src/grande.mdb", (3 << 20) + 5, 2);  // pieces on every core
    file.emplace(file.begin() + 10, t_ / "src/grande.mdb", "grande.mdb");
    const std::string unoAllaVolta = t_ / "uno.zip";
    for (const auto& [p, nome] : file) ASSERT_EQ(Aggiungi(p, unoAllaVolta, nome), 0);
    {
        SessioneZip s(zip_);
        for (const auto& [p, nome] : file) ASSERT_EQ(s.ComprimiCome(p, nome), 0);
        ASSERT_EQ(s.Chiudi(), 0);
    }
    EXPECT_TRUE(test::LeggiTesto(zip_) == test::LeggiTesto(unoAllaVolta));
    EXPECT_EQ(Membri(zip_).size(), file.size());

    test::ScriviFile(t_ / "src/nuovo", "nuovo contenuto");
    SessioneZip s(zip_);  // an existing archive: appended to
    ASSERT_EQ(s.ComprimiCome(t_ / "src/f3", "z1"), 0);
    ASSERT_EQ(s.ComprimiCome(t_ / "src/nuovo", "a_f5"), 0);  // a name already there: replaced
    ASSERT_EQ(s.ComprimiCome(t_ / "src/f4", "z2"), 0);
    ASSERT_EQ(s.Chiudi(), 0);
    const auto m = Membri(zip_);
    EXPECT_EQ(m.size(), file.size() + 2);
    EXPECT_EQ(m.at("a_f5"), "nuovo contenuto");
    EXPECT_EQ(m.at("z2"), test::LeggiTesto(t_ / "src/f4"));

    // Small files are written in their turn, by a later call or by the close: the disk that
    // fills is reported there, and by every call after it.
    SessioneZip guasta(t_ / "guasta.zip");
    ASSERT_EQ(guasta.ComprimiCome(t_ / "src/f3", "a"), 0);
    EXPECT_EQ(guasta.ComprimiCome(t_ / "src/manca", "b"), zip_codice::ApreFile);  // not fatal
    test::FsGuasto g;
    g.scritturaCheFallisce = 1;
    EXPECT_EQ(guasta.ComprimiCome(t_ / "src/f4", "c"), 0);
    EXPECT_EQ(guasta.Chiudi(), zip_codice::DiscoPieno);
    EXPECT_EQ(guasta.ComprimiCome(t_ / "src/f5", "d"), zip_codice::DiscoPieno);
    EXPECT_EQ(guasta.Chiudi(), zip_codice::DiscoPieno);
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// Members are inflated on every core, yet a damaged member is reported as reading them in
// order would: by its own name, every member before it whole in the folder, nothing of it and
// nothing half-written (a member after it may have been finished meanwhile, whole).
TEST_F(Zippo, MembroDanneggiatoTraMoltiSegnalatoNelSuoOrdine) {
    SessioneZip s(zip_);
    for (int i = 0; i < 120; ++i) {
        const std::string p = t_ / ("src/f" + std::to_string(i));
        if (i % 40 == 0) {
            strumenti::GeneraDatabase(p, 3 << 20, static_cast<uint64_t>(i));
        } else {
            test::ScriviFile(
                p, std::string(2000, static_cast<char>('a' + i % 20)) + std::to_string(i));
        }
        ASSERT_EQ(s.ComprimiCome(p, "m" + std::to_string(1000 + i)), 0);
    }
    ASSERT_EQ(s.Chiudi(), 0);
    std::string byte = test::LeggiTesto(zip_);
    const size_t danneggiato = byte.find("m1085") + 5 + 10;  // in member 85's data
    byte[danneggiato] = static_cast<char>(byte[danneggiato] ^ 0x55);
    test::ScriviFile(zip_, byte);

    EXPECT_EQ(Estrai(zip_, t_ / "out"), zip_codice::ErroreFormato);
    EXPECT_NE(Log().find("Membro m1085 di"), std::string::npos) << Log();
    const auto estratti = FsDiSistema().Elenca(t_ / "out");
    std::set<int> presenti;
    for (const VoceCartella& v : estratti) {
        ASSERT_EQ(v.nome[0], 'm') << v.nome;  // no temporary name left
        const int i = std::stoi(v.nome.substr(1)) - 1000;
        ASSERT_NE(i, 85);
        presenti.insert(i);
        EXPECT_TRUE(test::LeggiTesto(t_ / ("out/" + v.nome)) ==
                    test::LeggiTesto(t_ / ("src/f" + std::to_string(i))));
    }
    for (int i = 0; i < 85; ++i) EXPECT_TRUE(presenti.contains(i)) << i;

    std::map<std::string, std::string> sorgenti;
    for (int i = 0; i < 120; ++i)
        sorgenti["m" + std::to_string(1000 + i)] = t_ / ("src/f" + std::to_string(i));
    EsitoConfronto esito;
    EXPECT_EQ(ConfrontaMembri(zip_, sorgenti, esito), zip_codice::ErroreFormato);
    const std::string log = Log();
    EXPECT_NE(log.find("Membro m1085 di", log.find("Membro m1085 di") + 1), std::string::npos);
}

}  // namespace
}  // namespace bv
