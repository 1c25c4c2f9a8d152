// The backup operation end to end on temporary folders.
#include <fcntl.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <random>
#include <regex>

#include "operazioni/backup.h"
#include "recupero/lettore.h"
#include "util/nomi_host.h"
#include "sicurezza/nomi_provvisori.h"
#include "platform/percorsi.h"
#include "tests/support/variabili.h"
#include "platform/impostazioni.h"
#include "tests/operazioni/ambiente_operazioni.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/processo.h"
#include "tests/support/unita_rimovibile.h"
#include "util/errori.h"
#include "util/koutilita.h"

namespace bv {
namespace {

std::string Rumore(size_t n, unsigned seme) {
    std::mt19937 gen(seme);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

class Backup : public test::AmbienteOperazioni {
  protected:
    void SetUp() override {
        AmbienteOperazioni::SetUp();
        Database("a.mdb", std::string(200000, 'a'),
                 {{"logo.bmp", "la"}, {"LEGGIMI", "senza estensione"}});
        Database("b.mdb", std::string(150000, 'b'), {{"nota.txt", "nb"}});
    }
    RichiestaBackup Richiesta(bool verifica) {
        RichiestaBackup r;
        r.destinazione = "  " + dest_ + "  ";
        r.verifica = verifica;
        r.percorsoDati = dati_ + "/";
        r.cartellaTemp = temp_;
        return r;
    }
    std::string Dest() { return LeggiImpostazione("KO_BVBackup", "Backup", "Dest", "<nessuno>"); }
};

TEST_F(Backup, ArchivioInOrdineDecrescenteConICompagni) {
    EXPECT_TRUE(EseguiBackup(Richiesta(false), osservatore_));
    const auto m = Membri(dest_, "BV20240315");
    std::vector<std::string> nomi;
    for (const auto& [n, d] : m) nomi.push_back(n);
    EXPECT_EQ(nomi, (std::vector<std::string>{"b.mdb", "b_nota.txt", "a.mdb", "a_logo.bmp",
                                              "a_LEGGIMI"}));
    EXPECT_EQ(m[4].second, "senza estensione");
    // The core shows nothing itself: the result carries the success and its summary.
    EXPECT_TRUE(interazione_.messaggi.empty());
    const RiepilogoBackup& riepilogo = osservatore_.risultato.backup;
    EXPECT_EQ(riepilogo.nomeSet, "BV20240315");
    EXPECT_EQ(riepilogo.cartella, dest_);
    EXPECT_EQ(riepilogo.byte, std::filesystem::file_size(dest_ + "/BV20240315#0"));
    EXPECT_EQ(riepilogo.dischi, 1);
    EXPECT_FALSE(riepilogo.verificato);
    EXPECT_EQ(Dest(), dest_);  // the trimmed folder
    EXPECT_EQ(VociIn(temp_), 0U);
}

TEST_F(Backup, NomeBaseMinuscoloECartellaTrovataSenzaMaiuscole) {
    std::filesystem::remove_all(dati_);
    test::CreaCartelle(dati_);
    Database("Archivio.MDB", "dati", {{"x.txt", "x"}}, "Archivio");
    EXPECT_EQ(NomeBase("Archivio.MDB"), "archivio");
    EXPECT_EQ(NomeBase("a.mdb.mdb"), "a");
    EXPECT_TRUE(EseguiBackup(Richiesta(true), osservatore_));
    const auto m = Membri(dest_, "BV20240315");
    ASSERT_EQ(m.size(), 2U);
    EXPECT_EQ(m[0].first, "Archivio.MDB");
    EXPECT_EQ(m[1].first, "archivio_x.txt");
}

TEST_F(Backup, PercorsoDiUnSoloDatabase) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    RichiestaBackup r = Richiesta(true);
    r.percorsoDati = dati_ + "/a.mdb";
    EXPECT_TRUE(EseguiBackup(r, osservatore_));
    EXPECT_EQ(Membri(dest_, "BV20240315").size(), 3U);
}

struct CasoErrore {
    const char* nome;
    int32_t numero;
    std::function<void(RichiestaBackup&, const std::string& dati)> prepara;
    bool destSalvata;
    const char* nomina = nullptr;  // what the message must name
};

// A data folder so deep that a companion file's path fits as it is (3,900 + 2 + 188 bytes)
// but not in the restore's staged folder "~bvripristino1.dir" (past PATH_MAX).
void DatiProfondi(RichiestaBackup& r, const std::string& dati) {
    std::string p = dati;
    while (3899 - p.size() > 200) p += "/" + std::string(150, 'd');
    p += "/" + std::string(3899 - p.size() - 1, 'e') + "/";
    test::CreaCartelle(p + "a");
    test::ScriviFile(p + "a.mdb", "x");
    test::ScriviFile(p + "a/" + std::string(188, 'f'), "x");
    r.percorsoDati = p;
}

class ErroriBackup : public Backup, public ::testing::WithParamInterface<CasoErrore> {};

TEST_P(ErroriBackup, NessunBloccoEStatoRipristinato) {
    // Names Windows does not hold, or a data folder written "…\dati/" only POSIX reads as one.
    const std::string caso = GetParam().nome;
    if (caso.find("utf8") != std::string::npos || caso.find("a_capo") != std::string::npos ||
        caso.find("dispositivo") != std::string::npos || caso.find("maiuscole") != std::string::npos ||
        caso.find("spazio") != std::string::npos || caso.find("punto") != std::string::npos ||
        caso.find("lungo") != std::string::npos || caso.find("profondo") != std::string::npos ||
        caso == "cartella_dati_mancante_con_separatore")
        BV_SOLO_POSIX("nomi che Windows non ammette (byte non UTF-8, a capo, dispositivi, maiuscole)");
    SalvaImpostazione("KO_BVBackup", "Backup", "Dest", "/vecchia/");
    RichiestaBackup r = Richiesta(true);
    GetParam().prepara(r, dati_);
    EXPECT_FALSE(EseguiBackup(r, osservatore_));
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{GetParam().numero});
    if (GetParam().nomina != nullptr) {
        ASSERT_EQ(osservatore_.testiErrori.size(), 1U);
        EXPECT_NE(osservatore_.testiErrori[0].find(GetParam().nomina), std::string::npos)
            << osservatore_.testiErrori[0];
        EXPECT_FALSE(osservatore_.Contiene("msg:Compressione dati..."));
    }
    EXPECT_EQ(VociIn(dest_), 0U);
    EXPECT_EQ(VociIn(temp_), 0U);
    EXPECT_EQ(Dest(), GetParam().destSalvata ? dest_ : "/vecchia/");
    EXPECT_TRUE(interazione_.messaggi.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Casi, ErroriBackup,
    ::testing::
        Values(
            CasoErrore{"dati_non_presenti", errori::DatiNonPresenti,
                       [](auto& r, auto&) { r.datiNonPresenti = true; }, false},
            CasoErrore{"non_installato", errori::DatiNonPresenti,
                       [](auto& r, auto&) { r.nonInstallato = true; }, false},
            CasoErrore{"destinazione_vuota", errori::DestinazioneMancante,
                       [](auto& r, auto&) { r.destinazione = "   "; }, false},
            CasoErrore{"destinazione_mancante", errori::DestinazioneNonValida,
                       [](auto& r, auto&) { r.destinazione += "/manca"; }, false},
            CasoErrore{"nessun_database", errori::NessunDato,
                       [](auto&, const std::string& d) {
                           std::filesystem::remove(d + "/a.mdb");
                           std::filesystem::remove(d + "/b.mdb");
                       },
                       true},
            CasoErrore{"cartella_dati_mancante_con_separatore", errori::NessunDato,
                       [](auto& r, const std::string& d) { r.percorsoDati = d + "/manca/"; }, true},
            // Names that would give a set that does not restore, or restores elsewhere.
            CasoErrore{
                "compagno_non_utf8", errori::NomeNonAmmesso,
                [](auto&, const std::string& d) { test::ScriviFile(d + "/a/f\xe9.txt", "x"); },
                true},
            CasoErrore{"database_non_utf8", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) {
                           test::ScriviFile(d + "/caf\xe9.mdb", "x");
                           test::CreaCartelle(d + "/caf\xe9");
                       },
                       true},
            CasoErrore{"database_con_nome_di_dispositivo", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) {
                           test::ScriviFile(d + "/aux.mdb", "x");
                           test::CreaCartelle(d + "/aux");
                       },
                       true},
            CasoErrore{
                "compagno_con_a_capo", errori::NomeNonAmmesso,
                [](auto&, const std::string& d) { test::ScriviFile(d + "/a/riga\nnuova", "x"); },
                true},
            CasoErrore{"database_uguali_a_meno_di_maiuscole", errori::NomiUguali,
                       [](auto&, const std::string& d) { test::ScriviFile(d + "/A.mdb", "x"); },
                       true},
            CasoErrore{
                "compagni_uguali_a_meno_di_maiuscole", errori::NomiUguali,
                [](auto&, const std::string& d) { test::ScriviFile(d + "/a/LOGO.bmp", "x"); },
                true},
            CasoErrore{"nomi_appiattiti_uguali", errori::NomiUguali,
                       [](auto&, const std::string& d) {
                           test::ScriviFile(d + "/a/b_c", "di a");  // a_b_c
                           test::ScriviFile(d + "/a_b.mdb", "x");
                           test::CreaCartelle(d + "/a_b");
                           test::ScriviFile(d + "/a_b/c", "di a_b");  // a_b_c too
                       },
                       true},
            CasoErrore{"compagno_preso_da_un_altro_database", errori::NomiUguali,
                       [](auto&, const std::string& d) {
                           test::ScriviFile(d + "/a/b_x", "di a");  // a_b_x: a_b's rule takes it
                           test::ScriviFile(d + "/a_b.mdb", "x");
                           test::CreaCartelle(d + "/a_b");
                           test::ScriviFile(d + "/a_b/y", "di a_b");
                       },
                       true},
            CasoErrore{"database_con_cancelletto", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) {
                           std::filesystem::rename(d + "/a.mdb", d + "/a#1.mdb");
                       },
                       true},
            CasoErrore{
                "compagno_con_cancelletto", errori::NomeNonAmmesso,
                [](auto&, const std::string& d) { test::ScriviFile(d + "/a/foto#2.jpg", "x"); },
                true},
            // Names the restore could not make: longer than a name may be once flattened
            // ("a_" and 254 bytes) or given a safety copy's suffixes (".cfb32767.~bvtmp"),
            // a path past what the system opens, a name Windows would cut, a companion file
            // the restore would take for a database.
            CasoErrore{"compagno_con_nome_lungo", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) {
                           test::ScriviFile(d + "/a/" + std::string(254, 'l'), "x");
                       },
                       true, "a/lllll"},
            CasoErrore{"database_con_nome_lungo", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) {
                           test::ScriviFile(d + "/" + std::string(236, 'x') + ".mdb", "x");
                           test::CreaCartelle(d + "/" + std::string(236, 'x'));
                       },
                       true, "xxxxx.mdb"},
            CasoErrore{"percorso_profondo", errori::NomeNonAmmesso, &DatiProfondi, true, "a/fffff"},
            // The restore extracts every member into a work folder of the temporary folder.
            CasoErrore{"temporanea_profonda", errori::NomeNonAmmesso,
                       [](auto& r, const std::string&) {
                           r.cartellaTemp += "/" + std::string(200, 't') + "/" +
                                             std::string(200, 't');
                           for (int i = 0; i < 20; ++i)
                               r.cartellaTemp += "/" + std::string(200, 'u');
                       },
                       true, "b.mdb"},
            CasoErrore{"compagno_con_spazio_finale", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) { test::ScriviFile(d + "/a/x.txt ", "x"); },
                       true, "a/x.txt "},
            CasoErrore{"compagno_con_spazio_iniziale", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) { test::ScriviFile(d + "/a/ x.txt", "x"); },
                       true, "a/ x.txt"},
            CasoErrore{"compagno_con_punto_finale", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) { test::ScriviFile(d + "/a/x.", "x"); },
                       true, "a/x."},
            CasoErrore{"database_con_spazio_iniziale", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) {
                           test::ScriviFile(d + "/ c.mdb", "x");
                           test::CreaCartelle(d + "/ c");
                       },
                       true, "/ c.mdb"},
            CasoErrore{"compagno_con_nome_da_database", errori::NomeNonAmmesso,
                       [](auto&, const std::string& d) { test::ScriviFile(d + "/a/z.MDB", "x"); },
                       true, "z.MDB ha il nome di un database"}),
    [](const auto& info) { return std::string(info.param.nome); });

