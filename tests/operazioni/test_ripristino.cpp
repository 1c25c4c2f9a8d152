// The restore operation end to end: sets made by the backup, restored into empty, full and
// foreign-file-system data folders, with failures on the way and crafted sets.
#include <fcntl.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <random>
#include <regex>

#include "archive/zippo.h"
#include "operazioni/backup.h"
#include "operazioni/ripristino.h"
#include "operazioni/verifica_set.h"
#include "recupero/errori_recupero.h"
#include "platform/file_reg.h"
#include "platform/impostazioni.h"
#include "sicurezza/nomi_provvisori.h"
#include "tests/operazioni/ambiente_operazioni.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/processo.h"
#include "tests/support/unita_rimovibile.h"
#include "tests/support/variabili.h"
#include "util/errori.h"

namespace bv {
namespace {

namespace fs = std::filesystem;

using test::Registratore;

// Every file below a folder with its content, for comparing folders.
std::map<std::string, std::string> Contenuto(const std::string& cartella) {
    std::map<std::string, std::string> m;
    if (!fs::exists(cartella)) return m;
    for (const auto& e : fs::recursive_directory_iterator(cartella)) {
        const std::string rel = fs::relative(e.path(), cartella).generic_string();  // "/" everywhere
        m[rel] = e.is_regular_file() ? test::LeggiTesto(e.path().string()) : "<cartella>";
    }
    return m;
}

class Ripristino : public test::AmbienteOperazioni {
  protected:
    void SetUp() override {
        AmbienteOperazioni::SetUp();
        test::CreaCartelle(t_ / "host");
        test::CreaCartelle(t_ / "sorgente/dati");
        DocumentoReg reg;
        reg.Imposta("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brelvano.exe",
                    "", t_ / "host/Brelvano.exe");
        reg.Imposta("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    "AppData", t_ / "appdata");
        ImpostaRegistro(reg);
        test::ScriviFile(t_ / "sorgente/dati.mdb", "nuovi dati");
        test::ScriviFile(t_ / "sorgente/dati/logo.bmp", "nuovo logo");
        FaiBackup(t_ / "sorgente/");
    }
    void FaiBackup(const std::string& sorgente) {
        RichiestaBackup b;
        b.destinazione = dest_;
        b.verifica = false;
        b.percorsoDati = sorgente;
        b.cartellaTemp = temp_;
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(b, o));
        interazione_.messaggi.clear();
    }
    Esito Esegui(const RichiestaRipristino& r, bool conferma = true) {
        interazione_.Rispondi(conferma ? Risposta::Si : Risposta::No);
        return EseguiRipristino(r, osservatore_).esito;
    }
    void DatiEsistenti() {
        test::ScriviFile(dati_ + "/dati.mdb", "vecchi dati");
        test::CreaCartelle(dati_ + "/dati");
        test::ScriviFile(dati_ + "/dati/logo.bmp", "vecchio logo");
    }

