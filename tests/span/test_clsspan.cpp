// The span writer and the rebuild: states, checks in their order, simulated removable disks,
// damaged sets, durability under faults, and a real small file system when run as root.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#endif
#ifndef _WIN32
#include <sys/statvfs.h>
#endif
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <functional>
#include <random>

#include "tests/support/variabili.h"
#include "platform/data_ora.h"
#include "platform/errore.h"
#include "platform/programma.h"
#include "span/clsspan.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/errori.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/interazione_script.h"
#include "tests/support/unita_rimovibile.h"
#include "util/errori.h"

namespace bv {
namespace {

constexpr uint64_t kFloppy = 1457664;
constexpr const char* kSet = "BV20240315";

using test::NumeroErrore;

std::string Casuale(size_t n, unsigned seme) {
    std::mt19937 gen(seme);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

class SpanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ImpostaCartellaProgramma(t_.Percorso());
        ImpostaOrologio([] { return DataOra{2024, 3, 15, 18, 42, 7}; });
        test::CreaCartelle(dest_);
        test::CreaCartelle(rebuild_);
    }
    void TearDown() override {
        ImpostaCartellaProgramma("");
        ImpostaOrologio({});
    }
    // Loads an archive of n bytes into the span object.
    std::string Carica(ClsSpan& s, size_t n, unsigned seme = 1) {
        const std::string dati = Casuale(n, seme);
        test::ScriviFile(zip_, dati);
        s.filename(zip_);
        s.CaricaMemoria();
        return dati;
    }
    // Writes a set into dest_ with blocks of `blocco` bytes (the volume is made to look that full).
    std::string ScriviSet(size_t n, int32_t blocco, const std::string& nome = kSet,
                          unsigned seme = 1) {
        test::FsGuasto g;
        g.spazio = [blocco](const std::string&) { return int64_t{blocco} + ClsSpan::kRiserva; };
        ClsSpan s;
        const std::string dati = Carica(s, n, seme);
        s.Span(dest_, nome);
        return dati;
    }
    std::string File(const std::string& nome) { return test::LeggiTesto(dest_ + "/" + nome); }
    void ModificaRiga(const std::string& descrittore, const std::string& chiave,
                      const std::optional<std::string>& riga) {
        std::string t = File(descrittore);
        const auto p = t.find(chiave + "=");
        ASSERT_NE(p, std::string::npos);
        const auto fine = t.find("\r\n", p) + 2;
        t.replace(p, fine - p, riga ? *riga + "\r\n" : "");
        test::ScriviFile(dest_ + "/" + descrittore, t);
    }