// A power cut right after "Backup completato correttamente." on a USB stick (FAT): every name
// the commit renamed must already hold its data, or the set that was called good is empty.
TEST_F(Backup, SetSuChiavettaIntegroDopoUnTaglioDiCorrente) {
    {
        test::FsGuasto fs;
        fs.comeFat = true;
        ASSERT_TRUE(EseguiBackup(Richiesta(true), osservatore_));
        fs.TagliaCorrente();
    }
    const auto m = Membri(dest_, "BV20240315");
    ASSERT_EQ(m.size(), 5U);
    EXPECT_EQ(m[2].second, std::string(200000, 'a'));
}

// A destination that cannot be written is reported before the compression, with the writer's
// own number and text.
TEST_F(Backup, DestinazioneInutilizzabileSegnalataPrimaDiComprimere) {
    test::FsGuasto fs;
    fs.erroreApertura = [this](const std::string& p, ModoApertura) {
        return p.starts_with(dest_) ? EACCES : 0;
    };
    EXPECT_FALSE(EseguiBackup(Richiesta(true), osservatore_));
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::ScritturaNegata});
    EXPECT_FALSE(osservatore_.Contiene("msg:Compressione dati..."));
    EXPECT_EQ(VociIn(dest_), 0U);
}

// A companion file deleted while the backup runs (between its compression and the verification):
// the set is kept, the rest compared, the file named in a warning.
TEST_F(Backup, FileEliminatoPrimaDellaVerificaAvvisatoESetTenuto) {
    osservatore_.suMessaggio = [this](const std::string& testo) {
        if (testo == "Test...") std::filesystem::remove(dati_ + "/a/logo.bmp");
    };
    EXPECT_TRUE(EseguiBackup(Richiesta(true), osservatore_));
    const std::vector<std::string>& avvisi = osservatore_.avvisi;
    EXPECT_EQ(osservatore_.risultato.avvisi, avvisi);
    ASSERT_EQ(avvisi.size(), 1U);
    EXPECT_NE(avvisi[0].find("logo.bmp è stato eliminato durante il backup"), std::string::npos)
        << avvisi[0];
    EXPECT_EQ(Membri(dest_, "BV20240315")[3], (std::pair<std::string, std::string>{"a_logo.bmp", "la"}));
}

