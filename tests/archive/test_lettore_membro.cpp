// LettoreMembro: large members read back byte for byte whoever wrote them, on every core when
// this program's writer did, and damage reported, whatever bytes in the data look like a
// piece's end.
#include "archive/lettore_membro.h"

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

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
        SessioneZip s(archivio);
        ASSERT_EQ(s.Comprimi(t_ / "dati.mdb"), 0);
        ASSERT_EQ(s.Chiudi(), 0);
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

// A ZIP of one deflated member whose deflate bytes the test makes, declaring `dimensione` and
// `crc` (another writer's, or a crafted one).
std::string ZipGrezzo(const std::string& deflate, uint32_t dimensione, uint32_t crc) {
    std::string z;
    const auto u16 = [&z](uint32_t v) {
        z += static_cast<char>(v & 0xFF);
        z += static_cast<char>((v >> 8) & 0xFF);
    };
    const auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const std::string nome = "dati.mdb";
    const auto intestazione = [&](bool centrale) {
        u32(centrale ? 0x02014b50 : 0x04034b50);
        if (centrale) u16(20);
        u16(20), u16(0), u16(8), u16(0), u16(0x21);
        u32(crc), u32(static_cast<uint32_t>(deflate.size())), u32(dimensione);
        u16(static_cast<uint32_t>(nome.size())), u16(0);
        if (centrale) u16(0), u16(0), u16(0), u32(0), u32(0);
        z += nome;
    };
    intestazione(false);
    z += deflate;
    const auto inizioCentrale = static_cast<uint32_t>(z.size());
    intestazione(true);
    const auto dimensioneCentrale = static_cast<uint32_t>(z.size()) - inizioCentrale;
    u32(0x06054b50), u16(0), u16(0), u16(1), u16(1);
    u32(dimensioneCentrale), u32(inizioCentrale), u16(0);
    return z;
}

// Raw deflate by zlib, flushed every `ogni` bytes (as other writers do, pigz among them).
std::string DeflateConFlush(const std::string& d, int livello, size_t ogni, int flush) {
    z_stream s{};
    EXPECT_EQ(deflateInit2(&s, livello, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out;
    std::string buf(1 << 16, '\0');
    for (size_t i = 0; i < d.size(); i += ogni) {
        const size_t n = std::min(ogni, d.size() - i);
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(d.data() + i));
        s.avail_in = static_cast<uInt>(n);
        const int modo = i + n == d.size() ? Z_FINISH : flush;
        do {
            s.next_out = reinterpret_cast<Bytef*>(buf.data());
            s.avail_out = static_cast<uInt>(buf.size());
            deflate(&s, modo);
            out.append(buf.data(), buf.size() - s.avail_out);
        } while (s.avail_out == 0);
    }
    deflateEnd(&s);
    return out;
}

// What a member reads to, in pieces or as one stream: its bytes, or "<errore>".
std::string Leggi(const std::string& archivio, bool parallelo) {
    int e = 0;
    std::unique_ptr<zip_t, decltype(&zip_discard)> z(zip_open(archivio.c_str(), ZIP_RDONLY, &e),
                                                     &zip_discard);
    if (!z) return "<archivio>";
    zip_stat_t st;
    zip_stat_index(z.get(), 0, 0, &st);
    zip_interno::LettoreMembro f(z.get(), 0, st, parallelo);
    std::string letti;
    std::string buf(1 << 18, '\0');
    for (;;) {
        const zip_int64_t r = f.Leggi(buf.data(), buf.size());
        if (r < 0) return "<errore>";
        if (r == 0) return letti;
        letti.append(buf.data(), static_cast<size_t>(r));
    }
}

uint32_t Crc(const std::string& d) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(d.data()), static_cast<uInt>(d.size())));
}

class AltriScrittori : public ::testing::Test {
  protected:
    void SetUp() override { ImpostaCartellaProgramma(t_.Percorso()); }
    void TearDown() override { ImpostaCartellaProgramma(""); }
    test::CartellaTemp t_;
};

TEST_F(AltriScrittori, FlushOgniMegabyteOOgni64KiBLettiComeUnSoloFlusso) {
    const std::string dati = Dati(9U << 20, 7, Contenuto::Misto);
    const std::string archivio = t_ / "altro.zip";
    for (const int livello : {6, 1}) {
        for (const size_t ogni : {size_t{1} << 20, size_t{64} << 10}) {
            for (const int flush : {Z_SYNC_FLUSH, Z_FULL_FLUSH}) {
                test::ScriviFile(archivio, ZipGrezzo(DeflateConFlush(dati, livello, ogni, flush),
                                                     static_cast<uint32_t>(dati.size()), Crc(dati)));
                // Every run gives the same bytes, whatever the threads did.
                for (int volta = 0; volta < 3; ++volta) {
                    EXPECT_TRUE(Leggi(archivio, true) == dati)
                        << "livello " << livello << ", ogni " << ogni << ", flush " << flush;
                }
            }
        }
    }
}

TEST_F(AltriScrittori, FlussoCheFinisceDentroUnPezzoApparente) {
    // One last stored block of 1 MiB whose data end with the bytes of a piece's end and five
    // more: cut there, the closing the reader appends would be taken as those five bytes and
    // the "piece" would look whole. After the stream: three more pieces that are not part of
    // it. A standard inflate gives 1 MiB (and then a wrong size); so must the reader.
    std::string dati(1 << 20, 'a');
    for (size_t i = 0; i < dati.size(); ++i) dati[i] = static_cast<char>('a' + i % 23);
    dati.replace(dati.size() - 9, 9, std::string("\0\0\xFF\xFF\0\0\0\xFF\xFF", 9));
    std::string grezzo;
    for (size_t i = 0; i < dati.size(); i += 65535) {
        const size_t n = std::min<size_t>(65535, dati.size() - i);
        grezzo += static_cast<char>(i + n == dati.size() ? 1 : 0);
        grezzo += static_cast<char>(n & 0xFF);
        grezzo += static_cast<char>(n >> 8);
        grezzo += static_cast<char>(~n & 0xFF);
        grezzo += static_cast<char>((~n >> 8) & 0xFF);
        grezzo += dati.substr(i, n);
    }
    const std::string altri = Dati(3U << 20, 9, Contenuto::Misto);
    grezzo += DeflateConFlush(altri, 6, 1 << 20, Z_FULL_FLUSH);
    // Sizes and CRCs a reader might arrive at: the stream's, and the pieces' taken as a whole.
    std::string apparente = dati.substr(0, dati.size() - 5) + std::string("\x01\0\0\xFF\xFF", 5) + altri;
    const std::string archivio = t_ / "artefatto.zip";
    for (const std::string& dichiarato : {dati, apparente}) {
        test::ScriviFile(archivio, ZipGrezzo(grezzo, static_cast<uint32_t>(apparente.size()),
                                             Crc(dichiarato)));
        const std::string unSoloFlusso = Leggi(archivio, false);
        EXPECT_TRUE(unSoloFlusso == "<errore>") << unSoloFlusso.size() << " byte";
        EXPECT_TRUE(Leggi(archivio, true) == unSoloFlusso);
    }
}

}  // namespace
}  // namespace bv