    test::CartellaTemp t_;
    std::string zip_ = t_ / "~dati.zip";
    std::string dest_ = t_ / "dest";
    std::string rebuild_ = t_ / "rebuild";
    test::InterazioneScriptata interazione_;
};

TEST_F(SpanTest, UnSoloBlocco) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    ClsSpan s;
    std::vector<std::pair<int, int>> eventi;
    int caricamenti = 0;
    s.Avanzamento = [&](int16_t op, int16_t pc) { eventi.emplace_back(op, pc); };
    s.FineCaricamento = [&] { ++caricamenti; };
    const std::string dati = Carica(s, 5000);
    EXPECT_EQ(caricamenti, 1);
    EXPECT_EQ(s.stato(), ClsSpan::StatoCaricato);
    std::filesystem::remove(zip_);  // the caller may delete the archive once it is loaded
    s.Span(dest_, kSet);
    EXPECT_EQ(s.stato(), ClsSpan::StatoSuddiviso);
    EXPECT_EQ(eventi, (std::vector<std::pair<int, int>>{{0, 100}}));
    EXPECT_EQ(File("BV20240315#0"), dati);
    EXPECT_EQ(File("BV20240315#0.inf"),
              "[SPAN]\r\nAPP=Brelvano.exe\r\nDATA=2024/03/15\r\nORA=18:42:07\r\n"
              "TERMINE_BLOCCO=2024/03/15 18:42:07\r\nFILE=BV20240315\r\nSIZE_FILE=5000\r\n"
              "DEST=" +
                  dest_ +
                  "/\r\nBLOCCO=BV20240315#0\r\nNBLOCCO=1\r\nSIZE_BLOCCO=5000\r\n"
                  "ULTIMO=1\r\nBLOCCO_SUCC=\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dest_), {}), 2);  // no temporaries

    eventi.clear();
    ClsSpan r;
    r.Avanzamento = s.Avanzamento;
    r.Ricostruisci(dest_, kSet, rebuild_ + "/~dati.zip", false);
    EXPECT_EQ(r.stato(), ClsSpan::StatoRicostruzione);
    EXPECT_EQ(eventi, (std::vector<std::pair<int, int>>{{1, 100}}));
    EXPECT_EQ(test::LeggiTesto(rebuild_ + "/~dati.zip"), dati);
    EXPECT_TRUE(interazione_.messaggi.empty());
}

TEST_F(SpanTest, TreBlocchiInUnaCartellaCatenaDeiDescrittori) {
    const std::string dati = ScriviSet(2500, 1000);
    int64_t somma = 0;
    for (int n = 0; n < 3; ++n) {
        const std::string d = File(std::string(kSet) + "#" + std::to_string(n) + ".inf");
        const std::string blocco = std::string(kSet) + "#" + std::to_string(n);
        EXPECT_NE(d.find("\r\nBLOCCO=" + blocco + "\r\n"), std::string::npos);
        EXPECT_NE(d.find("\r\nNBLOCCO=" + std::to_string(n + 1) + "\r\n"), std::string::npos);
        const std::string succ = n < 2 ? std::string(kSet) + "#" + std::to_string(n + 1) : "";
        EXPECT_NE(d.find("\r\nBLOCCO_SUCC=" + succ + "\r\n"), std::string::npos);
        EXPECT_NE(d.find(n < 2 ? "ULTIMO=0" : "ULTIMO=1"), std::string::npos);
        somma += static_cast<int64_t>(File(blocco).size());
    }
    EXPECT_EQ(somma, 2500);
    ClsSpan r;
    std::vector<int> pc;
    r.Avanzamento = [&](int16_t, int16_t p) { pc.push_back(p); };
    r.Ricostruisci(dest_, kSet, rebuild_ + "/a.zip", true);
    EXPECT_EQ(pc, (std::vector<int>{40, 80, 100}));
    EXPECT_EQ(test::LeggiTesto(rebuild_ + "/a.zip"), dati);
    EXPECT_TRUE(interazione_.messaggi.empty());  // a whole set in a folder asks for nothing
}

struct CasoControlloSpan {
    const char* nome;
    int32_t numero;
    std::function<void(SpanTest&, ClsSpan&, std::string&, test::FsGuasto&)> prepara;
};

class ControlliSpan : public SpanTest, public ::testing::WithParamInterface<CasoControlloSpan> {
  public:
    using SpanTest::Carica;
    std::string Dest() const { return dest_; }
    std::string Zip() const { return zip_; }
};

TEST_P(ControlliSpan, NellOrdine) {
    ClsSpan s;
    std::string path = dest_;
    test::FsGuasto g;
    GetParam().prepara(*this, s, path, g);
    EXPECT_EQ(NumeroErrore([&] { s.Span(path, kSet); }), GetParam().numero);
    EXPECT_FALSE(test::Esiste(dest_ + "/BV20240315#0"));
}

INSTANTIATE_TEST_SUITE_P(
    Errori, ControlliSpan,
    ::testing::Values(CasoControlloSpan{"non_caricato", errori::FileNonCaricato,
                                        [](auto&, auto&, auto&, auto&) {}},
                      CasoControlloSpan{"filename_riassegnato", errori::FileNonCaricato,
                                        [](auto& t, auto& s, auto&, auto&) {
                                            static_cast<ControlliSpan&>(t).Carica(s, 100);
                                            s.filename(static_cast<ControlliSpan&>(t).Zip());
                                        }},
                      CasoControlloSpan{"percorso_relativo", errori::UnitaNonValida,
                                        [](auto& t, auto& s, auto& p, auto&) {
                                            static_cast<ControlliSpan&>(t).Carica(s, 100);
                                            p = "dest";
                                        }},
                      CasoControlloSpan{"cartella_mancante_prima_del_file_vuoto",
                                        errori::PercorsoNonValido,
                                        [](auto& t, auto& s, auto& p, auto&) {
                                            test::ScriviFile(static_cast<ControlliSpan&>(t).Zip(),
                                                             "");
                                            s.filename(static_cast<ControlliSpan&>(t).Zip());
                                            s.CaricaMemoria();
                                            p += "/manca";
                                        }},
                      CasoControlloSpan{"sola_lettura", errori::ScritturaNegata,
                                        [](auto& t, auto& s, auto&, auto& g) {
                                            static_cast<ControlliSpan&>(t).Carica(s, 100);
                                            g.erroreApertura = [](const std::string& f,
                                                                  ModoApertura) {
                                                return f.ends_with("120asd12.tmp") ? EACCES : 0;
                                            };
                                        }},
                      CasoControlloSpan{"file_vuoto", errori::DimensioneZero,
                                        [](auto& t, auto& s, auto&, auto&) {
                                            test::ScriviFile(static_cast<ControlliSpan&>(t).Zip(),
                                                             "");
                                            s.filename(static_cast<ControlliSpan&>(t).Zip());
                                            s.CaricaMemoria();
                                        }}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(SpanTest, MessaggiConIlPercorso) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    ClsSpan s;
    Carica(s, 10);
    try {
        s.Span(dest_ + "/manca", kSet);
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Descrizione(), dest_ + "/manca: percorso non valido.");
    }
}

TEST_F(SpanTest, StatiDelloOggetto) {
    ClsSpan s;
    EXPECT_EQ(s.stato(), ClsSpan::StatoVuoto);
    s.filename("   ");
    EXPECT_EQ(s.stato(), ClsSpan::StatoVuoto);
    EXPECT_EQ(s.filename(), "");
    EXPECT_EQ(NumeroErrore([&] { s.CaricaMemoria(); }), errori::FilenameMancante);
    s.filename("  " + t_ / "manca.zip" + " ");
    EXPECT_EQ(s.filename(), t_ / "manca.zip");
    EXPECT_EQ(s.stato(), ClsSpan::StatoNomeImpostato);
    EXPECT_EQ(NumeroErrore([&] { s.CaricaMemoria(); }), errori::FilenameInesistente);
    test::ScriviFile(t_ / ".nascosto.zip", "dati");  // hidden: not a file the test sees
    s.filename(t_ / ".nascosto.zip");
    EXPECT_EQ(NumeroErrore([&] { s.CaricaMemoria(); }), errori::FilenameInesistente);
    const std::string dati = Carica(s, 3000);
    s.Span(dest_, kSet);
    // A second complete set from the same image, elsewhere.
    test::CreaCartelle(t_ / "altrove");
    s.Span(t_ / "altrove", kSet);
    EXPECT_EQ(test::LeggiTesto(t_ / "altrove/BV20240315#0"), dati);
    EXPECT_EQ(s.stato(), ClsSpan::StatoSuddiviso);
    s.Dealloca();
    EXPECT_EQ(s.stato(), ClsSpan::StatoVuoto);
    EXPECT_EQ(s.dimensione(), 0);
    // After a rebuild, even a failed one, Span wants a new load.
    EXPECT_EQ(
        NumeroErrore([&] { s.Ricostruisci(dest_, "BV19990101", rebuild_ + "/x.zip", false); }),
        errori::BackupNonTrovato);
    EXPECT_EQ(s.stato(), ClsSpan::StatoVuoto);  // 9241 comes before the rebuild starts
    s.Ricostruisci(dest_, kSet, rebuild_ + "/x.zip", false);
    EXPECT_EQ(s.stato(), ClsSpan::StatoRicostruzione);
    EXPECT_EQ(NumeroErrore([&] { s.Span(dest_, kSet); }), errori::FileNonCaricato);
}

TEST_F(SpanTest, ArchivioOltre2GiBRifiutatoPrimaDiLeggere) {
    const std::string grande = t_ / "grande.zip";
    test::ScriviFile(grande, "");
    std::filesystem::resize_file(grande, 2147483648ULL);  // sparse: nothing is really written
    ClsSpan s;
    s.filename(grande);
    EXPECT_EQ(NumeroErrore([&] { s.CaricaMemoria(); }), 6);
    EXPECT_EQ(s.stato(), ClsSpan::StatoNomeImpostato);
}

TEST_F(SpanTest, GetSpazioDisco) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    ClsSpan s;
    test::FsGuasto g;
    int64_t libero = 5'000'000'000;
    g.spazio = [&](const std::string&) { return libero; };
    EXPECT_EQ(s.GetSpazioDisco("/x", false), 2147483647);
    libero = 500;
    EXPECT_EQ(s.GetSpazioDisco("/x", false), 500);
    EXPECT_TRUE(interazione_.messaggi.empty());
    libero = -1;
    try {
        s.GetSpazioDisco("/media/floppy0", true);
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), errori::SpazioNonDeterminabile);
        EXPECT_EQ(e.Descrizione(), "/media/floppy0 impossibile determinare lo spazio disco.");
    }
    EXPECT_TRUE(interazione_.messaggi.empty());  // no prompt for a drive without a disk
    libero = 500;
    interazione_.Rispondi(Risposta::Riprova);
    interazione_.Rispondi(Risposta::Annulla);
    EXPECT_EQ(NumeroErrore([&] { s.GetSpazioDisco("/media/floppy0", true); }), errori::Annullata);
    ASSERT_EQ(interazione_.messaggi.size(), 2U);
    EXPECT_EQ(
        interazione_.messaggi[0].testo,
        "/media/floppy0 spazio disco non disponibile. Inserire un nuovo disco e premere Riprova.");
    EXPECT_EQ(interazione_.messaggi[0].titolo, "Disco");
    EXPECT_EQ(interazione_.messaggi[0].pulsanti, Pulsanti::RiprovaAnnulla);
}