// A folder with room for the new set only once the day's earlier one is gone: the user is told
// and chooses; replacing first is the old order, at the cost of no set if the new one fails.
TEST_F(Backup, CartellaSenzaSpazioPerDueSet) {
    struct Caso {
        const char* nome;
        std::optional<Risposta> risposta;  // none: replaced without asking
        bool riuscito;
    };
    for (const Caso& c : {Caso{"sostituito_dopo_il_si", Risposta::Si, true},
                          Caso{"annullato_col_no", Risposta::No, false},
                          Caso{"sostituito_senza_chiedere", std::nullopt, true}}) {
        SCOPED_TRACE(c.nome);
        for (const auto& v : FsDiSistema().Elenca(dest_)) std::filesystem::remove(dest_ + "/" + v.nome);
        test::ScriviFile(dati_ + "/b.mdb", "vecchio");
        ASSERT_TRUE(EseguiBackup(Richiesta(false), osservatore_));
        test::ScriviFile(dati_ + "/b.mdb", "nuovo");
        interazione_.messaggi.clear();
        osservatore_.errori.clear();
        test::FsGuasto fs;
        fs.spazio = [this](const std::string& p) {
            return p.starts_with(dest_) ? int64_t{1024} * 1024 : FsDiSistema().SpazioLibero(p);
        };
        RichiestaBackup r = Richiesta(true);
        r.sostituisciPrecedente = !c.risposta;
        if (c.risposta) interazione_.Rispondi(*c.risposta);
        EXPECT_EQ(EseguiBackup(r, osservatore_).Riuscito(), c.riuscito);
        if (c.risposta) {
            ASSERT_FALSE(interazione_.messaggi.empty());
            EXPECT_NE(interazione_.messaggi[0].testo.find(
                          "non ha spazio per conservare il backup precedente di oggi"),
                      std::string::npos)
                << interazione_.messaggi[0].testo;
            EXPECT_EQ(interazione_.messaggi[0].pulsanti, Pulsanti::SiNo);
        } else {
            EXPECT_TRUE(interazione_.messaggi.empty());
        }
        EXPECT_EQ(Membri(dest_, "BV20240315")[0].second, c.riuscito ? "nuovo" : "vecchio");
        if (!c.riuscito) {
            EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::Annullata});
        }
    }
}

