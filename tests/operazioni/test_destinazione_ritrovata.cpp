// A destination on a stick found again under another letter: the same volume only, and the
// backup going there with the reason said.
#include <gtest/gtest.h>

#include <filesystem>

#include "operazioni/destinazione_ritrovata.h"
#include "operazioni/impostazioni_programma.h"
#include "operazioni/ultimo_backup.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "tests/operazioni/ambiente_operazioni.h"
#include "tests/support/volumi_finti.h"

namespace bv {
namespace {

// The stick "CHIAVE" now under F, another one under G; E (where it was) is gone.
class DestinazioneRitrovataTest : public test::AmbienteOperazioni {
  protected:
    void SetUp() override {
        AmbienteOperazioni::SetUp();
        for (const char* c : {"F/Backup", "G/Backup"}) std::filesystem::create_directories(t_ / c);
        e_ = t_ / "E/";
        f_ = t_ / "F/";
        g_ = t_ / "G/";
        volumi_.montati = {{f_, "CHIAVE", "1A2B3C4D"}, {g_, "ALTRA", "99999999"}};
    }
    std::string e_, f_, g_;
    test::VolumiFinti volumi_;
    SostituzioneVolumi usa_{volumi_};
};

TEST_F(DestinazioneRitrovataTest, SoloLaStessaChiavettaConLaCartella) {
    const VolumeRimovibile ricordato{e_, "CHIAVE", "1A2B3C4D"};
    struct Caso {
        const char* nome;
        std::string destinazione;
        VolumeRimovibile ricordato;
        std::string attesa;  // "": not moved
    } casi[] = {
        {"la cartella c'è dove era", f_ + "Backup/", {f_, "CHIAVE", "1A2B3C4D"}, ""},
        {"la stessa chiavetta sotto F", e_ + "Backup/", ricordato, f_ + "Backup/"},
        {"la radice stessa", e_, ricordato, f_},
        {"la cartella non c'è neanche su F", e_ + "Altro/", ricordato, ""},
        {"un'altra chiavetta con la stessa cartella", e_ + "Backup/", {e_, "CHIAVE", "00000001"}, ""},
        {"fuori dalla chiavetta ricordata", t_ / "H/Backup/", ricordato, ""},
        {"nessun volume ricordato", e_ + "Backup/", {e_, "", ""}, ""},
    };
    for (const Caso& c : casi) {
        const auto r = RitrovaDestinazione(c.destinazione, c.ricordato, volumi_.montati);
        EXPECT_EQ(r ? r->cartella : "", c.attesa) << c.nome;
        if (r) {
            EXPECT_EQ(r->volume.identita, c.ricordato.identita) << c.nome;
        }
    }
}

TEST_F(DestinazioneRitrovataTest, IlBackupVaSullaChiavettaEDiceDove) {
    Database("a.mdb", "dati", {{"nota.txt", "n"}});
    // The last backup went to E, the stick remembered with it.
    volumi_.montati.push_back({e_, "CHIAVE", "1A2B3C4D"});
    std::filesystem::create_directories(e_ + "Backup");
    RicordaVolumeDestinazione(kSezioneBackup, e_ + "Backup/");
    volumi_.montati.pop_back();
    std::filesystem::remove_all(e_);
    ASSERT_TRUE(VolumeRicordatoPer(e_ + "Backup/"));

    RichiestaBackup r;
    r.destinazione = e_ + "Backup/";
    r.percorsoDati = dati_ + "/";
    r.cartellaTemp = temp_;
    r.percentualeRecupero = 0;
    const Risultato ris = EseguiERegistraBackup(r, osservatore_);
    ASSERT_TRUE(ris.Riuscito()) << ris.errore->Descrizione();
    EXPECT_TRUE(std::filesystem::exists(f_ + "Backup/BV20240315#0"));
    ASSERT_EQ(ris.avvisi.size(), 1U);
    const auto M = [](const std::string& p) { return PercorsoPerMessaggio(p); };
    EXPECT_EQ(ris.avvisi[0], "La cartella " + M(e_ + "Backup/") + " non c'è: la stessa chiavetta «CHIAVE» si "
                             "trova ora in " + M(f_) + " e il backup va in " + M(f_ + "Backup/") + ".");
    EXPECT_EQ(LeggiUltimoBackup()->cartella, f_ + "Backup/");
    // Now remembered where it went, with the same stick.
    EXPECT_EQ(LeggiImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Dest"), f_ + "Backup/");
    EXPECT_EQ(VolumeRicordatoPer(f_ + "Backup/")->identita, "1A2B3C4D");

    // A fixed disk's folder forgets the stick.
    RicordaVolumeDestinazione(kSezioneBackup, dest_);
    EXPECT_FALSE(VolumeRicordatoPer(f_ + "Backup/"));
}

}  // namespace
}  // namespace bv