// Floppy disks of 1,457,664 free bytes in a simulated drive.
class Floppy : public SpanTest {
  protected:
    void SetUp() override {
        SpanTest::SetUp();
        unita_.Collega(guasto_);
        // Retry at a disk prompt means the user put the next disk in.
        interazione_.allaRisposta = [this](const test::MessaggioMostrato& m, Risposta r) {
            if (r == Risposta::Riprova && cambia_) unita_.Inserisci(unita_.Inserito() + 1);
            (void)m;
        };
    }
    test::FsGuasto guasto_;
    test::UnitaRimovibile unita_{t_ / "floppy", t_ / "dischi", kFloppy, 4};
    bool cambia_ = true;
};

TEST_F(Floppy, TreDischiAndataERitorno) {
    BV_SOLO_POSIX("l'unità A: è reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh");
    ClsSpan s;
    const std::string dati = Carica(s, 3500000);
    interazione_.Rispondi(Risposta::Riprova);
    interazione_.Rispondi(Risposta::Riprova);
    s.Span(unita_.Cartella(), kSet);
    ASSERT_EQ(interazione_.messaggi.size(), 2U);
    // Each prompt names the disk it asks for, so that the user can label it.
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(interazione_.messaggi[i].testo,
                  unita_.Cartella() +
                      " spazio disco non disponibile. Inserire un nuovo disco e premere Riprova. "
                      "Sarà il disco " + std::to_string(i + 2) +
                      " del backup: annotarlo sull'etichetta.");
        EXPECT_EQ(interazione_.messaggi[i].titolo, "Disco");
    }
    EXPECT_EQ(test::LeggiTesto(unita_.Disco(0) + "/BV20240315#0").size(), 1447664U);
    EXPECT_EQ(test::LeggiTesto(unita_.Disco(1) + "/BV20240315#1").size(), 1447664U);
    EXPECT_EQ(test::LeggiTesto(unita_.Disco(2) + "/BV20240315#2").size(), 3500000U - 2 * 1447664U);
    EXPECT_NE(test::LeggiTesto(unita_.Disco(2) + "/BV20240315#2.inf").find("ULTIMO=1"),
              std::string::npos);
    EXPECT_NE(test::LeggiTesto(unita_.Disco(0) + "/BV20240315#0.inf")
                  .find("DEST=" + unita_.Cartella() + "/\r\n"),
              std::string::npos);

    for (bool verifica : {false, true}) {
        interazione_.messaggi.clear();
        unita_.Inserisci(0);
        interazione_.Rispondi(Risposta::Riprova);
        interazione_.Rispondi(Risposta::Riprova);
        ClsSpan r;
        r.Ricostruisci(unita_.Cartella(), kSet, rebuild_ + "/~dati.zip", verifica);
        ASSERT_EQ(interazione_.messaggi.size(), 2U);
        EXPECT_EQ(interazione_.messaggi[0].testo, "Inserire il 2° disco del backup.");
        EXPECT_EQ(interazione_.messaggi[1].testo, "Inserire il 3° disco del backup.");
        EXPECT_EQ(interazione_.messaggi[0].titolo, verifica ? "Verifica" : "Ripristino");
        EXPECT_EQ(interazione_.messaggi[0].pulsanti, Pulsanti::RiprovaAnnulla);
        EXPECT_TRUE(test::LeggiTesto(rebuild_ + "/~dati.zip") == dati);
    }
}