// A refused name is named with what is wrong with it, so the user knows what to rename.
TEST_F(Backup, NomeRifiutatoDiceIlPerche) {
    BV_SOLO_POSIX("nomi di dispositivo e caratteri di controllo che Windows non lascia creare");
    struct Caso {
        std::string file;
        std::string perche;
    };
    const std::vector<Caso> casi = {
        {"a/foto#2.jpg", "contiene il carattere #"},
        {"a/com1.txt", "riservato dal sistema"},
        {"a/riga\tnuova", "caratteri non validi"},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.file);
        test::ScriviFile(dati_ + "/" + c.file, "x");
        osservatore_.testiErrori.clear();
        EXPECT_FALSE(EseguiBackup(Richiesta(false), osservatore_));
        ASSERT_EQ(osservatore_.testiErrori.size(), 1U);
        const std::string& testo = osservatore_.testiErrori[0];
        EXPECT_NE(testo.find(c.perche), std::string::npos) << testo;
        const std::string nome = std::filesystem::path(c.file).filename().string();
        EXPECT_NE(testo.find(nome), std::string::npos) << testo;
        std::filesystem::remove(dati_ + "/" + c.file);
    }
}

TEST_F(Backup, DatabaseApertoDaUnAltroProgramma) {
    // Shared as the host usually opens it, or held with no sharing at all (then not even a
    // read is allowed on Windows): in use either way.
    for (const int modo : {static_cast<int>(O_RDWR), test::kApertoEsclusivo}) {
        SCOPED_TRACE(modo);
        osservatore_.errori.clear();
        osservatore_.eventi.clear();
        {
            test::ProcessoCheTieneAperto host(dati_ + "/a.mdb", modo);
            EXPECT_FALSE(EseguiBackup(Richiesta(true), osservatore_));
        }
        ASSERT_EQ(osservatore_.errori, std::vector<int32_t>{errori::InEsecuzione});
        EXPECT_EQ(VociIn(dest_), 0U);
        // Named, and known before b.mdb (compressed first) is: nothing was compressed.
        EXPECT_NE(osservatore_.testiErrori.back().find(PercorsoPerMessaggio("a.mdb") + " è aperto"),
                  std::string::npos)
            << osservatore_.testiErrori.back();
        EXPECT_FALSE(osservatore_.Contiene("msg:Compressione dati..."));
    }
}

TEST_F(Backup, DueBackupNelloStessoGiornoSostituisconoIBlocchi) {
    EXPECT_TRUE(EseguiBackup(Richiesta(false), osservatore_));
    test::ScriviFile(dati_ + "/b.mdb", "cambiato");
    EXPECT_TRUE(EseguiBackup(Richiesta(false), osservatore_));
    EXPECT_EQ(VociIn(dest_), 4U);  // the block, its descriptor, the recovery index and volume
    EXPECT_EQ(Membri(dest_, "BV20240315")[0].second, "cambiato");
}

TEST_F(Backup, VerificaLasciaLaCartellaTemporaneaPulita) {
    test::ScriviFile(temp_ + "/~dati.zip", "avanzo di un backup fallito");
    EXPECT_TRUE(EseguiBackup(Richiesta(true), osservatore_));
    EXPECT_EQ(VociIn(temp_), 0U);
    EXPECT_TRUE(osservatore_.Contiene("msg:Test..."));
    EXPECT_TRUE(osservatore_.Contiene("msg:Fine operazione."));
}

// A link planted at one of the program's own names in its folders (the archive, the rebuild's
// temporary name, the write probe, the log) is removed, never written through: what it leads
// to is not made nor changed, the backup succeeds and the log tells the link went.
struct Collegamento {
    const char* nome;  // in Temp; "" for the log
    bool bersaglio;    // the link leads to an existing file
};

class CollegamentoNeiNomiDelProgramma : public Backup,
                                        public ::testing::WithParamInterface<Collegamento> {};

TEST_P(CollegamentoNeiNomiDelProgramma, RimossoENonSeguito) {
    BV_SOLO_POSIX("collegamenti simbolici POSIX");
    const Collegamento& c = GetParam();
    const std::string fuori = t_ / "fuori";
    if (c.bersaglio) test::ScriviFile(fuori, "di un altro");
    const std::string nome = *c.nome == '\0' ? koUtilita::FileLog() : temp_ + "/" + c.nome;
    std::filesystem::create_symlink(fuori, nome);
    // A file in Temp the program did not make: the backup logs that it leaves it there.
    if (*c.nome == '\0') test::ScriviFile(temp_ + "/dell'utente.txt", "x");
    EXPECT_TRUE(EseguiBackup(Richiesta(true), osservatore_))
        << ::testing::PrintToString(osservatore_.testiErrori);
    if (c.bersaglio) {
        EXPECT_EQ(test::LeggiTesto(fuori), "di un altro");
    } else {
        EXPECT_FALSE(test::Esiste(fuori));
    }
    EXPECT_FALSE(std::filesystem::is_symlink(nome));
    EXPECT_NE(test::LeggiTesto(koUtilita::FileLog())
                  .find("Collegamento rimosso al posto di un file di BVBackup (non seguito): " +
                        nome),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Casi, CollegamentoNeiNomiDelProgramma,
                         ::testing::Values(Collegamento{"~dati.zip", false},
                                           Collegamento{"~dati.zip", true},
                                           Collegamento{"~~dati.zip.tmp", false},
                                           Collegamento{"~~dati.zip.tmp", true},
                                           Collegamento{"120asd12.tmp", false},
                                           Collegamento{"120asd12.tmp", true},
                                           Collegamento{"", false}, Collegamento{"", true}));

TEST_F(Backup, BloccoDanneggiatoPrimaDellaVerifica) {
    osservatore_.suMessaggio = [this](const std::string& m) {
        // The new set is verified under its staged name, before it takes the set's name.
        if (m == "Test...") std::filesystem::resize_file(dest_ + "/~BV20240315#0", 100);
    };
    EXPECT_FALSE(EseguiBackup(Richiesta(true), osservatore_));
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::BloccoDanneggiato});
    EXPECT_EQ(VociIn(dest_), 0U);  // no set, and no staged file left
}