    Registratore osservatore_;
};

TEST_F(Ripristino, DatabaseSalvatoSenzaCartellaTornaConUnaCartellaVuota) {
    fs::remove_all(t_ / "sorgente/dati");
    FaiBackup(t_ / "sorgente/");
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(Contenuto(dati_), (std::map<std::string, std::string>{{"dati.mdb", "nuovi dati"},
                                                                    {"dati", "<cartella>"}}));
}

TEST_F(Ripristino, EsempioConCopieDiSicurezza) {
    DatiEsistenti();
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(Contenuto(dati_),
              (std::map<std::string, std::string>{{"dati.mdb", "nuovi dati"},
                                                  {"dati", "<cartella>"},
                                                  {"dati/logo.bmp", "nuovo logo"},
                                                  {"dati.mdb.cfb000", "vecchi dati"},
                                                  {"dati.cfb000", "<cartella>"},
                                                  {"dati.cfb000/logo.bmp", "vecchio logo"}}));
    ASSERT_EQ(interazione_.messaggi.size(), 1U);
    EXPECT_EQ(interazione_.messaggi[0].testo,
              "Si desidera realmente procedere con il ripristino del backup 15/03/2024?\n\nI "
              "database attuali saranno conservati come copie di sicurezza (.cfb) accanto a "
              "quelli ripristinati.");
    EXPECT_EQ(interazione_.messaggi[0].titolo, "Ripristino");
    EXPECT_EQ(interazione_.messaggi[0].icona, Icona::Domanda);
    EXPECT_EQ(interazione_.messaggi[0].pulsanti, Pulsanti::SiNo);
    // The summary: what was replaced, under which names the old files are kept, their room.
    const RiepilogoRipristino& riepilogo = osservatore_.risultato.ripristino;
    ASSERT_EQ(riepilogo.database.size(), 1U);
    EXPECT_EQ(riepilogo.database[0].database, "dati.mdb");
    EXPECT_EQ(riepilogo.database[0].copiaDatabase, "dati.mdb.cfb000");
    EXPECT_EQ(riepilogo.database[0].copiaCartella, "dati.cfb000");
    EXPECT_EQ(riepilogo.byteCopie, std::string("vecchi dati").size() + std::string("vecchio logo").size());
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Orig"), dest_);
    EXPECT_EQ(VociIn(temp_), 0U);

    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.mdb.cfb001"), "nuovi dati");
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.cfb001/logo.bmp"), "nuovo logo");
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.mdb.cfb000"), "vecchi dati");
}

// A set the backup calls complete restores, past 2 GB of data: two databases of 1.1 GB (one of
// them spread over its companion file too) compress to a few MB.
TEST_F(Ripristino, OltreDueGigaDiDatiCompressiBene) {
    BV_SOLO_POSIX("file sparsi di 1 GB: sotto Wine la scrittura dei 2 GB ripristinati e' lenta");
    constexpr uint64_t kGiga = 1100ULL * 1000 * 1000;
    const std::string grande = t_ / "grande";
    const auto sparso = [](const std::string& p, uint64_t n, const std::string& coda) {
        test::CreaCartelle(std::filesystem::path(p).parent_path().string());
        test::ScriviFile(p, "");
        std::filesystem::resize_file(p, n - coda.size());
        std::ofstream(p, std::ios::binary | std::ios::app) << coda;
    };
    sparso(grande + "/uno.mdb", kGiga, "fine di uno");
    sparso(grande + "/due.mdb", kGiga / 2, "fine di due");
    sparso(grande + "/due/allegato.bin", kGiga / 2 + 1, "fine dell'allegato");
    test::CreaCartelle(grande + "/uno");
    for (const auto& v : FsDiSistema().Elenca(dest_)) std::filesystem::remove(dest_ + "/" + v.nome);
    {
        RichiestaBackup b;
        b.destinazione = dest_;
        b.verifica = true;
        b.percorsoDati = grande + "/";
        b.cartellaTemp = temp_;
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(b, o));
    }
    ASSERT_EQ(Esegui(Richiesta()), Esito::Completato) << ::testing::PrintToString(osservatore_.errori);
    const auto coda = [](const std::string& p, size_t n) {
        std::ifstream f(p, std::ios::binary);
        f.seekg(-static_cast<std::streamoff>(n), std::ios::end);
        std::string s(n, '\0');
        f.read(s.data(), static_cast<std::streamsize>(n));
        return s;
    };
    EXPECT_EQ(std::filesystem::file_size(dati_ + "/uno.mdb"), kGiga);
    EXPECT_EQ(coda(dati_ + "/uno.mdb", 11), "fine di uno");
    EXPECT_EQ(std::filesystem::file_size(dati_ + "/due/allegato.bin"), kGiga / 2 + 1);
    EXPECT_EQ(coda(dati_ + "/due/allegato.bin", 18), "fine dell'allegato");
    EXPECT_EQ(VociIn(temp_), 0U);
}

// A data folder on a FAT volume cut off right after the restore: each restored file and each
// safety copy holds its data (the renamed names were flushed).
TEST_F(Ripristino, SuFatIntegroDopoUnTaglioDiCorrente) {
    DatiEsistenti();
    {
        test::FsGuasto fs;
        fs.comeFat = true;
        ASSERT_EQ(Esegui(Richiesta()), Esito::Completato);
        fs.TagliaCorrente();
    }
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.mdb"), "nuovi dati");
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati/logo.bmp"), "nuovo logo");
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.mdb.cfb000"), "vecchi dati");
}

TEST_F(Ripristino, CartellaDatiVuotaNessunaCopia) {
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(
        Contenuto(dati_),
        (std::map<std::string, std::string>{
            {"dati.mdb", "nuovi dati"}, {"dati", "<cartella>"}, {"dati/logo.bmp", "nuovo logo"}}));
}

TEST_F(Ripristino, MaiuscoleComeSuWindows) {
    fs::remove_all(t_ / "sorgente");
    fs::remove_all(dest_);
    test::CreaCartelle(dest_);
    test::CreaCartelle(t_ / "sorgente/Archivio");
    test::ScriviFile(t_ / "sorgente/Archivio.MDB", "nuovo");
    test::ScriviFile(t_ / "sorgente/Archivio/x.txt", "x nuovo");
    FaiBackup(t_ / "sorgente/");
    test::ScriviFile(dati_ + "/archivio.mdb", "vecchio");
    test::CreaCartelle(dati_ + "/archivio");
    test::ScriviFile(dati_ + "/archivio/x.txt", "x vecchio");
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    // The names stay as they were, letter case included: the host and the next backup
    // find the same database and folder as before.
    EXPECT_EQ(Contenuto(dati_),
              (std::map<std::string, std::string>{{"archivio.mdb", "nuovo"},
                                                  {"archivio", "<cartella>"},
                                                  {"archivio/x.txt", "x nuovo"},
                                                  {"archivio.mdb.cfb000", "vecchio"},
                                                  {"archivio.cfb000", "<cartella>"},
                                                  {"archivio.cfb000/x.txt", "x vecchio"}}));
}

TEST_F(Ripristino, CartellaCompagnaInMinuscoloRestaTale) {
    // As the demo data: Magazzino.mdb beside the folder magazzino.
    fs::remove_all(t_ / "sorgente");
    fs::remove_all(dest_);
    test::CreaCartelle(dest_);
    test::CreaCartelle(t_ / "sorgente/magazzino");
    test::ScriviFile(t_ / "sorgente/Magazzino.mdb", "nuovo");
    test::ScriviFile(t_ / "sorgente/magazzino/doc.pdf", "doc nuovo");
    FaiBackup(t_ / "sorgente/");
    test::ScriviFile(dati_ + "/Magazzino.mdb", "vecchio");
    test::CreaCartelle(dati_ + "/magazzino");
    test::ScriviFile(dati_ + "/magazzino/doc.pdf", "doc vecchio");
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(Contenuto(dati_),
              (std::map<std::string, std::string>{{"Magazzino.mdb", "nuovo"},
                                                  {"magazzino", "<cartella>"},
                                                  {"magazzino/doc.pdf", "doc nuovo"},
                                                  {"Magazzino.mdb.cfb000", "vecchio"},
                                                  {"magazzino.cfb000", "<cartella>"},
                                                  {"magazzino.cfb000/doc.pdf", "doc vecchio"}}));
}

TEST_F(Ripristino, CartellaCompagnaConLaRegolaDelBackup) {
    // "x.mdb.mdb": the backup takes the folder "x", so the restore puts the files there.
    fs::remove_all(t_ / "sorgente");
    fs::remove_all(dest_);
    test::CreaCartelle(dest_);
    test::CreaCartelle(t_ / "sorgente/x");
    test::ScriviFile(t_ / "sorgente/x.mdb.mdb", "db");
    test::ScriviFile(t_ / "sorgente/x/f.txt", "f");
    FaiBackup(t_ / "sorgente/");
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(Contenuto(dati_), (std::map<std::string, std::string>{
                                    {"x.mdb.mdb", "db"}, {"x", "<cartella>"}, {"x/f.txt", "f"}}));
}

TEST_F(Ripristino, CartellaOrfanaPrendeUnNomeLibero) {
    test::CreaCartelle(dati_ + "/dati");
    test::ScriviFile(dati_ + "/dati/vecchio.txt", "orfano");
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.cfb000/vecchio.txt"), "orfano");
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati/logo.bmp"), "nuovo logo");
}

TEST_F(Ripristino, RispostaNoNonToccaNulla) {
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    EXPECT_EQ(Esegui(Richiesta(), false), Esito::Rinunciato);
    EXPECT_EQ(Contenuto(dati_), prima);
    EXPECT_TRUE(osservatore_.eventi.empty());
    EXPECT_EQ(LeggiImpostazione("KO_BVBackup", "Backup", "Orig", "<nessuno>"), "<nessuno>");
}

TEST_F(Ripristino, SenzaDatiNotiLaCartellaNasceAncheConNo) {
    RichiestaRipristino r = Richiesta();
    r.datiNonPresenti = true;
    r.percorsoDati.clear();
    EXPECT_EQ(Esegui(r, false), Esito::Rinunciato);
    const std::string attesa = t_ / "appdata/KoBrelvano/DATI/";
    EXPECT_EQ(osservatore_.datiCreati, attesa);
    EXPECT_TRUE(fs::is_directory(attesa));
    EXPECT_EQ(LeggiImpostazione("KO_Brelvano", "CartellaDati", "Path"), attesa);
}

struct CasoErrore {
    const char* nome;
    int32_t numero;
    std::function<void(RichiestaRipristino&, const std::string& t)> prepara;
    bool domanda;  // the confirmation comes before the error
};

class ErroriRipristino : public Ripristino, public ::testing::WithParamInterface<CasoErrore> {};

TEST_P(ErroriRipristino, NienteCambiato) {
    if (std::string(GetParam().nome) == "installazione_non_scrivibile")
        BV_SOLO_POSIX("permessi POSIX (chmod) sulla cartella del programma");
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    RichiestaRipristino r = Richiesta();
    GetParam().prepara(r, t_.Percorso());
    if (GetParam().domanda) interazione_.Rispondi(Risposta::Si);
    EXPECT_EQ(EseguiRipristino(r, osservatore_), Esito::Fallito);
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{GetParam().numero});
    EXPECT_EQ(interazione_.messaggi.size(), GetParam().domanda ? 1U : 0U);
    EXPECT_EQ(Contenuto(dati_), prima);
    EXPECT_EQ(VociIn(temp_), 0U);  // no work folder left behind
}