TEST_F(Floppy, AnnullaLasciaIBlocchiScritti) {
    BV_SOLO_POSIX("l'unità A: è reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh");
    ClsSpan s;
    Carica(s, 3500000);
    interazione_.Rispondi(Risposta::Riprova);
    interazione_.Rispondi(Risposta::Annulla);
    EXPECT_EQ(NumeroErrore([&] { s.Span(unita_.Cartella(), kSet); }), errori::Annullata);
    EXPECT_TRUE(test::Esiste(unita_.Disco(0) + "/BV20240315#0.inf"));
    EXPECT_TRUE(test::Esiste(unita_.Disco(1) + "/BV20240315#1.inf"));
    EXPECT_EQ(s.stato(), ClsSpan::StatoCaricato);
}

TEST_F(Floppy, DiscoPienoSostituitoPrimaDelBlocco0) {
    BV_SOLO_POSIX("l'unità A: è reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh");
    test::ScriviFile(unita_.Cartella() + "/vecchio.dat", std::string(kFloppy - 5000, 'v'));
    ClsSpan s;
    Carica(s, 100000);
    interazione_.Rispondi(Risposta::Riprova);
    s.Span(unita_.Cartella(), kSet);
    EXPECT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_FALSE(test::Esiste(unita_.Disco(0) + "/BV20240315#0"));
    EXPECT_TRUE(test::Esiste(unita_.Disco(1) + "/BV20240315#0"));
}

