// The last backup's record and room by rule, over a folder with several sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "operazioni/backup_pianificato.h"
#include "operazioni/conserva_set.h"
#include "operazioni/ultimo_backup.h"
#include "tests/operazioni/ambiente_operazioni.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/variabili.h"
#include "util/errori.h"

namespace bv {
namespace {

class UltimoBackupTest : public test::AmbienteOperazioni {
  protected:
    void SetUp() override {
        AmbienteOperazioni::SetUp();
        Database("a.mdb", std::string(50000, 'a'), {{"nota.txt", "na"}});
    }
    RichiestaBackup Richiesta(const std::string& dest) {
        RichiestaBackup r;
        r.destinazione = dest;
        r.percorsoDati = dati_ + "/";
        r.cartellaTemp = temp_;
        r.percentualeRecupero = 0;
        return r;
    }
    // An older set of the program's names in the destination, and its recovery index.
    void SetFinto(const std::string& nome) {
        for (const char* f : {"#0", "#0.inf", "#1", "#1.inf", ".par2", ".vol0+1.par2"})
            test::ScriviFile(dest_ + "/" + nome + f, "x");
    }
    bool C(const std::string& nome) { return std::filesystem::exists(dest_ + "/" + nome); }
};

TEST_F(UltimoBackupTest, RiuscitoPoiFallitoConservaLUltimoRiuscito) {
    RichiestaBackup r = Richiesta(dest_);
    r.verifica = true;
    ASSERT_TRUE(EseguiERegistraBackup(r, osservatore_));
    const auto u = LeggiUltimoBackup();
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->riuscito);
    EXPECT_TRUE(u->verificato);
    EXPECT_FALSE(u->pianificato);
    EXPECT_EQ(u->nomeSet, "BV20240315");
    EXPECT_EQ(u->cartella, dest_);
    EXPECT_EQ(u->byte, std::filesystem::file_size(dest_ + "/BV20240315#0"));
    EXPECT_EQ(u->quando.minuto, 42);

    // A scheduled run to a stick not plugged in: recorded as such, the success kept.
    ImpostaOrologio([] { return DataOra{2024, 3, 16, 18, 0, 0}; });
    RichiestaBackup mancante = Richiesta(t_ / "chiavetta");
    mancante.pianificato = true;
    ASSERT_FALSE(EseguiERegistraBackup(mancante, osservatore_));
    const auto f = LeggiUltimoBackup();
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->riuscito);
    EXPECT_TRUE(f->pianificato);
    EXPECT_EQ(f->numeroErrore, errori::DestinazioneNonValida);
    EXPECT_FALSE(f->testoErrore.empty());
    EXPECT_EQ(f->cartella, t_ / "chiavetta");
    ASSERT_TRUE(f->ultimoRiuscito);
    EXPECT_EQ(f->ultimoRiuscito->giorno, 15);
}

TEST_F(UltimoBackupTest, FileDanneggiatoIgnorato) {
    UltimoBackup u;
    u.quando = {2024, 3, 15, 9, 12, 0};
    u.riuscito = true;
    u.testoErrore = "due\nrighe";
    const std::string buono = TestoFileUltimoBackup(u);
    ASSERT_TRUE(LeggiTestoUltimoBackup(buono));
    EXPECT_EQ(LeggiTestoUltimoBackup(buono)->testoErrore, "due righe");
    const std::vector<std::pair<std::string, std::string>> casi = {
        {"tagliato", buono.substr(0, buono.size() / 2)},
        {"senza fine", buono.substr(0, buono.rfind("fine"))},
        {"intestazione", "x" + buono},
        {"data", std::regex_replace(buono, std::regex("quando=20240315"), "quando=20241315")},
        {"byte", std::regex_replace(buono, std::regex("byte=0"), "byte=-1")},
        {"booleano", std::regex_replace(buono, std::regex("riuscito=1"), "riuscito=si")},
        {"vuoto", ""},
    };
    for (const auto& [caso, testo] : casi) EXPECT_FALSE(LeggiTestoUltimoBackup(testo)) << caso;
    test::ScriviFile(programma_ + "/" + kFileUltimoBackup, casi[0].second);
    EXPECT_FALSE(LeggiUltimoBackup());
}

