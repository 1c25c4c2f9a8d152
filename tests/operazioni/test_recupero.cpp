// What the start's recovery may touch: only what this program made. A journal naming anything
// else, links in the temporary folder, files of the user there, a damaged set-commit marker, a
// data folder that is gone or cannot be changed: nothing outside is touched, nothing is lost,
// and the user is told.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include "operazioni/stato_avvio.h"
#include "operazioni/backup.h"
#include "operazioni/impostazioni_programma.h"
#include "operazioni/ripristino.h"
#include "platform/file_reg.h"
#include "platform/istanza.h"
#include "platform/percorsi.h"
#include "sicurezza/conferma_set.h"
#include "sicurezza/giornale.h"
#include "sicurezza/nomi_provvisori.h"
#include "tests/operazioni/ambiente_operazioni.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/processo.h"
#include "tests/support/variabili.h"
#include "util/errori.h"

namespace bv {
namespace {

namespace fs = std::filesystem;
using Stato = std::map<std::string, std::string>;

Stato Contenuto(const std::string& cartella) {
    Stato m;
    if (!fs::exists(cartella)) return m;
    for (const auto& e : fs::recursive_directory_iterator(cartella)) {
        m[fs::relative(e.path(), cartella).generic_string()] =
            e.is_regular_file() ? test::LeggiTesto(e.path().string()) : "<cartella>";
    }
    return m;
}

void Scrivi(const std::string& percorso, const std::string& contenuto) {
    test::CreaCartelle(fs::path(percorso).parent_path().string());
    test::ScriviFile(percorso, contenuto);
}

std::string Sostituisci(std::string t, const std::string& da, const std::string& a) {
    for (size_t p = 0; (p = t.find(da, p)) != std::string::npos; p += a.size()) t.replace(p, da.size(), a);
    return t;
}

class Recupero : public test::AmbienteOperazioni {
  protected:
    void SetUp() override {
        AmbienteOperazioni::SetUp();
        test::CreaCartelle(t_ / "host");
        DocumentoReg reg;
        reg.Imposta("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brelvano.exe",
                    "", t_ / "host/Brelvano.exe");
        reg.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati",
                    "Path", dati_ + Separatore());
        ImpostaRegistro(reg);
        Scrivi(fuori_ + "/vittima.mdb", "dati di un altro");
        Scrivi(fuori_ + "/albero/foglia.txt", "foglia");
    }
    // A journal's text, with {D} the data folder, {F} the folder outside, {T} the temporary one.
    void Giornale(const std::string& modello) {
        std::string t = Sostituisci(modello, "{D}", dati_);
        t = Sostituisci(t, "{F}", fuori_);
        t = Sostituisci(t, "{T}", temp_);
        Scrivi(PercorsoGiornale(), "BVBACKUP-GIORNALE-RIPRISTINO 1\n" + t + "FINE\n");
    }
    // A restore stopped after its confirmation: the restored files staged beside the old ones;
    // with `segno`, as this version leaves it (the data folder's mark named by the journal).
    void RipristinoConfermato(bool segno = false) {
        Scrivi(dati_ + "/a.mdb", "vecchio");
        Scrivi(dati_ + "/a/f.txt", "vecchio f");
        Scrivi(dati_ + "/~bvripristino1.tmp", "nuovo");
        Scrivi(dati_ + "/~bvripristino1.dir/f.txt", "nuovo f");
        Scrivi(dati_ + "/~bvripristino1.dir/.~bvnuova-00ab", "");
        if (segno) Scrivi(dati_ + "/.~bvdati-00000000000000cd", "");
        Giornale(std::string(kVoceConfermata) + (segno ? "GETTONE_DATI=00000000000000cd\n" : ""));
    }
    static constexpr const char* kVoceConfermata =
        "FASE=conferma\nDATI={D}/\nLAVORO=\nVOCE\nDATABASE={D}/a.mdb\n"
        "NUOVO_DATABASE={D}/~bvripristino1.tmp\nCOPIA_DATABASE={D}/a.mdb.cfb000\nCARTELLA={D}/a\n"
        "NUOVA_CARTELLA={D}/~bvripristino1.dir\nCOPIA_CARTELLA={D}/a.cfb000\nIDENTITA=12345\n"
        "GETTONE=00ab\n";
    const Stato kRipristinato = {{"a", "<cartella>"},         {"a.cfb000", "<cartella>"},
                                 {"a.cfb000/f.txt", "vecchio f"}, {"a.mdb", "nuovo"},
                                 {"a.mdb.cfb000", "vecchio"},     {"a/f.txt", "nuovo f"}};