INSTANTIATE_TEST_SUITE_P(
    Casi, ErroriRipristino,
    ::testing::Values(CasoErrore{"non_installato", errori::HostNonInstallato,
                                 [](auto& r, auto&) { r.nonInstallato = true; }, false},
                      CasoErrore{"nessuna_selezione", errori::SelezionareUnBackup,
                                 [](auto& r, auto&) { r.nomeSet.clear(); }, false},
                      CasoErrore{"origine_rimossa", errori::DestinazioneNonValida,
                                 [](auto& r, auto&) { fs::remove_all(r.origine); }, false},
                      CasoErrore{"installazione_non_scrivibile", errori::AccessoNegato,
                                 [](auto&, const std::string& t) { fs::remove_all(t + "/host"); },
                                 false},
                      CasoErrore{"dati_su_un_file", errori::DestinazioneNonValida,
                                 [](auto& r, auto&) { r.percorsoDati += "dati.mdb"; }, true},
                      CasoErrore{"set_mancante", errori::BackupNonTrovato,
                                 [](auto& r, auto&) {
                                     for (const auto& e : fs::directory_iterator(r.origine))
                                         fs::remove(e.path());
                                     test::ScriviFile(r.origine + "/altro.txt", "x");
                                 },
                                 true}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Ripristino, DatabaseApertoPrimaDiOgniModifica) {
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    {
        test::ProcessoCheTieneAperto host(dati_ + "/dati.mdb", O_RDWR);
        EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    }
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::InEsecuzione});
    EXPECT_EQ(Contenuto(dati_), prima);
}

TEST_F(Ripristino, SpazioInsufficiente) {
    BV_SOLO_POSIX("spazio libero simulato per percorsi POSIX");
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    test::FsGuasto guasto;
    guasto.spazio = [this](const std::string& p) {
        return p.starts_with(dati_) ? 5 : FsDiSistema().SpazioLibero(p);
    };
    EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::SpazioInsufficiente});
    EXPECT_EQ(Contenuto(dati_), prima);
    EXPECT_EQ(VociIn(temp_), 0U);  // the temporary folder is gone
}

TEST_F(Ripristino, SpostamentoFallitoRimetteLaCopiaDiSicurezza) {
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    test::FsGuasto guasto;
    guasto.erroreRinomina = [](const std::string& da, const std::string&) {
        return da.ends_with("dati_logo.bmp") ? EIO : 0;
    };
    EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{57});
    EXPECT_EQ(Contenuto(dati_), prima);
    EXPECT_EQ(VociIn(temp_), 0U);
}

TEST_F(Ripristino, CartellaDatiSuUnAltroFileSystem) {
    DatiEsistenti();
    test::FsGuasto guasto;
    // What the kernel says when a rename crosses file systems.
    guasto.erroreRinomina = [this](const std::string& da, const std::string& a) {
        return da.starts_with(temp_) && a.starts_with(dati_) ? EXDEV : 0;
    };
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.mdb"), "nuovi dati");
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati/logo.bmp"), "nuovo logo");
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.mdb.cfb000"), "vecchi dati");
    EXPECT_EQ(VociIn(temp_), 0U);
}