TEST_F(Floppy, DiscoConEsattamente10000ByteChiedeUnNuovoDisco) {
    BV_SOLO_POSIX("l'unità A: è reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh");
    test::ScriviFile(unita_.Cartella() + "/vecchio.dat", std::string(kFloppy - 10000, 'v'));
    ClsSpan s;
    Carica(s, 100000);
    interazione_.Rispondi(Risposta::Riprova);
    s.Span(unita_.Cartella(), kSet);
    EXPECT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_FALSE(test::Esiste(unita_.Disco(0) + "/BV20240315#0"));
    EXPECT_EQ(test::LeggiTesto(unita_.Disco(1) + "/BV20240315#0").size(), 100000U);
}

TEST_F(Floppy, RiprovaConLoStessoDiscoChiedeAncora) {
    BV_SOLO_POSIX("l'unità A: è reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh");
    ClsSpan s;
    const std::string dati = Carica(s, 2000000);
    interazione_.Rispondi(Risposta::Riprova);
    s.Span(unita_.Cartella(), kSet);
    unita_.Inserisci(0);
    cambia_ = false;
    interazione_.messaggi.clear();
    interazione_.Rispondi(Risposta::Riprova);  // the first disk is still in
    interazione_.Rispondi(Risposta::Annulla);
    ClsSpan r;
    EXPECT_EQ(
        NumeroErrore([&] { r.Ricostruisci(unita_.Cartella(), kSet, rebuild_ + "/x.zip", false); }),
        errori::Annullata);
    ASSERT_EQ(interazione_.messaggi.size(), 2U);
    EXPECT_EQ(interazione_.messaggi[1].testo, "Inserire il 2° disco del backup.");
    EXPECT_FALSE(test::Esiste(rebuild_ + "/x.zip"));
}

TEST_F(Floppy, UnitaSenzaDisco9240) {
    BV_SOLO_POSIX("l'unità A: è reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh");
    ClsSpan s;
    Carica(s, 1000);
    unita_.Inserisci(-1);
    EXPECT_EQ(NumeroErrore([&] { s.Span(unita_.Cartella(), kSet); }),
              errori::SpazioNonDeterminabile);
}

struct CasoDanno {
    const char* nome;
    std::function<void(SpanTest&)> danneggia;
    int32_t numero;  // 0: the rebuild succeeds
};

class Danni : public SpanTest, public ::testing::WithParamInterface<CasoDanno> {
  public:
    using SpanTest::File;
    using SpanTest::ModificaRiga;
    std::string Dest() const { return dest_; }
};