TEST_F(UltimoBackupTest, ConservaTogliIPiuVecchiMaiIlNuovo) {
    for (const char* s : {"BV20240310", "BV20240311", "BV20240312"}) SetFinto(s);
    for (const char* estraneo : {"BV20240309#0.bak", "bv20240308#0", "BV2024031#0"})
        test::ScriviFile(dest_ + "/" + estraneo, "non nostro");
    RichiestaBackup r = Richiesta(dest_);
    r.verifica = true;
    r.conserva = 2;
    ASSERT_TRUE(EseguiERegistraBackup(r, osservatore_));
    EXPECT_TRUE(C("BV20240315#0"));
    EXPECT_TRUE(C("BV20240312#1.inf"));
    EXPECT_TRUE(C("BV20240312.par2"));
    for (const char* via : {"BV20240310#0", "BV20240310#1.inf", "BV20240310.par2",
                            "BV20240311.vol0+1.par2", "BV20240311#1"})
        EXPECT_FALSE(C(via)) << via;
    for (const char* estraneo : {"BV20240309#0.bak", "bv20240308#0", "BV2024031#0"})
        EXPECT_TRUE(C(estraneo)) << estraneo;
    EXPECT_EQ(osservatore_.avvisi.size(), 2U);

    // Without a verification nothing goes; on a removable drive neither; a set newer than the
    // new one (a clock put back) stops the rule.
    r.conserva = 1;
    r.verifica = false;
    ASSERT_TRUE(EseguiERegistraBackup(r, osservatore_));
    EXPECT_TRUE(C("BV20240312#0"));
    if (!test::kSuWindows) {  // there only A: is removable
        test::ImpostaVariabile("BVBACKUP_FLOPPY", dest_);
        EXPECT_TRUE(ConservaUltimi(dest_, 1, "BV20240315").empty());
        test::TogliVariabile("BVBACKUP_FLOPPY");
    }
    SetFinto("BV20250101");
    EXPECT_TRUE(ConservaUltimi(dest_, 1, "BV20240315").empty());
    EXPECT_EQ(ConservaUltimi(dest_, 1, "BV20250101"),
              (std::vector<std::string>{"BV20240312", "BV20240315"}));
}

TEST_F(UltimoBackupTest, DescrittoriPrimaDeiBlocchi) {
    SetFinto("BV20240310");
    EXPECT_EQ(FileDelSet(dest_, "BV20240310"),
              (std::vector<std::string>{"BV20240310.par2", "BV20240310.vol0+1.par2",
                                        "BV20240310#0.inf", "BV20240310#1.inf", "BV20240310#0",
                                        "BV20240310#1"}));
}

TEST_F(UltimoBackupTest, EsecuzionePianificataCheNonParte) {
    RichiestaPianificata r{t_ / "con spazio", false, 4};
    RichiestaPianificata letta;
    ASSERT_TRUE(LeggiArgomentiPianificati(ArgomentiPianificati(r), letta));
    EXPECT_EQ(letta.destinazione, r.destinazione);
    EXPECT_FALSE(letta.verifica);
    EXPECT_EQ(letta.conserva, 4);
    for (const std::vector<std::string>& sbagliati :
         {std::vector<std::string>{}, {"--dest"}, {"--dest", "x", "--conserva", "due"}, {"--altro"}})
        EXPECT_EQ(EseguiBackupPianificato(sbagliati), 2);
    // The stick not plugged in: recorded as a scheduled failure for the next start.
    EXPECT_EQ(EseguiBackupPianificato({"--dest", t_ / "chiavetta"}), 1);
    const auto u = LeggiUltimoBackup();
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->riuscito);
    EXPECT_TRUE(u->pianificato);
    EXPECT_NE(u->numeroErrore, 0);
}

TEST_F(UltimoBackupTest, LAvvioToglieSoloLeCopieProvvisorieDellEsito) {
    const std::string r = PercorsoUltimoBackup();
    const std::vector<std::pair<std::string, bool>> file = {
        {r + ".tmp4242_0", true}, {r + ".tmp7_12", true}, {r + ".tmp", false}, {r + ".tmp12_", false},
        {r + ".tmpx_1", false},   {r + ".tmp1_2_3", false}, {r + ".bak", false}, {r, false}};
    for (const auto& [f, via] : file) test::ScriviFile(f, "x");
    CaricaAvvio(true, {});
    for (const auto& [f, via] : file) EXPECT_EQ(std::filesystem::exists(f), !via) << f;
}

TEST_F(UltimoBackupTest, CartellaPienaOffreDiTogliereIPiuVecchi) {
    BV_SOLO_POSIX("spazio simulato sui percorsi POSIX");
    for (const char* set : {"BV20240310", "BV20240311", "BV20240312"}) SetFinto(set);
    test::ScriviFile(dest_ + "/BV20240310#0", std::string(1200000, 'v'));
    test::FsGuasto guasto;
    guasto.spazio = [this](const std::string& p) {
        return p.starts_with(dest_) && C("BV20240310#0") ? 50000 : FsDiSistema().SpazioLibero(p);
    };
    for (const Risposta risposta : {Risposta::No, Risposta::Si}) {
        interazione_.Rispondi(risposta);
        RichiestaBackup r = Richiesta(dest_);
        const Risultato ris = EseguiERegistraBackup(r, osservatore_);
        ASSERT_EQ(interazione_.messaggi.size(), risposta == Risposta::No ? 1U : 2U);
        EXPECT_NE(interazione_.messaggi.back().testo.find("10/03/2024  —  1,1 MB"), std::string::npos)
            << interazione_.messaggi.back().testo;
        EXPECT_EQ(ris.Riuscito(), risposta == Risposta::Si);
        EXPECT_EQ(C("BV20240310#0.inf"), risposta == Risposta::No);
        // Only the room needed: the next oldest and the newest stay.
        EXPECT_TRUE(C("BV20240311#0") && C("BV20240312#0"));
    }
}

}  // namespace
}  // namespace bv