TEST_F(Backup, NomiSimiliMaNonAmbiguiSonoAccettati) {
    // a.mdb and a_b.mdb side by side: each flattened name reaches its own folder.
    Database("a_b.mdb", "ab", {{"y", "di a_b"}});
    EXPECT_TRUE(EseguiBackup(Richiesta(true), osservatore_)) << osservatore_.errori.size();
    std::vector<std::string> nomi;
    for (const auto& [n, d] : Membri(dest_, "BV20240315")) nomi.push_back(n);
    EXPECT_EQ(nomi, (std::vector<std::string>{"b.mdb", "b_nota.txt", "a_b.mdb", "a_b_y", "a.mdb",
                                              "a_logo.bmp", "a_LEGGIMI"}));
}

TEST_F(Backup, SottocartelleEscluseSegnalate) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    test::CreaCartelle(dati_ + "/a/scansioni");
    test::ScriviFile(dati_ + "/a/scansioni/1.pdf", "x");
    EXPECT_TRUE(EseguiBackup(Richiesta(false), osservatore_));
    const std::vector<std::string>& avvisi = osservatore_.risultato.avvisi;
    ASSERT_EQ(avvisi.size(), 1U);
    EXPECT_EQ(avvisi[0], "La cartella " + dati_ +
                             "/a/ contiene sottocartelle che non fanno parte del backup: "
                             "scansioni.");
}

TEST_F(Backup, DatabaseIlleggibileNonEInEsecuzione) {
    BV_SOLO_POSIX("permessi POSIX (chmod)");
    test::FsGuasto guasto;
    guasto.erroreApertura = [this](const std::string& p, ModoApertura) {
        return p == dati_ + "/b.mdb" ? EACCES : 0;
    };
    EXPECT_FALSE(EseguiBackup(Richiesta(false), osservatore_));
    ASSERT_EQ(osservatore_.errori,
              std::vector<int32_t>{errori::DatabaseNonLeggibile});  // not 9983 "in esecuzione"
    EXPECT_NE(osservatore_.testiErrori[0].find("Impossibile leggere il database " +
                                               PercorsoPerMessaggio(dati_ + "/b.mdb")),
              std::string::npos)
        << osservatore_.testiErrori[0];
}

TEST_F(Backup, DatabaseSenzaCartellaSalvatoDaSolo) {
    // A database may have no companion folder: backed up alone, not a "destination" error.
    std::filesystem::remove_all(dati_ + "/a");
    ASSERT_TRUE(EseguiBackup(Richiesta(true), osservatore_)) << osservatore_.testiErrori.size();
    std::vector<std::string> nomi;
    for (const auto& [n, d] : Membri(dest_, "BV20240315")) nomi.push_back(n);
    EXPECT_EQ(nomi, (std::vector<std::string>{"b.mdb", "b_nota.txt", "a.mdb"}));
}

TEST_F(Backup, CartellaDeiDatiMancanteNominata) {
    RichiestaBackup r = Richiesta(false);
    r.percorsoDati = dati_ + "/altrove";
    EXPECT_FALSE(EseguiBackup(r, osservatore_));
    ASSERT_EQ(osservatore_.errori, std::vector<int32_t>{errori::NessunDato});
    EXPECT_EQ(osservatore_.testiErrori[0].rfind("Nessun file data presente. Impossibile effettuare "
                                                "il backup. La cartella dei dati indicata nelle "
                                                "impostazioni di Brelvano, " +
                                                    PercorsoPerMessaggio(r.percorsoDati) +
                                                    ", non esiste",
                                                0),
              0U)
        << osservatore_.testiErrori[0];
}

TEST_F(Backup, TempPienoDettoComeTale) {
    // The archive cannot be written in the temporary folder: that folder is named, not the log.
    test::FsGuasto guasto;
    guasto.erroreScrittura = [this](const std::string& p, size_t) {
        return p.starts_with(temp_) ? ENOSPC : 0;
    };
    EXPECT_FALSE(EseguiBackup(Richiesta(false), osservatore_));
    ASSERT_EQ(osservatore_.errori, std::vector<int32_t>{errori::SpazioInsufficiente});
    EXPECT_NE(osservatore_.testiErrori[0].find("La cartella temporanea del programma " +
                                               PercorsoPerMessaggio(temp_)),
              std::string::npos)
        << osservatore_.testiErrori[0];
    EXPECT_EQ(VociIn(dest_), 0U);
}

TEST_F(Backup, ArchivioTroppoGrandeFermatoMentreCresce) {
    // Seen as the archive grows, not once the whole database is in it: the archive reported
    // past the limit from its second megabyte on, little more than that is written.
    test::ScriviFile(dati_ + "/c.mdb", Rumore(8u << 20, 3));
    test::FsGuasto guasto;
    uint64_t scritti = 0;
    guasto.erroreScrittura = [&](const std::string& p, size_t n) {
        if (NomeDi(p) == nomi::kArchivioTemporaneo) scritti += n;
        return 0;
    };
    guasto.info = [&](const std::string& p, InfoFile i) {
        if (NomeDi(p) == nomi::kArchivioTemporaneo && i.dimensione > (1u << 20))
            i.dimensione = kMassimoArchivio + 1;
        return i;
    };
    EXPECT_FALSE(EseguiBackup(Richiesta(false), osservatore_));
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{num::Overflow});
    EXPECT_LT(scritti, 4u << 20);
}

