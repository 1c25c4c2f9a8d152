// The list's description of a set, from its descriptors: a whole set, and each damage told
// apart from it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "operazioni/backup.h"
#include "operazioni/elenco_set.h"
#include "resoconto/testi_esito.h"
#include "tests/operazioni/ambiente_operazioni.h"

namespace bv {
namespace {

class ElencoSet : public test::AmbienteOperazioni {};

TEST_F(ElencoSet, OgniDannoDistintoDaUnSetIntero) {
    Database("a.mdb", std::string(5000, 'a'), {{"x.txt", "x"}});
    const std::string d = dest_ + "/";
    const std::string b0 = d + "BV20240315#0";
    const struct {
        const char* nome;
        std::function<void()> danneggia;
        const char* danno;
    } casi[] = {
        {"intero", [] {}, ""},
        {"blocco_mancante", [&] { std::filesystem::remove(b0); }, "manca il blocco #0"},
        {"descrittore_mancante", [&] { std::filesystem::remove(b0 + ".inf"); },
         "manca il descrittore del blocco #0"},
        {"blocco_troncato", [&] { std::filesystem::resize_file(b0, 10); }, "blocco #0 danneggiato"},
        {"descrittore_senza_ultimo",
         [&] { test::ScriviFile(b0 + ".inf", "[SPAN]\r\nAPP=Brelvano.exe\r\n"); },
         "blocco #0 danneggiato"},
    };
    for (const auto& c : casi) {
        SCOPED_TRACE(c.nome);
        std::filesystem::remove_all(dest_);
        test::CreaCartelle(dest_);
        RichiestaBackup r;
        r.destinazione = dest_;
        r.verifica = false;
        r.percorsoDati = dati_ + "/";
        r.cartellaTemp = temp_;
        ASSERT_TRUE(EseguiBackup(r, osservatore_));
        c.danneggia();
        const DescrizioneSet s = DescriviSet(d, "BV20240315");
        EXPECT_EQ(s.danno, c.danno);
        if (*c.danno == '\0') {
            EXPECT_EQ(s.ora, "18:42");
            EXPECT_EQ(s.byte, std::filesystem::file_size(b0));
            EXPECT_EQ(s.blocchi, 1);
            EXPECT_EQ(TestoRigaSet("15/03/2024", s), "15/03/2024  —  ore 18:42, 1 KB");
        } else {
            EXPECT_EQ(TestoRigaSet("15/03/2024", s), std::string("15/03/2024  —  danneggiato: ") + c.danno);
        }
    }
}

}  // namespace
}  // namespace bv
