// LettoreMembro: large members read back byte for byte whoever wrote them, on every core when
// this program's writer did, and damage reported, whatever bytes in the data look like a
// piece's end.
#include "archive/lettore_membro.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <functional>
#include <memory>
#include <random>
#include <string>

#include "archive/zippo.h"
#include "platform/programma.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/variabili.h"

namespace bv {
namespace {

enum class Contenuto {
    Misto,           // text and noise in stretches
    MistoConMarche,  // the same, with bytes that look like a piece's end every 100,000 in the
                     // noise (deflate stores such noise as it is, those bytes too)
    RumoreConMarche  // noise only, those bytes every 12,000: too many in one piece
};

std::string Dati(size_t dimensione, unsigned seme, Contenuto contenuto) {
    std::mt19937 gen(seme);
    std::string d(dimensione, '\0');
    const bool marche = contenuto != Contenuto::Misto;
    size_t i = 0;
    while (i < d.size()) {
        const size_t tratto = std::min<size_t>(d.size() - i, 20000 + gen() % 300000);
        const bool rumore = contenuto == Contenuto::RumoreConMarche || gen() % 3 == 0;
        for (size_t k = 0; k < tratto; ++k, ++i)
            d[i] = static_cast<char>(rumore ? gen() : "ab cd\nef"[gen() % 8]);
        if (rumore && marche) {
            const size_t passo = contenuto == Contenuto::RumoreConMarche ? 12000 : 100000;
            for (size_t k = 0; k + 4 < tratto; k += passo)
                d.replace(i - tratto + k, 4, "\0\0\xFF\xFF", 4);
        }
    }
    return d;
}

enum class Scrittore { Nostro, Libzip };

struct CasoLettura {
    const char* nome;
    size_t dimensione;
    Contenuto contenuto;
    Scrittore scrittore;
    std::function<void(std::string&)> danneggia;  // the archive's bytes
    bool inParallelo;  // at the end (when whole)
};

class LetturaMembro : public ::testing::TestWithParam<CasoLettura> {
  protected:
    void SetUp() override { ImpostaCartellaProgramma(t_.Percorso()); }
    void TearDown() override { ImpostaCartellaProgramma(""); }

    test::CartellaTemp t_;
};

TEST_P(LetturaMembro, StessiByteOErroreDelDanno) {
    const CasoLettura& c = GetParam();
    const std::string dati = Dati(c.dimensione, 5, c.contenuto);
    const std::string archivio = t_ / "a.zip";
    if (c.scrittore == Scrittore::Nostro) {
        test::ScriviFile(t_ / "dati.mdb", dati);
        ASSERT_EQ(Comprimi(t_ / "dati.mdb", archivio, 0), 0);
    } else {
        int e = 0;
        zip_t* z = zip_open(archivio.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &e);
        ASSERT_NE(z, nullptr);
        zip_source_t* s = zip_source_buffer(z, dati.data(), dati.size(), 0);
        ASSERT_GE(zip_file_add(z, "dati.mdb", s, 0), 0);
        ASSERT_EQ(zip_close(z), 0);
    }
    if (c.danneggia) {
        std::string byte = test::LeggiTesto(archivio);
        c.danneggia(byte);
        test::ScriviFile(archivio, byte);
    }

    int e = 0;
    std::unique_ptr<zip_t, decltype(&zip_discard)> z(zip_open(archivio.c_str(), ZIP_RDONLY, &e),
                                                     &zip_discard);
    ASSERT_NE(z, nullptr);
    zip_stat_t st;
    ASSERT_EQ(zip_stat_index(z.get(), 0, 0, &st), 0);
    zip_interno::LettoreMembro f(z.get(), 0, st);
    ASSERT_TRUE(f.Aperto()) << f.TestoErrore();
    std::string letti;
    std::mt19937 gen(3);
    std::string buf(300000, '\0');
    zip_int64_t r = 0;
    do {  // reads of every size, as callers make them
        r = f.Leggi(buf.data(), 1 + gen() % buf.size());
        if (r > 0) letti.append(buf.data(), static_cast<size_t>(r));
    } while (r > 0 && letti.size() <= dati.size());
    if (c.danneggia) {
        EXPECT_EQ(r, -1);
        EXPECT_FALSE(f.TestoErrore().empty());
        return;
    }
    EXPECT_EQ(r, 0) << f.TestoErrore();
    EXPECT_EQ(letti.size(), dati.size());
    EXPECT_TRUE(letti == dati);
    EXPECT_EQ(f.InParallelo(), c.inParallelo);
}

// A bit of the member's data, well inside it (the local header is 38 bytes).
void InvertiUnBit(std::string& b) {
    b[b.size() / 3] ^= 0x04;
}
// The CRC in the central directory entry of the only member (46 + name + 22 from the end).
void CrcSbagliato(std::string& b) {
    b[b.size() - 22 - 46 - 8 + 16] ^= 0xFF;
}

INSTANTIATE_TEST_SUITE_P(
    Casi, LetturaMembro,
    ::testing::Values(
        CasoLettura{"nostro", (9U << 20) + 123, Contenuto::Misto, Scrittore::Nostro, {}, true},
        CasoLettura{"nostro_pezzi_esatti", 5U << 20, Contenuto::Misto, Scrittore::Nostro, {},
                    true},
        CasoLettura{"nostro_con_byte_come_fine_di_pezzo", 7U << 20, Contenuto::MistoConMarche,
                    Scrittore::Nostro, {}, true},
        // Too many of them in one piece: the rest is inflated as one stream.
        CasoLettura{"nostro_con_molti_byte_come_fine_di_pezzo", 5U << 20,
                    Contenuto::RumoreConMarche, Scrittore::Nostro, {}, false},
        CasoLettura{"di_libzip", 6U << 20, Contenuto::Misto, Scrittore::Libzip, {}, false},
        CasoLettura{"di_libzip_con_byte_come_fine_di_pezzo", 6U << 20, Contenuto::MistoConMarche,
                    Scrittore::Libzip, {}, false},
        CasoLettura{"piccolo_letto_da_libzip", 1U << 20, Contenuto::Misto, Scrittore::Nostro, {},
                    false},
        CasoLettura{"nostro_bit_invertito", 6U << 20, Contenuto::Misto, Scrittore::Nostro,
                    InvertiUnBit, false},
        CasoLettura{"nostro_crc_sbagliato", 6U << 20, Contenuto::MistoConMarche,
                    Scrittore::Nostro, CrcSbagliato, false},
        CasoLettura{"di_libzip_bit_invertito", 6U << 20, Contenuto::Misto, Scrittore::Libzip,
                    InvertiUnBit, false}),
    [](const auto& info) { return std::string(info.param.nome); });

}  // namespace
}  // namespace bv