TEST_F(Backup, LaVerificaLeggeIlDiscoNonLaCache) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    test::ScriviFile(dati_ + "/c.mdb", Rumore(400000, 5));
    test::CreaCartelle(dati_ + "/c");
    test::FsGuasto guasto;
    // A removable drive that takes a block of 200 KB at a time: several blocks to read back.
    test::ImpostaVariabile("BVBACKUP_FLOPPY", dest_);
    guasto.spazio = [this](const std::string& p) {
        return p.starts_with(dest_) ? 200000 : FsDiSistema().SpazioLibero(p);
    };
    guasto.registraLetture = true;
    RichiestaBackup r = Richiesta(true);
    ASSERT_TRUE(EseguiBackup(r, osservatore_));
    // Every block read back by the verification had its cached pages dropped first.
    std::map<std::string, bool> scartato;
    int blocchi = 0;
    for (const std::string& e : guasto.letture) {
        const auto due = e.find(':');
        const std::string tipo = e.substr(0, due);
        const std::string p = e.substr(due + 1);
        if (!p.starts_with(dest_) || p.ends_with(".inf")) continue;  // the blocks
        if (tipo == "scarta") {
            scartato[p] = true;
            ++blocchi;
        } else {
            EXPECT_TRUE(scartato[p]) << p << " letto prima di scartarne la cache";
        }
    }
    EXPECT_GE(blocchi, 2);
    test::TogliVariabile("BVBACKUP_FLOPPY");
}

// A stick pulled out while the set is written: said as a destination gone, to reconnect, not
// by the staged name that could not be opened.
TEST_F(Backup, DestinazioneScollegataDuranteLaScrittura) {
    BV_SOLO_POSIX("una cartella rinominata mentre è in uso");
    test::FsGuasto guasto;
    bool tolta = false;
    guasto.erroreApertura = [&](const std::string& p, ModoApertura) {
        if (tolta || !p.starts_with(dest_) || p.find("BV2024") == std::string::npos) return 0;
        tolta = true;
        std::filesystem::rename(dest_, dest_ + ".scollegata");
        return ENOENT;
    };
    EXPECT_FALSE(EseguiBackup(Richiesta(true), osservatore_));
    ASSERT_TRUE(tolta);
    ASSERT_EQ(osservatore_.errori, std::vector<int32_t>{errori::DestinazioneNonValida});
    const std::string& testo = osservatore_.testiErrori[0];
    EXPECT_NE(testo.find("La destinazione " + PercorsoPerMessaggio(dest_) +
                         " non è più raggiungibile"),
              std::string::npos)
        << testo;
    EXPECT_EQ(testo.find("~"), std::string::npos) << testo;
    EXPECT_EQ(VociIn(temp_), 0U);
}

// The recovery files beside a set in a folder: written with its blocks (three here), which
// they describe under their final names (and Debian's par2 agrees), the day's earlier ones
// replaced; none with 0.
struct CasoRecupero {
    const char* nome;
    int percento;
    size_t file;
};

class RecuperoDelSet : public Backup, public ::testing::WithParamInterface<CasoRecupero> {};