TEST_F(Ripristino, CartellaDatiSuTmpfsReale) {
#ifdef _WIN32
    GTEST_SKIP() << "tmpfs montato: solo Linux";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "serve root per montare un tmpfs";
    if (::mount("tmpfs", dati_.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "mount non permesso";
    DatiEsistenti();
    EXPECT_EQ(Esegui(Richiesta()), Esito::Completato);
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati/logo.bmp"), "nuovo logo");
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.cfb000/logo.bmp"), "vecchio logo");
    ::umount(dati_.c_str());
#endif
}

// Three data disks and a disk of recovery data; the restore with the disks the user says are
// missing or unreadable.
struct CasoDischiPersi {
    const char* nome;
    std::vector<int> persi;  // 0-based data disks
    bool riesce;
    int illeggibile = -1;  // a data disk whose block gives a read error in the restore
    std::vector<int> Danneggiati() const {
        std::vector<int> d = persi;
        if (illeggibile >= 0) d.push_back(illeggibile);
        return d;
    }
};

class DischiPersi : public Ripristino, public ::testing::WithParamInterface<CasoDischiPersi> {};

TEST_P(DischiPersi, RipristinoConIDischiRimasti) {
#ifdef _WIN32
    GTEST_SKIP() << "unità A: reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh";
#else
    const CasoDischiPersi& caso = GetParam();
    fs::remove_all(dest_);
    test::FsGuasto guasto;
    test::UnitaRimovibile unita(t_ / "floppy", t_ / "dischi", 1457664, 4);
    unita.Collega(guasto);
    std::mt19937 gen(9);
    std::string rumore(3000000, '\0');
    for (char& ch : rumore) ch = static_cast<char>(gen());
    test::ScriviFile(t_ / "sorgente/dati.mdb", rumore);
    const std::string prima = test::LeggiTesto(dati_ + "/dati.mdb");
    // Disk prompts answered by inserting the disk they name; in the restore a lost disk is
    // said missing.
    bool ripristino = false;
    guasto.erroreApertura = [&](const std::string& p, ModoApertura modo) {
        return ripristino && modo == ModoApertura::Lettura && unita.Inserito() == caso.illeggibile &&
                       p.ends_with("BV20240315#" + std::to_string(caso.illeggibile))
                   ? EIO
                   : 0;
    };
    interazione_.risponditore = [&](const test::MessaggioMostrato& m) {
        std::smatch d;
        if (m.testo.find("non si legge (") != std::string::npos) return Risposta::Mancante;
        if (m.testo.find("un altro disco di recupero") != std::string::npos) return Risposta::Annulla;
        if (m.testo.find("disco di recupero") != std::string::npos) {
            unita.Inserisci(3);
        } else if (std::regex_search(m.testo, d, std::regex(R"(Inserire il (\d+)° disco)"))) {
            const int k = std::stoi(d[1]) - 1;
            if (ripristino && std::find(caso.persi.begin(), caso.persi.end(), k) != caso.persi.end())
                return Risposta::Mancante;
            unita.Inserisci(k);
        } else if (m.pulsanti == Pulsanti::SiNo) {
            return Risposta::Si;
        } else {
            unita.Inserisci(unita.Inserito() + 1);
        }
        return Risposta::Riprova;
    };
    test::ImpostaVariabile("BVBACKUP_FLOPPY", unita.Cartella().c_str());
    RichiestaBackup b;
    b.floppy = true;
    b.verifica = true;
    b.percorsoDati = t_ / "sorgente/";
    b.cartellaTemp = temp_;
    test::Registratore ob;
    ASSERT_TRUE(EseguiBackup(b, ob)) << ::testing::PrintToString(ob.errori);
    EXPECT_EQ(ob.risultato.backup.dischi, 3);
    EXPECT_EQ(ob.risultato.backup.dischiRecupero, 1);
    if (!test::kSuWindows && fs::exists("/usr/bin/par2")) {
        // Debian's par2 takes the disks' files side by side as one set.
        const std::string tutti = t_ / "tutti";
        test::CreaCartelle(tutti);
        unita.Inserisci(-1);
        for (int k = 0; k < 4; ++k)
            for (const auto& e : fs::directory_iterator(unita.Disco(k)))
                fs::copy_file(e.path(), tutti + "/" + e.path().filename().string());
        EXPECT_EQ(std::system(("cd '" + tutti + "' && par2 verify -q BV20240315.vol*.par2 >/dev/null 2>&1").c_str()), 0);
    }
    interazione_.messaggi.clear();
    ripristino = true;
    unita.Inserisci(caso.persi.empty() || caso.persi.front() != 0 ? 0 : 1);  // where the list is read
    dest_ = unita.Cartella();
    const Esito esito = EseguiRipristino(Richiesta(), osservatore_).esito;
    if (caso.riesce) {
        ASSERT_EQ(esito, Esito::Completato) << osservatore_.risultato.errore->Descrizione() << " "
                                            << osservatore_.risultato.errore->Dettaglio();
        EXPECT_TRUE(test::LeggiTesto(dati_ + "/dati.mdb") == rumore);
        std::vector<std::string> avvisi;
        for (int k : caso.Danneggiati())
            avvisi.push_back("Il blocco #" + std::to_string(k) +
                             " era danneggiato ed è stato ricostruito con i dati di recupero.");
        EXPECT_EQ(osservatore_.risultato.avvisi, avvisi);
    } else {
        EXPECT_EQ(esito, Esito::Fallito);
        EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{recupero::ErrRecuperoInsufficiente});
        EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.mdb"), prima);
    }
    // Every data disk's prompt offers the missing disk.
    for (const auto& m : interazione_.messaggi)
        if (m.testo.find("Inserire il ") == 0) {
            EXPECT_EQ(m.pulsanti, Pulsanti::RiprovaMancanteAnnulla);
        }
    // The verification of the set with the same disks says what a restore could rebuild.
    unita.Inserisci(caso.persi.empty() || caso.persi.front() != 0 ? 0 : 1);
    RichiestaVerifica rv;
    rv.origine = unita.Cartella();
    rv.nomeSet = "BV20240315";
    rv.cartellaTemp = temp_;
    test::Registratore ov;
    const Risultato v = EseguiVerifica(rv, ov);
    ASSERT_EQ(v.esito, Esito::Completato) << ::testing::PrintToString(ov.errori);
    EXPECT_EQ(v.verifica.stato, caso.Danneggiati().empty() ? StatoSet::Integro
                                : caso.riesce      ? StatoSet::Riparabile
                                                   : StatoSet::NonRiparabile);
    EXPECT_EQ(v.verifica.blocchi, caso.Danneggiati());
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Ripristino, DischiPersi,
    ::testing::Values(CasoDischiPersi{"nessuno", {}, true}, CasoDischiPersi{"primo", {0}, true},
                      CasoDischiPersi{"secondo", {1}, true}, CasoDischiPersi{"ultimo", {2}, true},
                      CasoDischiPersi{"due", {0, 2}, false},
                      CasoDischiPersi{"illeggibile", {}, true, 1}),
    [](const ::testing::TestParamInfo<CasoDischiPersi>& i) { return std::string(i.param.nome); });

TEST_F(Ripristino, SetArtefattoNonScriveFuori) {
    // A set whose archive holds a member that climbs out of the temporary folder.
    fs::remove_all(dest_);
    test::CreaCartelle(dest_);
    const std::string zip = t_ / "artefatto.zip";
    {
        int e = 0;
        zip_t* z = zip_open(zip.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &e);
        static const std::string dati = "innocuo";
        static const std::string cattivo = "sovrascritto";
        zip_file_add(z, "dati.mdb", zip_source_buffer(z, dati.data(), dati.size(), 0),
                     ZIP_FL_ENC_RAW);
        zip_file_add(z, "../../../dati/dati.mdb",
                     zip_source_buffer(z, cattivo.data(), cattivo.size(), 0), ZIP_FL_ENC_RAW);
        ASSERT_EQ(zip_close(z), 0);
    }
    {
        ClsSpan s;
        s.filename(zip);
        s.CaricaMemoria();
        s.Span(dest_, "BV20240315");
    }
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::Compressione});
    EXPECT_EQ(Contenuto(dati_), prima);
    EXPECT_FALSE(test::Esiste(t_ / "dati.mdb"));
    EXPECT_FALSE(test::Esiste(programma_ + "/dati.mdb"));
}

