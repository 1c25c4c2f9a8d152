// Recovery files made, damaged set, repaired byte for byte; damage beyond the recovery data
// refused with how much is missing; damaged recovery files tolerated; and the same files
// checked by Debian's par2 both ways (skipped where it is not installed).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "recupero/errori_recupero.h"
#include "recupero/lettore.h"
#include "recupero/riparazione.h"
#include "recupero/scrittore.h"
#include "tests/support/cartella_temp.h"

namespace bv::recupero {
namespace {

constexpr uint64_t kFetta = 1024;
// 10 + 14 + 1 input slices.
struct FileProva {
    const char* first;
    size_t second;
};
constexpr FileProva kFile[] = {{"BV20261209#0", 10007}, {"BV20261209#1", 13313}, {"BV20261209#10", 333}};

std::string Leggi(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}
void Scrivi(const std::string& p, const std::string& d) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << d;
}

bool Par2Installato() { return std::system("par2 -V >/dev/null 2>&1") == 0; }

class Par2 : public ::testing::Test {
  protected:
    void SetUp() override {
        std::mt19937 rng(1234);
        for (const auto& [nome, n] : kFile) {
            std::string d(n, '\0');
            for (char& c : d) c = static_cast<char>(rng());
            originali_.push_back(d);
            Scrivi(t_ / nome, d);
        }
    }
    std::string Percorso(size_t i) const { return t_ / kFile[i].first; }
    // Fed as a backup writes its blocks: in pieces of changing sizes, in the set's order.
    void CreaAFlusso(uint32_t fette, uint32_t volumi) {
        ScrittoreRecupero s(kFetta, fette);
        for (size_t i = 0; i < std::size(kFile); ++i) {
            s.IniziaFile(kFile[i].first);
            for (size_t o = 0, passo = 1; o < originali_[i].size(); o += passo, passo = passo * 7 % 777 + 1)
                s.Aggiungi(originali_[i].data() + o, std::min(passo, originali_[i].size() - o));
            s.FineFile();
        }
        s.Scrivi(t_.Percorso(), "set", volumi);
    }
    InsiemeRecupero Insieme() const { return LeggiInsieme(FileDiRecupero(t_.Percorso(), "set")); }
    void ControllaOriginali() const {
        for (size_t i = 0; i < std::size(kFile); ++i) EXPECT_EQ(Leggi(Percorso(i)), originali_[i]) << i;
    }

    test::CartellaTemp t_;
    std::vector<std::string> originali_;
};

enum class Danno { Cancella, Tronca, Inverti, Zeri };
struct CasoDanno {
    const char* nome;
    Danno danno;
    int64_t offset;  // negative: from the end
};

class Par2Danno : public Par2, public ::testing::WithParamInterface<std::tuple<size_t, CasoDanno>> {};

TEST_P(Par2Danno, RiparatoByteperByte) {
    const auto [i, caso] = GetParam();
    CreaAFlusso(15, 3);
    std::string d = originali_[i];
    const auto n = static_cast<int64_t>(d.size());
    const auto o = static_cast<size_t>(caso.offset < 0 ? n + caso.offset : std::min(caso.offset, n - 1));
    switch (caso.danno) {
        case Danno::Cancella:
            std::remove(Percorso(i).c_str());
            break;
        case Danno::Tronca:
            Scrivi(Percorso(i), d.substr(0, o));
            break;
        case Danno::Inverti:
            d[o] = static_cast<char>(d[o] ^ 0x01);
            Scrivi(Percorso(i), d);
            break;
        case Danno::Zeri:
            d.replace(o, std::min<size_t>(kFetta, d.size() - o), std::min<size_t>(kFetta, d.size() - o), '\0');
            Scrivi(Percorso(i), d);
            break;
    }
    const InsiemeRecupero insieme = Insieme();
    ASSERT_EQ(insieme.recupero.size(), 15U);
    const Verifica v = VerificaInsieme(insieme, t_.Percorso());
    EXPECT_FALSE(v.Integra());
    EXPECT_NE(v.file[i].stato, StatoFile::Integro);
    EXPECT_TRUE(v.Riparabile());
    const EsitoRiparazione e = Ripara(insieme, v, t_.Percorso());
    EXPECT_EQ(e.riparati, std::vector<std::string>{Percorso(i)});
    ControllaOriginali();
    EXPECT_TRUE(VerificaInsieme(insieme, t_.Percorso()).Integra());
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, Par2Danno,
    ::testing::Combine(::testing::Values(size_t{0}, size_t{1}, size_t{2}),
                       ::testing::Values(CasoDanno{"cancellato", Danno::Cancella, 0},
                                         CasoDanno{"troncato", Danno::Tronca, 5000},
                                         CasoDanno{"vuoto", Danno::Tronca, 0},
                                         CasoDanno{"bit_primo", Danno::Inverti, 0},
                                         CasoDanno{"bit_fine_fetta", Danno::Inverti, kFetta - 1},
                                         CasoDanno{"bit_inizio_fetta", Danno::Inverti, kFetta},
                                         CasoDanno{"bit_ultimo", Danno::Inverti, -1},
                                         CasoDanno{"fetta_di_zeri", Danno::Zeri, kFetta})),
    [](const auto& info) {
        return std::to_string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).nome;
    });