TEST_P(Danni, Ricostruzione) {
    const std::string dati = ScriviSet(2500, 1000);
    test::ScriviFile(rebuild_ + "/x.zip", "precedente");
    GetParam().danneggia(*this);
    ClsSpan r;
    EXPECT_EQ(NumeroErrore([&] { r.Ricostruisci(dest_, kSet, rebuild_ + "/x.zip", false); }),
              GetParam().numero);
    EXPECT_EQ(test::LeggiTesto(rebuild_ + "/x.zip"), GetParam().numero == 0 ? dati : "precedente");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rebuild_), {}), 1);
    // A folder of a fixed disk is no disk to ask for: a missing block is an error, no prompt.
    EXPECT_TRUE(interazione_.messaggi.empty());
}

void Tronca(SpanTest& t, const std::string& nome, long delta) {
    const std::string p = static_cast<Danni&>(t).Dest() + "/" + nome;
    std::string d = test::LeggiTesto(p);
    if (delta < 0) d.resize(d.size() - static_cast<size_t>(-delta));
    if (delta > 0) d += std::string(static_cast<size_t>(delta), 'x');
    if (delta == 0) d.clear();
    test::ScriviFile(p, d);
}

void Riga(SpanTest& t, int n, const char* chiave, std::optional<std::string> riga) {
    static_cast<Danni&>(t).ModificaRiga("BV20240315#" + std::to_string(n) + ".inf", chiave, riga);
}