TEST_F(Ripristino, ArchivioDanneggiatoNelLogSenzaSeparatoriDoppi) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    // Same length, other bytes: the blocks pass their checks, the extraction fails on the CRC
    // (no recovery files to rebuild the block from).
    for (const auto& e : fs::directory_iterator(dest_))
        if (e.path().string().ends_with(".par2")) fs::remove(e.path());
    const std::string blocco = dest_ + "/BV20240315#0";
    std::string d = test::LeggiTesto(blocco);
    const size_t dentro = 30 + std::string("dati.mdb").size() + 2;  // in the first member's data
    ASSERT_GT(d.size(), dentro);
    d[dentro] = static_cast<char>(d[dentro] ^ 0x55);
    test::ScriviFile(blocco, d);
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::Compressione});
    EXPECT_EQ(Contenuto(dati_), prima);
    EXPECT_EQ(VociIn(temp_), 0U);
    const std::string log = test::LeggiTesto(koUtilita::FileLog());
    EXPECT_TRUE(std::regex_search(log, std::regex(temp_ + "/[0-9]+/~dati\\.zip"))) << log;
    EXPECT_EQ(log.find("//"), std::string::npos) << log;
}

// Crafted sets: an archive of our choosing split into the origin folder.
class SetArtefatto : public Ripristino {
  protected:
    void Scrivi(const std::vector<std::pair<std::string, std::string>>& membri,
                const std::function<void(std::string&)>& ritocca = {}) {
        fs::remove_all(dest_);
        test::CreaCartelle(dest_);
        const std::string zip = t_ / "artefatto.zip";
        {
            int e = 0;
            zip_t* z = zip_open(zip.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &e);
            for (const auto& [nome, dati] : membri) {
                zip_file_add(z, nome.c_str(), zip_source_buffer(z, dati.data(), dati.size(), 0),
                             ZIP_FL_ENC_RAW);
            }
            ASSERT_EQ(zip_close(z), 0);
        }
        if (ritocca) {
            std::string d = test::LeggiTesto(zip);
            ritocca(d);
            test::ScriviFile(zip, d);
        }
        ClsSpan s;
        s.filename(zip);
        s.CaricaMemoria();
        s.Span(dest_, "BV20240315");
    }
    // Declares 3 GiB for the first member, in its local header and in the central directory.
    static void TreGiga(std::string& d) {
        const auto scrivi = [&d](size_t p) {
            d[p] = 0;
            d[p + 1] = 0;
            d[p + 2] = 0;
            d[p + 3] = static_cast<char>(0xC0);
        };
        scrivi(22);
        scrivi(d.find("PK\x01\x02") + 24);
    }
};

TEST_F(SetArtefatto, SenzaDatabaseNonRipristinaNulla) {
    Scrivi({{"leggimi.txt", "nessun database qui"}});
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::NessunDato});
    EXPECT_EQ(Contenuto(dati_), prima);
    EXPECT_EQ(VociIn(temp_), 0U);
}

