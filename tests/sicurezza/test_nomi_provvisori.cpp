// Every name the writers make is one the clean-ups recognise as the program's, and no name a
// user might give a file is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/percorsi.h"
#include "sicurezza/nomi_provvisori.h"
#include "util/koutilita.h"

namespace bv {
namespace {

const std::string kSet = "BV20241231";

std::string Cartella() {
    return std::string("dest") + Separatore();
}

TEST(Nomi, OgniResiduoDiUnBackupPortaIlSuoSet) {
    const std::string c = Cartella();
    std::vector<std::string> fatti;
    for (const int32_t n : {0, 12}) {
        for (const char* e : {"", ".inf"}) {
            const std::string finale = c + nomi::Blocco(kSet, n, e);
            const std::string provvisorio = nomi::Provvisorio(c, nomi::Blocco(kSet, n, e));
            fatti.push_back(provvisorio);                      // staged
            fatti.push_back(nomi::Parcheggiato(provvisorio));  // the old one, parked
            fatti.push_back(nomi::Temporaneo(provvisorio));    // staged, half written
            fatti.push_back(nomi::Temporaneo(finale));         // on a disk, half written
        }
    }
    fatti.push_back(nomi::Temporaneo(nomi::Marcatore(c, kSet)));  // the marker, half written
    for (const std::string& p : fatti) EXPECT_EQ(nomi::SetDelResiduo(NomeDi(p)), kSet) << p;

    // The marker is no leftover: while it exists the next start needs the set's files.
    const std::string marcatore = NomeDi(nomi::Marcatore(c, kSet));
    EXPECT_EQ(nomi::SetDelResiduo(marcatore), "");
    EXPECT_EQ(nomi::SetDelMarcatore(marcatore), kSet);
}

TEST(Nomi, INomiDiUnUtenteNonSonoNostri) {
    for (const std::string nome :
         {"BV20241231#0", "BV20241231#0.inf", "~BV2024#0", "~BV20241231#0.inf.bak", "~BV20241231",
          "documento.tmp", "~lettera.doc.tmp", "~BV20241231.conferma.bak", "~bvx.conferma"}) {
        EXPECT_EQ(nomi::SetDelResiduo(nome), "") << nome;
        EXPECT_EQ(nomi::SetDelMarcatore(nome), "") << nome;
    }
}

TEST(Nomi, LaCoppiaRipristinataELeCopieDiSicurezza) {
    const std::string c = Cartella();
    EXPECT_TRUE(nomi::CoppiaRipristinata(nomi::DatabaseRipristinato(c, 3),
                                         nomi::CartellaRipristinata(c, 3)));
    EXPECT_FALSE(nomi::CoppiaRipristinata(nomi::DatabaseRipristinato(c, 3),
                                          nomi::CartellaRipristinata(c, 4)));
    EXPECT_FALSE(nomi::CoppiaRipristinata(c + "clienti.mdb", c + "clienti"));

    EXPECT_TRUE(nomi::CopiaDi(c + "clienti.mdb.cfb000", c + "clienti.mdb"));
    EXPECT_TRUE(nomi::CopiaDi(c + "clienti.mdb.cfb1234", c + "clienti.mdb"));
    for (const char* altro :
         {"clienti.mdb.cfb", "clienti.mdb.cfb12", "clienti.mdb.cfb00x", "ordini.mdb.cfb000"})
        EXPECT_FALSE(nomi::CopiaDi(c + altro, c + "clienti.mdb")) << altro;

    // The data folder's mark, which the start removes where no journal names it.
    EXPECT_TRUE(nomi::NomeSegnoDati(NomeDi(nomi::SegnoCartellaDati(c, "0123456789abcdef"))));
    for (const char* altro : {".~bvdati-", ".~bvdati-0123456789ABCDEF", ".~bvdati-0123456789abcdef0",
                              "~bvdati-0123456789abcdef", ".~bvnuova-0123456789abcdef"})
        EXPECT_FALSE(nomi::NomeSegnoDati(altro)) << altro;
}

TEST(Nomi, NellaCartellaTemporaneaSoloINostriFile) {
    const auto file = [](const std::string& nome) {
        VoceCartella v;
        v.nome = nome;
        v.file = true;
        return v;
    };
    for (const std::string& nome :
         {std::string(nomi::kArchivioTemporaneo),
          NomeDi(nomi::Temporaneo(nomi::kArchivioTemporaneo)),
          std::string(nomi::kArchivioTemporaneo) + ".a1B2c3", std::string(koUtilita::kFileProva),
          NomeDi(nomi::Cifrato(nomi::kArchivioTemporaneo)),
          NomeDi(nomi::Cifrato(nomi::kArchivioTemporaneo)) + ".Z9y8X7"})
        EXPECT_TRUE(nomi::NostroInTemp("temp", file(nome))) << nome;
    for (const std::string nome : {"dati.zip", "~dati.zip.1", "~dati.zip.abcdefg", "lettera.doc",
                                  "~~dati.zip.aes.1", "~dati.zip.aes"})
        EXPECT_FALSE(nomi::NostroInTemp("temp", file(nome))) << nome;

    VoceCartella collegamento = file(nomi::kArchivioTemporaneo);
    collegamento.collegamento = true;  // this program makes no links
    EXPECT_FALSE(nomi::NostroInTemp("temp", collegamento));
}

}  // namespace
}  // namespace bv