INSTANTIATE_TEST_SUITE_P(
    Casi, Danni,
    ::testing::Values(
        CasoDanno{"intatto", [](SpanTest&) {}, 0},
        CasoDanno{"blocco_piu_corto", [](SpanTest& t) { Tronca(t, "BV20240315#1", -1); },
                  errori::BloccoDanneggiato},
        CasoDanno{"blocco_piu_lungo", [](SpanTest& t) { Tronca(t, "BV20240315#1", 1); },
                  errori::BloccoDanneggiato},
        CasoDanno{"blocco_vuoto", [](SpanTest& t) { Tronca(t, "BV20240315#1", 0); },
                  errori::BloccoDanneggiato},
        CasoDanno{"senza_size_blocco", [](SpanTest& t) { Riga(t, 1, "SIZE_BLOCCO", std::nullopt); },
                  errori::BloccoDanneggiato},
        CasoDanno{"app_estranea", [](SpanTest& t) { Riga(t, 1, "APP", "APP=Altro.exe"); },
                  errori::AltroProgramma},
        CasoDanno{"app_maiuscole_e_spazi",
                  [](SpanTest& t) { Riga(t, 1, "APP", "APP=   brelvano.EXE  "); }, 0},
        CasoDanno{"senza_app", [](SpanTest& t) { Riga(t, 0, "APP", std::nullopt); },
                  errori::FormatoNonValido},
        CasoDanno{"app_vuota", [](SpanTest& t) { Riga(t, 0, "APP", "APP=  "); },
                  errori::FormatoNonValido},
        CasoDanno{"senza_ultimo", [](SpanTest& t) { Riga(t, 2, "ULTIMO", std::nullopt); },
                  errori::FormatoNonValido},
        CasoDanno{"size_file_zero", [](SpanTest& t) { Riga(t, 0, "SIZE_FILE", "SIZE_FILE=0"); },
                  errori::FormatoNonValido},
        CasoDanno{"senza_size_file", [](SpanTest& t) { Riga(t, 0, "SIZE_FILE", std::nullopt); },
                  errori::FormatoNonValido},
        CasoDanno{"ultimo_2_e_ultimo", [](SpanTest& t) { Riga(t, 2, "ULTIMO", "ULTIMO=2"); }, 0},
        CasoDanno{"ultimo_x_non_e_ultimo", [](SpanTest& t) { Riga(t, 2, "ULTIMO", "ULTIMO=x"); },
                  errori::BloccoMancante},
        CasoDanno{"ultimo_0_sull_ultimo", [](SpanTest& t) { Riga(t, 2, "ULTIMO", "ULTIMO=0"); },
                  errori::BloccoMancante},
        CasoDanno{"ultimo_prima_della_fine", [](SpanTest& t) { Riga(t, 1, "ULTIMO", "ULTIMO=1"); },
                  errori::SetCorrotto},
        // Several faults: the first check in order reports.
        CasoDanno{"size_file_zero_e_app_estranea",
                  [](SpanTest& t) {
                      Riga(t, 0, "SIZE_FILE", "SIZE_FILE=0");
                      Riga(t, 0, "APP", "APP=Altro.exe");
                  },
                  errori::AltroProgramma},
        CasoDanno{"senza_size_file_e_size_blocco_errato",
                  [](SpanTest& t) {
                      Riga(t, 0, "SIZE_FILE", std::nullopt);
                      Riga(t, 0, "SIZE_BLOCCO", "SIZE_BLOCCO=999");
                  },
                  errori::BloccoDanneggiato},
        CasoDanno{"size_file_negativo_sull_ultimo",
                  [](SpanTest& t) { Riga(t, 2, "SIZE_FILE", "SIZE_FILE=-5"); },
                  errori::SetCorrotto},
        CasoDanno{"size_file_zero_sull_ultimo",
                  [](SpanTest& t) { Riga(t, 2, "SIZE_FILE", "SIZE_FILE=0"); }, errori::SetCorrotto},
        CasoDanno{"size_file_oltre_32_bit",
                  [](SpanTest& t) { Riga(t, 2, "SIZE_FILE", "SIZE_FILE=5000000000"); },
                  errori::SetCorrotto},
        CasoDanno{"size_blocco_oltre_32_bit",
                  [](SpanTest& t) { Riga(t, 1, "SIZE_BLOCCO", "SIZE_BLOCCO=5000000000"); },
                  errori::BloccoDanneggiato},
        CasoDanno{"size_blocco_con_spazi",
                  [](SpanTest& t) { Riga(t, 1, "SIZE_BLOCCO", "SIZE_BLOCCO=1 000"); }, 0},
        CasoDanno{"ultimo_0_5_non_e_ultimo",
                  [](SpanTest& t) { Riga(t, 2, "ULTIMO", "ULTIMO=0.5"); }, errori::BloccoMancante},
        CasoDanno{"ultimo_0_4_non_e_ultimo",
                  [](SpanTest& t) { Riga(t, 2, "ULTIMO", "ULTIMO=0.4"); }, errori::BloccoMancante},
        CasoDanno{"size_file_diverso",
                  [](SpanTest& t) { Riga(t, 2, "SIZE_FILE", "SIZE_FILE=2600"); },
                  errori::SetCorrotto},
        CasoDanno{"descrittore_mancante",
                  [](SpanTest& t) {
                      std::filesystem::remove(static_cast<Danni&>(t).Dest() + "/BV20240315#1.inf");
                  },
                  errori::BloccoMancante},
        CasoDanno{"blocco_mancante",
                  [](SpanTest& t) {
                      std::filesystem::remove(static_cast<Danni&>(t).Dest() + "/BV20240315#1");
                  },
                  errori::BloccoMancante}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(SpanTest, SetPiuVecchioEPiuLungoIgnorato) {
    ScriviSet(2500, 1000, kSet, 1);
    const std::string nuovo = ScriviSet(1800, 1000, kSet, 2);
    EXPECT_TRUE(test::Esiste(dest_ + "/BV20240315#2"));  // left from the older set
    ClsSpan r;
    r.Ricostruisci(dest_, kSet, rebuild_ + "/x.zip", false);
    EXPECT_EQ(test::LeggiTesto(rebuild_ + "/x.zip"), nuovo);
}

TEST_F(SpanTest, ControlliDellaDestinazione) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    ScriviSet(2500, 1000);
    ClsSpan r;
    EXPECT_EQ(NumeroErrore([&] { r.Ricostruisci(dest_, kSet, "x.zip", false); }),
              errori::UnitaNonValida);
    EXPECT_EQ(NumeroErrore([&] { r.Ricostruisci(dest_, kSet, t_ / "manca/x.zip", false); }),
              errori::PercorsoNonValido);
    EXPECT_EQ(NumeroErrore([&] { r.Ricostruisci(t_ / "manca", kSet, rebuild_ + "/x.zip", false); }),
              errori::BackupNonTrovato);
    try {
        r.Ricostruisci(dest_, "BV20000101", rebuild_ + "/x.zip", false);
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Descrizione(), dest_ + ": backup non trovato.");
    }
    test::FsGuasto g;
    g.erroreApertura = [](const std::string& f, ModoApertura) {
        return f.ends_with("120asd12.tmp") ? EACCES : 0;
    };
    EXPECT_EQ(NumeroErrore([&] { r.Ricostruisci(dest_, kSet, rebuild_ + "/x.zip", false); }),
              errori::ScritturaNegata);
    g.erroreApertura = nullptr;
    g.spazio = [](const std::string&) { return int64_t{-1}; };
    EXPECT_EQ(NumeroErrore([&] { r.Ricostruisci(dest_, kSet, rebuild_ + "/x.zip", false); }),
              errori::SpazioNonDeterminabile);
    g.spazio = [](const std::string&) { return int64_t{2500 + 9999}; };  // one byte short
    EXPECT_EQ(NumeroErrore([&] { r.Ricostruisci(dest_, kSet, rebuild_ + "/x.zip", false); }),
              errori::SpazioInsufficiente);
    g.spazio = [](const std::string&) { return int64_t{2500 + 10000}; };
    r.Ricostruisci(dest_, kSet, rebuild_ + "/x.zip", false);
    EXPECT_TRUE(test::Esiste(rebuild_ + "/x.zip"));
}