TEST_F(SetArtefatto, ArchivioVuoto) {
    // An archive with no member is its end record alone.
    Scrivi({{"x", "x"}},
           [](std::string& d) { d = std::string("PK\x05\x06", 4) + std::string(18, '\0'); });
    EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    ASSERT_EQ(osservatore_.errori.size(), 1U);
    EXPECT_NE(osservatore_.errori[0], 0);
    EXPECT_EQ(VociIn(temp_), 0U);
}

TEST_F(SetArtefatto, BombaFermataPrimaDiEstrarre) {
    Scrivi({{"dati.mdb", std::string(100000, 'z')}}, &TreGiga);
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    test::FsGuasto guasto;
    guasto.registraLetture = true;
    // The guard is the room in the temporary folder (sizes past 2 GB are no error by
    // themselves): 2 GB free there for a set that declares 3.
    guasto.spazio = [this](const std::string& p) {
        return p.starts_with(temp_) ? 2147483648 : FsDiSistema().SpazioLibero(p);
    };
    EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::SpazioInsufficiente});
    EXPECT_EQ(Contenuto(dati_), prima);
    EXPECT_EQ(VociIn(temp_), 0U);
    for (const std::string& l : guasto.letture)  // nothing was inflated
        EXPECT_EQ(l.find("/dati.mdb"), std::string::npos) << l;
}

TEST_F(SetArtefatto, SpazioTemporaneoControllatoPrimaDiEstrarre) {
    Scrivi({{"dati.mdb", std::string(100000, 'z')}});
    DatiEsistenti();
    test::FsGuasto guasto;
    guasto.spazio = [this](const std::string& p) {
        return p.starts_with(temp_) ? 50000 : FsDiSistema().SpazioLibero(p);
    };
    EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
    EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::SpazioInsufficiente});
    EXPECT_EQ(VociIn(temp_), 0U);
}

// A member this system cannot hold, or two names of one file, are named before anything is
// extracted, on screen and in the log; the data folder stays as it was.
TEST_F(SetArtefatto, MembriRifiutatiDettiPrimaDiEstrarre) {
    struct Caso {
        std::vector<std::pair<std::string, std::string>> membri;
        std::string motivo;
    };
    const std::vector<Caso> casi = {
        {{{"dati.mdb", "x"}, {"aux.txt", "un nome di dispositivo"}},
         "aux.txt: nome riservato a un dispositivo"},
        {{{"anagrafe.mdb", "uno"}, {"ANAGRAFE.MDB", "due"}},
         "ANAGRAFE.MDB e anagrafe.mdb: nomi uguali a meno di maiuscole"},
        // Spelt otherwise, the crafted member would silently take the genuine one's place.
        {{{"anagrafe.mdb", "vero"}, {"./anagrafe.mdb", "artefatto"}},
         "./anagrafe.mdb e anagrafe.mdb: nomi dello stesso file"},
        {{{"anagrafe.mdb", "vero"}, {".//anagrafe.mdb", "artefatto"}},
         ".//anagrafe.mdb e anagrafe.mdb: nomi dello stesso file"},
        {{{"anagrafe.mdb", "vero"}, {"anagrafe_x.txt ", "x"}},
         "anagrafe_x.txt : un nome inizia o finisce con uno spazio, o finisce con un punto"},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.motivo);
        osservatore_.Azzera();
        Scrivi(c.membri);
        DatiEsistenti();
        test::ScriviFile(dati_ + "/anagrafe.mdb", "vecchia anagrafe");
        const auto prima = Contenuto(dati_);
        EXPECT_EQ(Esegui(Richiesta()), Esito::Fallito);
        EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{errori::Compressione});
        EXPECT_EQ(Contenuto(dati_), prima);
        EXPECT_EQ(VociIn(temp_), 0U);
        EXPECT_EQ(osservatore_.testiErrori.size(), 1U);
        if (osservatore_.testiErrori.size() != 1U) continue;
        EXPECT_EQ(osservatore_.testiErrori[0],
                  "Il backup non può essere ripristinato su questo sistema: " + c.motivo +
                      ". I dati non sono stati modificati.");
        EXPECT_NE(osservatore_.dettagli[0].find(c.motivo), std::string::npos)
            << osservatore_.dettagli[0];
    }
}

// Two backups of one day: same names, different runs. Their blocks must not be mixed.
TEST_F(Ripristino, BlocchiDiDueBackupDelloStessoGiornoInUnaCartella) {
    BV_SOLO_POSIX("percorsi POSIX ('/') nel confronto; su Windows li coprono tests/windows");
    const auto set = [this](const std::string& cartella, int ora) {
        ImpostaOrologio([ora] { return DataOra{2024, 3, 15, ora, 0, 0}; });
        ClsSpan s;
        test::ScriviFile(t_ / "a.zip", std::string(30000, static_cast<char>('a' + ora % 20)));
        s.filename(t_ / "a.zip");
        s.CaricaMemoria();
        test::FsGuasto g;
        g.spazio = [cartella](const std::string& p) {
            return p.starts_with(cartella) ? 25000 : FsDiSistema().SpazioLibero(p);
        };
        test::CreaCartelle(cartella);
        s.Span(cartella, "BV20240315");
    };
    set(t_ / "mattina", 9);
    set(t_ / "sera", 18);
    fs::copy_file(t_ / "sera/BV20240315#1", t_ / "mattina/BV20240315#1",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(t_ / "sera/BV20240315#1.inf", t_ / "mattina/BV20240315#1.inf",
                  fs::copy_options::overwrite_existing);
    ClsSpan r;
    try {
        r.Ricostruisci(t_ / "mattina", "BV20240315", t_ / "x.zip", false);
        ADD_FAILURE();
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), errori::BackupDiversi);
    }
    EXPECT_FALSE(test::Esiste(t_ / "x.zip"));
}