TEST_P(RecuperoDelSet, ScrittiConIBlocchi) {
    BV_SOLO_POSIX("il par2 di Debian");
    test::ScriviFile(dati_ + "/c.mdb", Rumore(400000, 5));
    test::CreaCartelle(dati_ + "/c");
    test::FsGuasto guasto;
    // 200 KB a block, as on the removable drive (a fixed folder without room refuses the set).
    struct Unita {
        explicit Unita(const std::string& d) { test::ImpostaVariabile("BVBACKUP_FLOPPY", d); }
        ~Unita() { test::TogliVariabile("BVBACKUP_FLOPPY"); }
    } unita(dest_);
    guasto.spazio = [this](const std::string& p) {
        return p.starts_with(dest_) ? 200000 : FsDiSistema().SpazioLibero(p);
    };
    RichiestaBackup r = Richiesta(true);
    r.percentualeRecupero = GetParam().percento;
    ASSERT_TRUE(EseguiBackup(r, osservatore_));
    test::ScriviFile(dati_ + "/b.mdb", Rumore(50000, 9));
    ASSERT_TRUE(EseguiBackup(r, osservatore_));
    const std::vector<std::string> par2 = recupero::FileDiRecupero(dest_, "BV20240315");
    ASSERT_EQ(par2.size(), GetParam().file);
    EXPECT_EQ(VociIn(dest_), 6 + GetParam().file);
    if (par2.empty()) return;
    const recupero::InsiemeRecupero insieme = recupero::LeggiInsieme(par2);
    ASSERT_EQ(insieme.file.size(), 3U);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(insieme.file[i].nome, "BV20240315#" + std::to_string(i));
    EXPECT_GE(insieme.file[0].fette.size(), 16U);
    EXPECT_TRUE(recupero::VerificaInsieme(insieme, dest_).Integra());
    if (!std::filesystem::exists("/usr/bin/par2")) GTEST_SKIP() << "par2 non installato";
    EXPECT_EQ(std::system(("cd '" + dest_ + "' && par2 verify -q BV20240315.par2 >/dev/null 2>&1").c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(Casi, RecuperoDelSet,
                         ::testing::Values(CasoRecupero{"dieci_per_cento", 10, 2},
                                           CasoRecupero{"tutto", 100, 2},
                                           CasoRecupero{"nessuno", 0, 0}),
                         [](const auto& info) { return std::string(info.param.nome); });

// A second backup of the same day that fails, at any point, leaves the first set whole.
struct CasoSecondoBackup {
    const char* nome;
    std::function<void(test::FsGuasto&, const std::string& dest)> guasta;
    int32_t numero;
};

class SecondoBackupFallito : public Backup,
                             public ::testing::WithParamInterface<CasoSecondoBackup> {};

TEST_P(SecondoBackupFallito, IlPrimoSetRestaIntegro) {
    ASSERT_TRUE(EseguiBackup(Richiesta(false), osservatore_));
    const auto primo = Membri(dest_, "BV20240315");
    // Each file by name and a hash of its bytes (a failure prints names, not binary data).
    const auto impronte = [this] {
        std::map<std::string, size_t> m;
        for (const auto& e : std::filesystem::directory_iterator(dest_))
            m[e.path().filename().string()] = std::hash<std::string>{}(test::LeggiTesto(e.path().string()));
        return m;
    };
    const auto fileDelPrimo = impronte();
    // The data grows: the new set differs from the old one.
    test::ScriviFile(dati_ + "/c.mdb", Rumore(300000, 3));
    test::CreaCartelle(dati_ + "/c");
    test::FsGuasto guasto;
    GetParam().guasta(guasto, dest_);
    if (GetParam().numero == errori::Annullata) interazione_.Rispondi(Risposta::Annulla);
    osservatore_.errori.clear();
    EXPECT_FALSE(EseguiBackup(Richiesta(true), osservatore_));
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{GetParam().numero});
    EXPECT_EQ(impronte(), fileDelPrimo);  // byte for byte, and nothing staged left beside it
    EXPECT_TRUE(Membri(dest_, "BV20240315") == primo);
}

INSTANTIATE_TEST_SUITE_P(
    Casi, SecondoBackupFallito,
    ::testing::Values(
        CasoSecondoBackup{"disco_pieno_al_secondo_blocco",
                          [](test::FsGuasto& g, const std::string& d) {
                              // A small volume: room for the old set and a block of the new.
                              g.spazio = [d](const std::string& p) {
                                  // The volume of the destination: on Windows its drive.
                                  if (!p.starts_with(d) && p != UnitaDi(d))
                                      return FsDiSistema().SpazioLibero(p);
                                  int64_t usati = 0;
                                  for (const auto& e : std::filesystem::directory_iterator(d))
                                      usati += static_cast<int64_t>(e.file_size());
                                  return std::max<int64_t>(0, 250000 - usati);
                              };
                          },
                          // A folder of a fixed disk: refused before writing, needs and free told.
                          errori::SpazioCartella},
        CasoSecondoBackup{"scrittura_fallita",
                          [](test::FsGuasto& g, const std::string& d) {
                              g.erroreScrittura = [d](const std::string& p, size_t) {
                                  return p.starts_with(d) &&
                                                 p.find("BV20240315#0.inf") != std::string::npos
                                             ? 5
                                             : 0;
                              };
                          },
                          57},
        CasoSecondoBackup{"verifica_fallita",
                          [](test::FsGuasto& g, const std::string& d) {
                              g.prima = [d](const char* op, const std::string& p) {
                                  // The rebuilt archive cannot be written.
                                  return std::string(op) == "open" &&
                                                 p.find("~~dati.zip") != std::string::npos
                                             ? 28
                                             : 0;
                              };
                              (void)d;
                          },
                          61},
        CasoSecondoBackup{"conferma_fallita",
                          [](test::FsGuasto& g, const std::string& d) {
                              g.erroreRinomina = [d](const std::string& da, const std::string&) {
                                  return da == d + Separatore() + "~BV20240315#0" ? 5 : 0;
                              };
                          },
                          57},
        // The recovery files: their writing, and their taking the names once the blocks have.
        CasoSecondoBackup{"recupero_non_scritto",
                          [](test::FsGuasto& g, const std::string& d) {
                              g.erroreScrittura = [d](const std::string& p, size_t) {
                                  return p.starts_with(d) && p.find(".vol") != std::string::npos ? 5 : 0;
                              };
                          },
                          57},
        CasoSecondoBackup{"recupero_non_confermato",
                          [](test::FsGuasto& g, const std::string& d) {
                              g.erroreRinomina = [d](const std::string& da, const std::string&) {
                                  return da == d + Separatore() + "~BV20240315.par2" ? 5 : 0;
                              };
                          },
                          57}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Backup, SorgenteCambiataDopoLaCompressione) {
    osservatore_.suMessaggio = [this](const std::string& m) {
        if (m == "Salvataggio dati...") test::ScriviFile(dati_ + "/a/logo.bmp", "LA");
    };
    EXPECT_FALSE(EseguiBackup(Richiesta(true), osservatore_));
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::VerificaFallita});
}

// The bar only goes forward, ends at 100, and gives the compression, the slowest phase for
// each byte, the largest share: the writing starts past its middle.
TEST_F(Backup, AvanzamentoPesatoSuiByte) {
    for (const bool verifica : {false, true}) {
        SCOPED_TRACE(verifica);
        test::Registratore o;
        double allaScrittura = -1;
        o.suMessaggio = [&](const std::string& t) {
            if (t == "Salvataggio dati...") allaScrittura = o.avanzamenti.back();
        };
        EXPECT_TRUE(EseguiBackup(Richiesta(verifica), o));
        EXPECT_TRUE(std::is_sorted(o.avanzamenti.begin(), o.avanzamenti.end()));
        EXPECT_EQ(o.avanzamenti.back(), 100);
        EXPECT_GT(allaScrittura, verifica ? 50 : 80);
        EXPECT_LT(allaScrittura, 100);
    }
}

TEST_F(Backup, SuDischettiConVerifica) {
#ifdef _WIN32
    GTEST_SKIP() << "unità A: reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh";
#else
    std::filesystem::remove_all(dati_);
    test::CreaCartelle(dati_);
    Database("grande.mdb", Rumore(3500000, 5), {{"x", "x"}});
    test::FsGuasto guasto;
    test::UnitaRimovibile unita(t_ / "floppy", t_ / "dischi", 1457664, 4);
    unita.Collega(guasto);
    test::ImpostaVariabile("BVBACKUP_FLOPPY", unita.Cartella().c_str());
    interazione_.allaRisposta = [&](const test::MessaggioMostrato& m, Risposta r) {
        if (r != Risposta::Riprova) return;
        std::smatch disco;
        if (std::regex_search(m.testo, disco, std::regex(R"(Inserire il (\d+)° disco)"))) {
            unita.Inserisci(std::stoi(disco[1]) - 1);
        } else {
            unita.Inserisci(unita.Inserito() + 1);
        }
    };
    for (int i = 0; i < 6; ++i) interazione_.Rispondi(Risposta::Riprova);
    RichiestaBackup r = Richiesta(true);
    r.floppy = true;
    r.destinazione = "";  // not read for the removable drive
    EXPECT_TRUE(EseguiBackup(r, osservatore_));
    test::TogliVariabile("BVBACKUP_FLOPPY");
    std::vector<std::string> testi;
    for (const auto& m : interazione_.messaggi) testi.push_back(m.titolo + ": " + m.testo);
    const auto nuovo = [&](int disco) {
        return "Disco: " + unita.Cartella() +
               " spazio disco non disponibile. Inserire un nuovo disco e premere Riprova. Sarà il "
               "disco " + std::to_string(disco) + " del backup: annotarlo sull'etichetta.";
    };
    EXPECT_EQ(testi,
              (std::vector<std::string>{nuovo(2), nuovo(3),
                                        "Disco: Inserire un disco per i dati di recupero e premere "
                                        "Riprova. Sarà il disco di recupero del backup: annotarlo "
                                        "sull'etichetta.",
                                        "Verifica: Inserire il 1° disco del backup.",
                                        "Verifica: Inserire il 2° disco del backup.",
                                        "Verifica: Inserire il 3° disco del backup."}));
    // The summary says how many disks to label.
    EXPECT_EQ(osservatore_.risultato.backup.dischi, 3);
    EXPECT_EQ(osservatore_.risultato.backup.dischiRecupero, 1);
    EXPECT_TRUE(test::Esiste(unita.Disco(3) + "/BV20240315.par2"));
    EXPECT_TRUE(osservatore_.risultato.backup.suDischi);
    EXPECT_EQ(Dest(), "<nessuno>");  // the removable drive is never saved
    EXPECT_EQ(VociIn(temp_), 0U);
#endif
}

}  // namespace
}  // namespace bv