    std::string fuori_ = t_ / "fuori";
    test::Registratore ripristino_;
};

struct CasoGiornale {
    const char* nome;
    const char* giornale;
    std::vector<std::pair<std::string, std::string>> file = {};  // in the data folder, or Temp ({T})
};

class GiornaleNonAffidabile : public Recupero, public ::testing::WithParamInterface<CasoGiornale> {};

TEST_P(GiornaleNonAffidabile, NienteToccatoEGiornaleMessoDaParte) {
    Scrivi(dati_ + "/a.mdb", "dati");
    for (const auto& [nome, contenuto] : GetParam().file)
        Scrivi(nome.starts_with("{T}") ? temp_ + nome.substr(3) : dati_ + "/" + nome, contenuto);
    const Stato fuori = Contenuto(fuori_);
    const Stato dati = Contenuto(dati_);
    const Stato temp = Contenuto(temp_);
    Giornale(GetParam().giornale);
    const std::string messaggio = RecuperaRipristinoInterrotto();
    EXPECT_NE(messaggio.find("Nessun file è stato modificato"), std::string::npos) << messaggio;
    EXPECT_EQ(Contenuto(fuori_), fuori);
    EXPECT_EQ(Contenuto(dati_), dati);
    EXPECT_EQ(Contenuto(temp_), temp);
    EXPECT_FALSE(fs::exists(PercorsoGiornale()));
    EXPECT_TRUE(fs::exists(PercorsoGiornale() + ".sospetto"));
}

INSTANTIATE_TEST_SUITE_P(
    Casi, GiornaleNonAffidabile,
    ::testing::Values(
        CasoGiornale{"file_fuori_sostituiti",
                     "FASE=conferma\nLAVORO={F}/albero\nVOCE\nDATABASE={F}/vittima.mdb\n"
                     "NUOVO_DATABASE={F}/albero/foglia.txt\nCOPIA_DATABASE=\nCARTELLA={F}/albero\n"
                     "NUOVA_CARTELLA={F}/albero\nCOPIA_CARTELLA=\nIDENTITA=0\n"},
        CasoGiornale{"lavoro_fuori", "FASE=preparazione\nLAVORO={F}/albero\n"},
        CasoGiornale{"risale_con_punti",
                     "FASE=preparazione\nLAVORO=\nVOCE\nDATABASE={D}/a.mdb\n"
                     "NUOVO_DATABASE={D}/../fuori/vittima.mdb\nCOPIA_DATABASE=\nCARTELLA={D}/a\n"
                     "NUOVA_CARTELLA={D}/../fuori/albero\nCOPIA_CARTELLA=\nIDENTITA=0\n"},
        CasoGiornale{"altra_cartella_dati",
                     "FASE=preparazione\nDATI={F}\nLAVORO=\nVOCE\nDATABASE={F}/vittima.mdb\n"
                     "NUOVO_DATABASE={F}/~bvripristino1.tmp\nCOPIA_DATABASE=\nCARTELLA={F}/vittima\n"
                     "NUOVA_CARTELLA={F}/~bvripristino1.dir\nCOPIA_CARTELLA=\nIDENTITA=0\n"},
        CasoGiornale{"nome_non_provvisorio",
                     "FASE=preparazione\nLAVORO=\nVOCE\nDATABASE={D}/b.mdb\n"
                     "NUOVO_DATABASE={D}/a.mdb\nCOPIA_DATABASE=\nCARTELLA={D}/b\n"
                     "NUOVA_CARTELLA={D}/~bvripristino1.dir\nCOPIA_CARTELLA=\nIDENTITA=0\n"},
        CasoGiornale{"copia_non_di_sicurezza",
                     "FASE=conferma\nLAVORO=\nVOCE\nDATABASE={D}/b.mdb\n"
                     "NUOVO_DATABASE={D}/~bvripristino1.tmp\nCOPIA_DATABASE={D}/a.mdb\n"
                     "CARTELLA={D}/b\nNUOVA_CARTELLA={D}/~bvripristino1.dir\nCOPIA_CARTELLA=\n"
                     "IDENTITA=0\n"},
        // Journals that would replace the live database with no copy of it.
        CasoGiornale{"database_vivo_senza_copia",
                     "FASE=conferma\nLAVORO=\nVOCE\nDATABASE={D}/a.mdb\n"
                     "NUOVO_DATABASE={D}/~bvripristino1.tmp\nCOPIA_DATABASE=\nCARTELLA={D}/a\n"
                     "NUOVA_CARTELLA={D}/~bvripristino1.dir\nCOPIA_CARTELLA=\nIDENTITA=0\n",
                     {{"~bvripristino1.tmp", "intruso"}}},
        CasoGiornale{"copia_che_esiste_gia",
                     "FASE=conferma\nLAVORO=\nVOCE\nDATABASE={D}/a.mdb\n"
                     "NUOVO_DATABASE={D}/~bvripristino1.tmp\nCOPIA_DATABASE={D}/a.mdb.cfb000\n"
                     "CARTELLA={D}/a\nNUOVA_CARTELLA={D}/~bvripristino1.dir\nCOPIA_CARTELLA=\n"
                     "IDENTITA=0\n",
                     {{"~bvripristino1.tmp", "intruso"}, {"a.mdb.cfb000", "copia dell'anno scorso"}}},
        // A numbered folder of the user's in Temp, without the mark of a work folder.
        CasoGiornale{"lavoro_senza_segno", "FASE=preparazione\nLAVORO={T}/2023\n",
                     {{"{T}/2023/lettera.doc", "dell'utente"}}}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Recupero, GiornaleConUnCollegamentoNonSegueIlCollegamento) {
    BV_SOLO_POSIX("collegamenti simbolici creati dal test");
    Scrivi(dati_ + "/a.mdb", "dati");
    fs::create_directory_symlink(fuori_ + "/albero", dati_ + "/~bvripristino1.dir");
    Giornale(
        "FASE=preparazione\nLAVORO=\nVOCE\nDATABASE={D}/a.mdb\nNUOVO_DATABASE={D}/~bvripristino1.tmp\n"
        "COPIA_DATABASE=\nCARTELLA={D}/a\nNUOVA_CARTELLA={D}/~bvripristino1.dir\nCOPIA_CARTELLA=\n"
        "IDENTITA=0\n");
    const Stato fuori = Contenuto(fuori_);
    EXPECT_NE(RecuperaRipristinoInterrotto().find("Nessun file"), std::string::npos);
    EXPECT_EQ(Contenuto(fuori_), fuori);
}

TEST_F(Recupero, PuliziaDiTempSoloDelleFormeNostre) {
    // The user's files, however their names look, stay; ours go.
    Scrivi(temp_ + "/importante.mdb", "x");
    Scrivi(temp_ + "/~nota.tmp", "x");
    Scrivi(temp_ + "/.~bvmio.tmp", "x");
    Scrivi(temp_ + "/1234/lavoro.doc", "x");
    Scrivi(temp_ + "/~dati.zip", "x");
    Scrivi(temp_ + "/~~dati.zip.tmp", "x");
    Scrivi(temp_ + "/~dati.zip.a1B2c3", "x");
    Scrivi(temp_ + "/120asd12.tmp", "x");
    Scrivi(temp_ + "/4321/" + nomi::kSegnoLavoro, "");
    Scrivi(temp_ + "/4321/dati.mdb", "x");
    PulisciCartellaTemp(temp_);
    EXPECT_EQ(Contenuto(temp_), (Stato{{".~bvmio.tmp", "x"},
                                       {"1234", "<cartella>"},
                                       {"1234/lavoro.doc", "x"},
                                       {"importante.mdb", "x"},
                                       {"~nota.tmp", "x"}}));
}

TEST_F(Recupero, PuliziaDiTempNonSegueICollegamenti) {
    BV_SOLO_POSIX("collegamenti simbolici creati dal test");
    Scrivi(fuori_ + "/5678/" + nomi::kSegnoLavoro, "");
    fs::create_directory_symlink(fuori_ + "/albero", temp_ + "/5678");
    const Stato fuori = Contenuto(fuori_);
    PulisciCartellaTemp(temp_);
    EXPECT_EQ(Contenuto(fuori_), fuori);
    // A Temp that is itself a link to a shared folder holding names like ours.
    Scrivi(fuori_ + "/condivisa/~dati.zip", "x");
    Scrivi(fuori_ + "/condivisa/99/" + nomi::kSegnoLavoro, "");
    fs::remove_all(temp_);
    fs::create_directory_symlink(fuori_ + "/condivisa", temp_);
    const Stato condivisa = Contenuto(fuori_);
    PulisciCartellaTemp(temp_);
    EXPECT_EQ(Contenuto(fuori_), condivisa);
}

TEST_F(Recupero, RipristinoConfermatoCompletato) {
    RipristinoConfermato();
    EXPECT_EQ(RecuperaRipristinoInterrotto(),
              "Un ripristino interrotto è stato completato. I dati sostituiti sono nelle copie di "
              "sicurezza (.cfb).");
    EXPECT_EQ(Contenuto(dati_), kRipristinato);
    EXPECT_FALSE(fs::exists(PercorsoGiornale()));
}

TEST_F(Recupero, CartellaScambiataRiconosciutaDopoUnNuovoMontaggio) {
    // Killed right after the exchange of names; the volume then came back under another device
    // number: the identity in the journal (12345) matches neither folder, the mark does.
    RipristinoConfermato();
    fs::rename(dati_ + "/~bvripristino1.tmp", dati_ + "/a.mdb.nuovo");
    fs::copy_file(dati_ + "/a.mdb", dati_ + "/a.mdb.cfb000");
    fs::rename(dati_ + "/a.mdb.nuovo", dati_ + "/a.mdb");
    fs::rename(dati_ + "/a", dati_ + "/scambio");
    fs::rename(dati_ + "/~bvripristino1.dir", dati_ + "/a");
    fs::rename(dati_ + "/scambio", dati_ + "/~bvripristino1.dir");
    EXPECT_NE(RecuperaRipristinoInterrotto().find("completato"), std::string::npos);
    EXPECT_EQ(Contenuto(dati_), kRipristinato);
}

TEST_F(Recupero, VoceNonSistemabileLasciaIlGiornaleENominaIlDatabase) {
    // The database held by another program: its rename fails at every start until it is free.
    RipristinoConfermato();
    std::string messaggio;
    {
        test::FsGuasto g;
        g.erroreRinomina = [](const std::string& da, const std::string&) {
            return da.ends_with("~bvripristino1.tmp") ? EACCES : 0;
        };
        messaggio = RecuperaRipristinoInterrotto();
    }
    EXPECT_NE(messaggio.find("non è stato completato"), std::string::npos) << messaggio;
    EXPECT_NE(messaggio.find("a.mdb"), std::string::npos) << messaggio;
    EXPECT_NE(messaggio.find("a.mdb.cfb000"), std::string::npos) << messaggio;
    EXPECT_TRUE(RipristinoInSospeso());
    // Meanwhile no other restore starts over the staged files.
    {
        Scrivi(dest_ + "/BV20240315#0", "x");
        elenco_.Clear();
        elenco_.GetFilenames(dest_, "BV????????#*");
        RichiestaRipristino r = Richiesta();
        interazione_.Rispondi(Risposta::Si);
        EXPECT_EQ(EseguiRipristino(r, ripristino_), Esito::Fallito);
        EXPECT_EQ(ripristino_.errori, std::vector<int32_t>{errori::RipristinoInSospeso});
    }
    // Free again: the next start finishes it.
    EXPECT_NE(RecuperaRipristinoInterrotto().find("completato"), std::string::npos);
    EXPECT_EQ(Contenuto(dati_), kRipristinato);
    EXPECT_FALSE(RipristinoInSospeso());
}

TEST_F(Recupero, CopiaGiaFattaPrimaDellInterruzioneNonESospetta) {
    // Stopped between the safety copy and the rename: the copy is the live file (a second name,
    // or a copy of the same bytes on a volume without them), not an older one.
    for (const bool collegamento : {true, false}) {
        fs::remove_all(dati_);
        RipristinoConfermato(true);
        if (collegamento) {
            fs::create_hard_link(dati_ + "/a.mdb", dati_ + "/a.mdb.cfb000");
        } else {
            fs::copy_file(dati_ + "/a.mdb", dati_ + "/a.mdb.cfb000");
        }
        EXPECT_NE(RecuperaRipristinoInterrotto().find("completato"), std::string::npos);
        EXPECT_EQ(Contenuto(dati_), kRipristinato) << collegamento;
    }
}

TEST_F(Recupero, StessaCartellaDeiDatiScrittaAltrimenti) {
    for (const std::string& scritta :
         {t_.Percorso() + "//dati", t_.Percorso() + "/./dati/", t_.Percorso() + "/dati//"}) {
        fs::remove_all(dati_);
        RipristinoConfermato(true);
        DocumentoReg reg;
        reg.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati",
                    "Path", scritta);
        ImpostaRegistro(reg);
        const std::string messaggio = RecuperaRipristinoInterrotto();
        EXPECT_NE(messaggio.find("è stato completato"), std::string::npos) << scritta << messaggio;
        EXPECT_EQ(Contenuto(dati_), kRipristinato) << scritta;
    }
}

struct CasoCartellaDiversa {
    const char* nome;
    bool segno;         // a journal of this version (the data folder's mark), or an earlier one
    bool collegamento;  // the data path a link turned to another folder, else an empty mount point
};

class CartellaDatiDiversa : public Recupero,
                            public ::testing::WithParamInterface<CasoCartellaDiversa> {};

TEST_P(CartellaDatiDiversa, NienteDecisoFinchéNonTornaQuellaDelRipristino) {
    if (GetParam().collegamento) BV_SOLO_POSIX("collegamenti simbolici creati dal test");
    RipristinoConfermato(GetParam().segno);
    fs::rename(dati_, t_ / "volume");
    if (GetParam().collegamento) {
        Scrivi(fuori_ + "/altri/a.mdb", "di un'altra ditta");
        fs::create_directory_symlink(fuori_ + "/altri", dati_);
    } else {
        fs::create_directory(dati_);
    }
    const Stato trovata = Contenuto(dati_);
    const std::string messaggio = RecuperaRipristinoInterrotto();
    EXPECT_NE(messaggio.find("non è quella in cui il ripristino stava lavorando"),
              std::string::npos)
        << messaggio;
    EXPECT_EQ(Contenuto(dati_), trovata);
    EXPECT_TRUE(RipristinoInSospeso());
    // The volume back: the restore is finished then.
    fs::remove(dati_);
    fs::rename(t_ / "volume", dati_);
    EXPECT_NE(RecuperaRipristinoInterrotto().find("è stato completato"), std::string::npos);
    EXPECT_EQ(Contenuto(dati_), kRipristinato);
    EXPECT_FALSE(RipristinoInSospeso());
}

INSTANTIATE_TEST_SUITE_P(Casi, CartellaDatiDiversa,
                         ::testing::Values(CasoCartellaDiversa{"punto_di_montaggio", true, false},
                                           CasoCartellaDiversa{"collegamento", true, true},
                                           CasoCartellaDiversa{"giornale_precedente", false, false}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Recupero, DatabaseApertoDalHostAttendeIlProssimoAvvio) {
    // Brelvano started again before BVBackup: swapping now would put its writes in the copy.
    RipristinoConfermato(true);
    const Stato prima = Contenuto(dati_);
    {
        test::ProcessoCheTieneAperto host(dati_ + "/a.mdb", test::kApertoEsclusivo);
        const std::string messaggio = RecuperaRipristinoInterrotto();
        EXPECT_NE(messaggio.find("sono aperti in Brelvano"), std::string::npos) << messaggio;
        EXPECT_NE(messaggio.find(PercorsoPerMessaggio(dati_ + "/a.mdb")), std::string::npos)
            << messaggio;
        EXPECT_EQ(Contenuto(dati_), prima);
        EXPECT_TRUE(RipristinoInSospeso());
    }
    EXPECT_NE(RecuperaRipristinoInterrotto().find("è stato completato"), std::string::npos);
    EXPECT_EQ(Contenuto(dati_), kRipristinato);
}

TEST_F(Recupero, GiornaleCheNonSiPuoSpostareNominatoAncheDalRipristino) {
    Scrivi(PercorsoGiornale(), "non un giornale");
    std::string messaggio;
    {
        test::FsGuasto g;
        g.erroreRinomina = [](const std::string& da, const std::string&) {
            return da == PercorsoGiornale() ? EACCES : 0;
        };
        messaggio = RecuperaRipristinoInterrotto();
    }
    const std::string giornale = PercorsoPerMessaggio(PercorsoGiornale());
    EXPECT_NE(messaggio.find(giornale + " non può essere spostato"), std::string::npos) << messaggio;
    Scrivi(dest_ + "/BV20240315#0", "x");
    elenco_.Clear();
    elenco_.GetFilenames(dest_, "BV????????#*");
    interazione_.Rispondi(Risposta::Si);
    EXPECT_EQ(EseguiRipristino(Richiesta(), ripristino_), Esito::Fallito);
    ASSERT_EQ(ripristino_.errori, std::vector<int32_t>{errori::RipristinoInSospeso});
    EXPECT_NE(ripristino_.testiErrori[0].find(giornale + " non può essere letto"), std::string::npos)
        << ripristino_.testiErrori[0];
}

TEST_F(Recupero, CartellaDatiIrraggiungibileNonDecideNulla) {
    RipristinoConfermato();
    fs::rename(dati_, t_ / "staccata");
    EXPECT_NE(RecuperaRipristinoInterrotto().find("non è raggiungibile"), std::string::npos);
    EXPECT_TRUE(RipristinoInSospeso());
    fs::rename(t_ / "staccata", dati_);
    EXPECT_NE(RecuperaRipristinoInterrotto().find("completato"), std::string::npos);
    EXPECT_EQ(Contenuto(dati_), kRipristinato);
}

TEST_F(Recupero, AnnullamentoSuCartellaDatiImmodificabileNonBloccaLAvvio) {
    Scrivi(dati_ + "/a.mdb", "vecchio");
    Scrivi(dati_ + "/~bvripristino1.tmp", "nuovo");
    Giornale(
        "FASE=preparazione\nDATI={D}\nLAVORO=\nVOCE\nDATABASE={D}/a.mdb\n"
        "NUOVO_DATABASE={D}/~bvripristino1.tmp\nCOPIA_DATABASE=\nCARTELLA={D}/a\n"
        "NUOVA_CARTELLA={D}/~bvripristino1.dir\nCOPIA_CARTELLA=\nIDENTITA=0\n");
    {
        test::FsGuasto g;
        g.prima = [this](const char* op, const std::string& p) {
            return std::string(op) == "unlink" && p.starts_with(dati_) ? EROFS : 0;
        };
        EXPECT_NE(RecuperaRipristinoInterrotto().find("non è stato annullato"), std::string::npos);
    }
    EXPECT_EQ(test::LeggiTesto(dati_ + "/a.mdb"), "vecchio");
    EXPECT_TRUE(RipristinoInSospeso());
    EXPECT_NE(RecuperaRipristinoInterrotto().find("annullato"), std::string::npos);
    EXPECT_EQ(Contenuto(dati_), (Stato{{"a.mdb", "vecchio"}}));
}

TEST_F(Recupero, MarcatoreDiConfermaAssurdoIgnorato) {
    for (const char* conteggio : {"2000000000", "-3", "tre", ""}) {
        Scrivi(dest_ + "/~BV20240315.conferma", conteggio);
        Scrivi(dest_ + "/~BV20240315#0", "nuovo");
        Scrivi(dest_ + "/BV20240315#0", "vecchio");
        const Stato prima = Contenuto(dest_);
        EXPECT_FALSE(CompletaConfermeInterrotte(dest_)) << conteggio;
        EXPECT_EQ(Contenuto(dest_), prima) << conteggio;
        // Nor are the files it names discarded.
        ScartaSetProvvisori(dest_);
        EXPECT_EQ(Contenuto(dest_), prima) << conteggio;
    }
}

TEST_F(Recupero, ResiduiDiOgniGiornoSoloNelleFormeNostre) {
    for (const char* nome : {"~~BV20200101#0.tmp", "~~BV20200101#0.inf.tmp", "~BV20200101#1.tmp",
                             "~BV20200101#1", "~BV20200101#1.inf", "~BV20200101#1.vecchio",
                             "~~BV20200101.conferma.tmp"}) {
        Scrivi(dest_ + "/" + nome, "residuo");
    }
    for (const char* nome : {"~~nota.tmp", "~BV2020#1", "BV20200101#0", "~BV20200101#1.doc"})
        Scrivi(dest_ + "/" + nome, "dell'utente");
    ScartaSetProvvisori(dest_);
    EXPECT_EQ(Contenuto(dest_), (Stato{{"BV20200101#0", "dell'utente"},
                                       {"~BV2020#1", "dell'utente"},
                                       {"~BV20200101#1.doc", "dell'utente"},
                                       {"~~nota.tmp", "dell'utente"}}));
}

TEST_F(Recupero, MarcatoreSuOrigineInSolaLetturaNonFermaIlRipristino) {
    Scrivi(t_ / "sorgente/a.mdb", "nuovo");
    Scrivi(t_ / "sorgente/a/logo.bmp", "logo");
    {
        RichiestaBackup b;
        b.destinazione = dest_;
        b.verifica = false;
        b.percorsoDati = t_ / "sorgente/";
        b.cartellaTemp = temp_;
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(b, o)) << ::testing::PrintToString(o.eventi);
    }
    Scrivi(dest_ + "/~BV20240315.conferma", "1");
    Scrivi(dest_ + "/~BV20240315#0", "stantio");
    test::FsGuasto g;
    g.prima = [this](const char* op, const std::string& p) {
        const std::string o = op;
        return p.starts_with(dest_) && (o == "rename" || o == "unlink") ? EROFS : 0;
    };
    interazione_.Rispondi(Risposta::Si);
    EXPECT_EQ(EseguiRipristino(Richiesta(), ripristino_), Esito::Completato)
        << ::testing::PrintToString(ripristino_.errori);
    EXPECT_EQ(test::LeggiTesto(dati_ + "/a.mdb"), "nuovo");
}

TEST_F(Recupero, BloccoCheNonSiPuoPrendereEUnErrore) {
    BV_SOLO_POSIX("il blocco su Windows è un mutex con nome");
    ImpostaCartellaProgramma(programma_);
    fs::create_directory(PercorsoBloccoIstanza());
    {
        BloccoIstanza b;
        EXPECT_THROW(b.Acquisisci(), Errore);
    }
    fs::remove(PercorsoBloccoIstanza());
    fs::create_symlink(t_ / "manca", PercorsoBloccoIstanza());
    BloccoIstanza b;
    try {
        b.Acquisisci();
        ADD_FAILURE() << "un collegamento sospeso preso per blocco";
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), errori::BloccoNonUtilizzabile);
    }
}

}  // namespace
}  // namespace bv