struct CasoGuasto {
    const char* nome;
    std::function<void(test::FsGuasto&)> prepara;
    int32_t numero;
};

class GuastiDiScrittura : public SpanTest, public ::testing::WithParamInterface<CasoGuasto> {};

TEST_P(GuastiDiScrittura, NessunBloccoCortoConDescrittore) {
    ClsSpan s;
    Carica(s, 20 << 20);
    test::FsGuasto g;
    GetParam().prepara(g);
    EXPECT_EQ(NumeroErrore([&] { s.Span(dest_, kSet); }), GetParam().numero);
    EXPECT_FALSE(test::Esiste(dest_ + "/BV20240315#0"));
    EXPECT_FALSE(test::Esiste(dest_ + "/BV20240315#0.inf"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dest_), {}), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Guasti, GuastiDiScrittura,
    ::testing::Values(CasoGuasto{"disco_pieno_a_meta", [](auto& g) { g.scritturaCheFallisce = 3; },
                                 61},
                      CasoGuasto{"disco_rimosso",
                                 [](auto& g) {
                                     g.scritturaCheFallisce = 2;
                                     g.errnoScrittura = EIO;
                                 },
                                 57},
                      CasoGuasto{"flush_fallito", [](auto& g) { g.errnoSincronizza = EIO; }, 57},
                      CasoGuasto{"rinomina_fallita", [](auto& g) { g.errnoRinomina = EIO; }, 57}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(SpanTest, RicostruzioneScriveDestSoloAllaFineEInModoDurevole) {
    ScriviSet(2500, 1000);
    test::ScriviFile(rebuild_ + "/x.zip", "precedente");
    test::FsGuasto g;
    g.errnoSincronizza = EIO;
    ClsSpan r;
    EXPECT_EQ(NumeroErrore([&] { r.Ricostruisci(dest_, kSet, rebuild_ + "/x.zip", false); }), 57);
    EXPECT_EQ(test::LeggiTesto(rebuild_ + "/x.zip"), "precedente");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rebuild_), {}), 1);
}

// A real small file system that fills up: only as root, where tmpfs can be mounted.
TEST_F(SpanTest, TmpfsRealeCheSiRiempie) {
#ifdef _WIN32
    GTEST_SKIP() << "tmpfs montato: solo Linux";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "serve root per montare un tmpfs";
    const std::string m = t_ / "tmpfs";
    test::CreaCartelle(m);
    if (::mount("tmpfs", m.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mount non permesso";
    struct statvfs sv {};
    ::statvfs(m.c_str(), &sv);
    const uint64_t libero = static_cast<uint64_t>(sv.f_bavail) * sv.f_frsize;
    {
        ClsSpan s;
        Carica(s, 1500000);
        interazione_.Rispondi(Risposta::Annulla);
        EXPECT_EQ(NumeroErrore([&] { s.Span(m, kSet); }), errori::Annullata);
        EXPECT_EQ(test::LeggiTesto(m + "/BV20240315#0").size(), libero - 10000);
        EXPECT_NE(test::LeggiTesto(m + "/BV20240315#0.inf").find("ULTIMO=0"), std::string::npos);
        ASSERT_EQ(interazione_.messaggi.size(), 1U);
        EXPECT_EQ(interazione_.messaggi[0].titolo, "Disco");
    }
    ::umount(m.c_str());
#endif
}

}  // namespace
}  // namespace bv