namespace bv {
namespace {

// "Floppy A" on a mount point: a disk is there only when a file system is mounted on it.
class FloppySenzaDisco : public Backup {
  protected:
    void SetUp() override {
        Backup::SetUp();
        test::CreaCartelle(floppy_);
        test::ImpostaVariabile("BVBACKUP_FLOPPY", floppy_.c_str());
    }
    void TearDown() override {
        test::TogliVariabile("BVBACKUP_FLOPPY");
        Backup::TearDown();
    }
    RichiestaBackup RichiestaFloppy() {
        RichiestaBackup r = Richiesta(true);
        r.floppy = true;
        r.percentualeRecupero = 0;
        return r;
    }
    std::string floppy_ = t_ / "media/floppy0";
};

TEST_F(FloppySenzaDisco, CartellaVuotaNonEUnDisco) {
#ifdef _WIN32
    GTEST_SKIP() << "unità A: reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh";
#else
    EXPECT_FALSE(EseguiBackup(RichiestaFloppy(), osservatore_));
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::SpazioNonDeterminabile});
    EXPECT_EQ(VociIn(floppy_), 0U);  // nothing written on the hard disk under the mount point
    EXPECT_TRUE(interazione_.messaggi.empty());  // no success, and no prompt for a new disk
#endif
}

TEST_F(FloppySenzaDisco, RicostruzioneDaUnitaVuota) {
#ifdef _WIN32
    GTEST_SKIP() << "unità A: reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh";
#else
    // Files left under the bare mount point (by an older version) are not a disk either.
    test::ScriviFile(floppy_ + "/BV20240315#0", "x");
    test::ScriviFile(floppy_ + "/BV20240315#0.inf", "x");
    ClsSpan s;
    try {
        s.Ricostruisci(floppy_, "BV20240315", temp_ + "/~dati.zip", true);
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), errori::SpazioNonDeterminabile);
        EXPECT_EQ(e.Descrizione(), floppy_ + " impossibile determinare lo spazio disco.");
    }
#endif
}

TEST_F(FloppySenzaDisco, TmpfsMontatoEPoiSmontato) {
#ifdef _WIN32
    GTEST_SKIP() << "tmpfs montato: solo Linux";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "serve root per montare un tmpfs";
    if (::mount("tmpfs", floppy_.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "mount non permesso";
    const bool riuscito = EseguiBackup(RichiestaFloppy(), osservatore_).Riuscito();
    const bool bloccoSulDisco = test::Esiste(floppy_ + "/BV20240315#0");
    ::umount(floppy_.c_str());
    EXPECT_TRUE(riuscito) << (osservatore_.errori.empty() ? 0 : osservatore_.errori[0]);
    EXPECT_TRUE(bloccoSulDisco);
    EXPECT_EQ(VociIn(floppy_), 0U);  // the set went onto the mounted disk, not below it
    EXPECT_FALSE(EseguiBackup(RichiestaFloppy(), osservatore_));
    EXPECT_EQ(osservatore_.errori.back(), errori::SpazioNonDeterminabile);
#endif
}

}  // namespace
}  // namespace bv