TEST_F(Ripristino, DiscoDiUnAltroBackupRifiutatoERichiesto) {
#ifdef _WIN32
    GTEST_SKIP() << "unità A: reale su Windows: i casi del dischetto sono in tests/windows/e2e.sh";
#else
    test::FsGuasto guasto;
    test::UnitaRimovibile unita(t_ / "floppy", t_ / "dischi", 1457664, 3);
    unita.Collega(guasto);
    test::ImpostaVariabile("BVBACKUP_FLOPPY", unita.Cartella().c_str());
    std::mt19937 gen(4);
    std::string rumore(2000000, '\0');
    for (char& ch : rumore) ch = static_cast<char>(gen());
    test::ScriviFile(t_ / "a.zip", rumore);
    // Disk 2 of this morning's run, kept aside; then the evening's run on the same disks.
    const auto scrivi = [&](int ora) {
        ImpostaOrologio([ora] { return DataOra{2024, 3, 15, ora, 0, 0}; });
        unita.Inserisci(0);
        ClsSpan s;
        s.filename(t_ / "a.zip");
        s.CaricaMemoria();
        interazione_.allaRisposta = [&](const test::MessaggioMostrato&, Risposta r) {
            if (r == Risposta::Riprova) unita.Inserisci(unita.Inserito() + 1);
        };
        interazione_.Rispondi(Risposta::Riprova);
        s.Span(unita.Cartella() + "/", "BV20240315");
    };
    scrivi(9);
    unita.Inserisci(0);  // the morning's second disk becomes the third; the first two are reused
    for (const auto& e : fs::directory_iterator(unita.Disco(1)))
        fs::rename(e.path(), unita.Disco(2) + "/" + e.path().filename().string());
    for (const auto& e : fs::directory_iterator(unita.Cartella())) fs::remove(e.path());
    scrivi(18);
    // The restore: disk 2 of the morning first, then the right one.
    unita.Inserisci(0);
    interazione_.messaggi.clear();
    int passo = 0;
    interazione_.allaRisposta = [&](const test::MessaggioMostrato&, Risposta) {
        // "Inserire il 2° disco": the morning's disk goes in first, then the right one.
        unita.Inserisci(++passo == 1 ? 2 : 1);
    };
    interazione_.Rispondi(Risposta::Riprova);
    interazione_.Rispondi(Risposta::Riprova);
    ClsSpan r;
    r.Ricostruisci(unita.Cartella(), "BV20240315", t_ / "x.zip", false);
    EXPECT_TRUE(test::LeggiTesto(t_ / "x.zip") == rumore);
    std::vector<std::string> testi;
    for (const auto& m : interazione_.messaggi) testi.push_back(m.testo);
    EXPECT_EQ(testi, (std::vector<std::string>{
                         "Inserire il 2° disco del backup.",
                         "Il disco inserito appartiene a un altro backup. Inserire il 2° disco "
                         "del backup."}));
    test::TogliVariabile("BVBACKUP_FLOPPY");
#endif
}