TEST_F(Par2, OltreIlRecuperoRifiutaDicendoQuantoManca) {
    CreaAFlusso(15, 2);
    std::remove(Percorso(0).c_str());
    std::remove(Percorso(1).c_str());
    const InsiemeRecupero insieme = Insieme();
    const Verifica v = VerificaInsieme(insieme, t_.Percorso());
    EXPECT_EQ(v.fetteDanneggiate, 24U);
    EXPECT_FALSE(v.Riparabile());
    EXPECT_EQ(v.Mancanti(), 9U);
    try {
        Ripara(insieme, v, t_.Percorso());
        FAIL() << "riparazione oltre i dati di recupero";
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), ErrRecuperoInsufficiente);
        EXPECT_NE(e.Descrizione().find("24 blocchi danneggiati, 15 blocchi di recupero disponibili, ne mancano 9"),
                  std::string::npos)
            << e.Descrizione();
    }
    EXPECT_FALSE(test::Esiste(Percorso(0)));
}

TEST_F(Par2, FileDiRecuperoDanneggiatiTollerati) {
    CreaAFlusso(15, 3);
    // The index's first packet and a recovery packet inside the first volume spoiled.
    const std::vector<std::string> par2 = FileDiRecupero(t_.Percorso(), "set");
    ASSERT_EQ(par2.size(), 4U);
    for (const std::string& p : {par2[0], par2[1]}) {
        std::string d = Leggi(p);
        for (size_t k = 0; k < 200; ++k) d[100 + k] = 'x';
        Scrivi(p, d);
    }
    std::remove(Percorso(2).c_str());
    std::string d = originali_[0];
    d[4000] = static_cast<char>(~d[4000]);
    Scrivi(Percorso(0), d);
    const InsiemeRecupero insieme = Insieme();
    EXPECT_GE(insieme.pacchettiScartati, 2U);
    EXPECT_EQ(insieme.recupero.size(), 14U);
    const Verifica v = VerificaInsieme(insieme, t_.Percorso());
    EXPECT_EQ(v.fetteDanneggiate, 2U);
    Ripara(insieme, v, t_.Percorso());
    ControllaOriginali();
}

TEST_F(Par2, IlPar2DiDebianAccettaERiparaConINostri) {
    if (!Par2Installato()) GTEST_SKIP() << "par2 non installato";
    std::vector<std::pair<std::string, std::string>> file;
    for (size_t i = 0; i < std::size(kFile); ++i) file.emplace_back(Percorso(i), kFile[i].first);
    CreaRecupero(file, kFetta, 15, t_.Percorso(), "set", 2);
    const std::string cd = "cd '" + t_.Percorso() + "' && ";
    EXPECT_EQ(std::system((cd + "par2 verify -q set.par2 >/dev/null 2>&1").c_str()), 0);
    std::remove(Percorso(1).c_str());
    std::string d = originali_[2];
    d[7] = 'x';
    Scrivi(Percorso(2), d);
    EXPECT_EQ(std::system((cd + "par2 repair -q set.par2 >/dev/null 2>&1").c_str()), 0);
    ControllaOriginali();
    // And the stream order too (the main packet unsorted).
    for (const std::string& p : FileDiRecupero(t_.Percorso(), "set")) std::remove(p.c_str());
    CreaAFlusso(15, 1);
    std::remove(Percorso(0).c_str());
    EXPECT_EQ(std::system((cd + "par2 repair -q set.par2 >/dev/null 2>&1").c_str()), 0);
    ControllaOriginali();
}

TEST_F(Par2, RiparaConIFileDelPar2DiDebian) {
    if (!Par2Installato()) GTEST_SKIP() << "par2 non installato";
    const std::string cd = "cd '" + t_.Percorso() + "' && ";
    ASSERT_EQ(std::system((cd + "par2 create -q -s1024 -c16 -n2 set.par2 'BV20261209#0' 'BV20261209#1' "
                                "'BV20261209#10' >/dev/null 2>&1")
                              .c_str()),
              0);
    const InsiemeRecupero insieme = Insieme();
    EXPECT_EQ(insieme.recupero.size(), 16U);
    EXPECT_FALSE(insieme.creatore.empty());
    for (const FileDescritto& f : insieme.file) EXPECT_EQ(f.id, IdFile(f.hash16k, f.lunghezza, f.nome)) << f.nome;
    EXPECT_TRUE(VerificaInsieme(insieme, t_.Percorso()).Integra());
    std::remove(Percorso(1).c_str());
    std::string d = originali_[0];
    d[9999] = static_cast<char>(~d[9999]);
    Scrivi(Percorso(0), d);
    const Verifica v = VerificaInsieme(insieme, t_.Percorso());
    EXPECT_EQ(v.fetteDanneggiate, 15U);
    Ripara(insieme, v, t_.Percorso());
    ControllaOriginali();
}

}  // namespace
}  // namespace bv::recupero