TEST_F(Ripristino, LaBarraAvanzaDuranteLaDecompressione) {
    // A database of a few megabytes of varied content: it is inflated in several pieces.
    std::string grande(12U << 20, '\0');
    uint32_t x = 7;
    for (char& c : grande) c = static_cast<char>((x = x * 1103515245U + 12345U) >> 24);
    test::ScriviFile(t_ / "sorgente/dati.mdb", grande);
    FaiBackup(t_ / "sorgente/");
    // A slow disk under the work folder: the extraction lasts long enough to be seen.
    test::FsGuasto lento;
    lento.prima = [this](const char* op, const std::string& p) {
        if (p.starts_with(temp_) && std::string(op).find("write") != std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        return 0;
    };
    ASSERT_EQ(Esegui(Richiesta()), Esito::Completato);
    const auto& a = osservatore_.avanzamenti;
    EXPECT_TRUE(std::any_of(a.begin(), a.end(), [](double v) { return v > 50 && v < 75; }))
        << "la barra ferma al 50% durante la decompressione";
    EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
}

TEST(NomeLibero, NumeriATreCifreEPoiTutte) {
    test::CartellaTemp t;
    const std::string db = t / "dati.mdb";
    EXPECT_EQ(nomi::NomeLibero(db, "cfb"), db + ".cfb000");
    test::ScriviFile(db + ".cfb000", "");
    test::CreaCartelle(db + ".cfb001");  // a folder takes the name too
    EXPECT_EQ(nomi::NomeLibero(db, ".cfb"), db + ".cfb002");
}

// A set of three blocks with recovery data for half its bytes (a block is 16 slices of
// them): a block missing, cut short or with a byte changed is rebuilt in the work folder (the
// origin only read) and the user told; damage beyond the recovery data is refused with the
// data untouched; damaged recovery files beside whole blocks change nothing; recovery files
// made by Debian's par2, and the copy its repair leaves ("#1.1"), are taken as they are.
enum class Esame { Riparato, Rifiutato, Intatto };
struct CasoRecupero {
    const char* nome;
    std::function<void(const std::string& dest)> guasta;
    Esame esito;
    bool conPar2 = false;  // needs Debian's par2
};

class RecuperoNelRipristino : public Ripristino, public ::testing::WithParamInterface<CasoRecupero> {};

void Guasta(const std::string& p, int come) {
    if (come == 0) fs::remove(p);
    if (come == 1) fs::resize_file(p, fs::file_size(p) / 2);
    if (come == 2) {
        std::string d = test::LeggiTesto(p);
        d[d.size() / 3] = static_cast<char>(~d[d.size() / 3]);
        test::ScriviFile(p, d);
    }
}

int Par2(const std::string& dest, const std::string& comando) {
    return std::system(("cd '" + dest + "' && par2 " + comando + " >/dev/null 2>&1").c_str());
}

TEST_P(RecuperoNelRipristino, BloccoRicostruitoORifiutato) {
    BV_SOLO_POSIX("il par2 di Debian, e un file system con spazio finto");
    if (GetParam().conPar2 && !fs::exists("/usr/bin/par2")) GTEST_SKIP() << "par2 non installato";
    std::mt19937 gen(7);
    std::string dati(400000, '\0');
    for (char& c : dati) c = static_cast<char>(gen());
    test::ScriviFile(t_ / "sorgente/dati.mdb", dati);
    for (const auto& e : fs::directory_iterator(dest_)) fs::remove(e.path());
    {
        // A drive that takes 200 KB a block (as the removable one: a fixed folder without room
        // refuses the set): three blocks in the folder.
        test::FsGuasto guasto;
        test::ImpostaVariabile("BVBACKUP_FLOPPY", dest_);
        guasto.spazio = [this](const std::string& p) {
            return p.starts_with(dest_) ? 200000 : FsDiSistema().SpazioLibero(p);
        };
        RichiestaBackup b;
        b.destinazione = dest_;
        b.verifica = false;
        b.percorsoDati = t_ / "sorgente/";
        b.cartellaTemp = temp_;
        b.percentualeRecupero = 50;
        test::Registratore o;
        const bool riuscito = EseguiBackup(b, o).Riuscito();
        test::TogliVariabile("BVBACKUP_FLOPPY");
        ASSERT_TRUE(riuscito);
    }
    ASSERT_TRUE(fs::exists(dest_ + "/BV20240315#2"));
    GetParam().guasta(dest_);
    DatiEsistenti();
    const auto prima = Contenuto(dati_);
    const auto origine = Contenuto(dest_);
    const Esito esito = Esegui(Richiesta());
    EXPECT_EQ(Contenuto(dest_), origine);  // the origin only read
    EXPECT_EQ(VociIn(temp_), 0U);
    if (GetParam().esito == Esame::Rifiutato) {
        EXPECT_EQ(esito, Esito::Fallito);
        EXPECT_EQ(osservatore_.errori, std::vector<int32_t>{recupero::ErrRecuperoInsufficiente});
        ASSERT_EQ(osservatore_.testiErrori.size(), 1U);
        EXPECT_NE(osservatore_.testiErrori[0].find("ne mancano"), std::string::npos);
        EXPECT_TRUE(osservatore_.testiErrori[0].ends_with(" I dati non sono stati modificati."));
        EXPECT_EQ(Contenuto(dati_), prima);
        return;
    }
    ASSERT_EQ(esito, Esito::Completato) << ::testing::PrintToString(osservatore_.risultato);
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati.mdb"), dati);
    EXPECT_EQ(test::LeggiTesto(dati_ + "/dati/logo.bmp"), "nuovo logo");
    const std::vector<std::string> avvisi = osservatore_.risultato.avvisi;
    if (GetParam().esito == Esame::Intatto) {
        EXPECT_TRUE(avvisi.empty());
        return;
    }
    EXPECT_EQ(avvisi.size(), 1U);
    EXPECT_EQ(osservatore_.avvisi, avvisi);
    EXPECT_TRUE(std::regex_match(
        avvisi.empty() ? "" : avvisi[0],
        std::regex("Il blocco #[0-2] era danneggiato ed è stato ricostruito con i dati di recupero\\.")));
}

std::vector<CasoRecupero> CasiRecupero() {
    std::vector<CasoRecupero> casi;
    static const std::string kNomi[] = {"0_mancante", "0_troncato", "0_un_byte", "1_mancante", "1_troncato",
                                        "1_un_byte",  "2_mancante", "2_troncato", "2_un_byte"};
    for (int b = 0; b < 3; ++b)
        for (int g = 0; g < 3; ++g)
            casi.push_back({kNomi[b * 3 + g].c_str(),
                            [b, g](const std::string& d) { Guasta(d + "/BV20240315#" + std::to_string(b), g); },
                            Esame::Riparato});
    casi.push_back({"due_blocchi_oltre_il_recupero",
                    [](const std::string& d) {
                        Guasta(d + "/BV20240315#0", 0);
                        Guasta(d + "/BV20240315#1", 2);
                        Guasta(d + "/BV20240315#1", 1);
                    },
                    Esame::Rifiutato});
    casi.push_back({"recupero_danneggiato_blocchi_integri",
                    [](const std::string& d) {
                        for (const auto& e : fs::directory_iterator(d))
                            if (e.path().string().ends_with(".par2")) Guasta(e.path().string(), 2);
                    },
                    Esame::Intatto});
    casi.push_back({"recupero_del_par2_di_debian",
                    [](const std::string& d) {
                        for (const auto& e : fs::directory_iterator(d))
                            if (e.path().string().ends_with(".par2")) fs::remove(e.path());
                        ASSERT_EQ(Par2(d, "create -q -s8192 -c40 BV20240315.par2 'BV20240315#0' "
                                          "'BV20240315#1' 'BV20240315#2'"),
                                  0);
                        Guasta(d + "/BV20240315#1", 0);
                    },
                    Esame::Riparato, true});
    casi.push_back({"copia_lasciata_dal_par2_di_debian",
                    [](const std::string& d) {
                        Guasta(d + "/BV20240315#1", 2);
                        ASSERT_EQ(Par2(d, "repair -q BV20240315.par2"), 0);
                        ASSERT_TRUE(fs::exists(d + "/BV20240315#1.1"));
                    },
                    Esame::Intatto, true});
    return casi;
}

INSTANTIATE_TEST_SUITE_P(Casi, RecuperoNelRipristino, ::testing::ValuesIn(CasiRecupero()),
                         [](const auto& info) { return std::string(info.param.nome); });

}  // namespace
}  // namespace bv
