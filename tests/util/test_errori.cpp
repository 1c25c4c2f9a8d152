// The table of the program's errors: one entry per number, each with a text, and the fixed
// messages the user reads for their numbers.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/istanza.h"
#include "util/errori.h"
#include "platform/percorsi.h"
#include "util/koutilita.h"

namespace bv {
namespace {

TEST(TabellaErrori, NumeriENomiUniciConUnTesto) {
    std::set<int32_t> numeri;
    std::set<std::string> nomi;
    for (const errori::Voce& v : errori::Tabella()) {
        EXPECT_TRUE(numeri.insert(v.numero).second) << "numero ripetuto: " << v.numero;
        EXPECT_TRUE(nomi.insert(v.nome).second) << "nome ripetuto: " << v.nome;
        EXPECT_FALSE(std::string(v.testo).empty()) << v.nome;
        EXPECT_EQ(errori::Testo(v.numero), v.testo) << v.nome;
        EXPECT_EQ(TestoErroreStandard(v.numero), "") << "numero standard: " << v.numero;
    }
    EXPECT_EQ(errori::Testo(1), "");
}

struct TestoFisso {
    Errore errore;
    int32_t numero;
    const char* testo;
};

class TestiFissiTest : public ::testing::TestWithParam<TestoFisso> {};

// The program's fixed texts come first; a second sentence may follow (what to do, where).
TEST_P(TestiFissiTest, NumeroETesto) {
    EXPECT_EQ(GetParam().errore.Numero(), GetParam().numero);
    const std::string d = GetParam().errore.Descrizione();
    EXPECT_EQ(d.substr(0, std::string(GetParam().testo).size()), GetParam().testo) << d;
}

// "Vedere il file log" says where the log is and that the data were not changed.
TEST(Tabella, IlLogNominatoConIlSuoPercorso) {
    for (const Errore& e : {errori::ErroreCompressione(), errori::ErroreDecompressione()}) {
        EXPECT_NE(e.Descrizione().find(" Il file log è " + PercorsoPerMessaggio(koUtilita::FileLog()) +
                                       ". I dati non sono stati modificati."),
                  std::string::npos)
            << e.Descrizione();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tabella, TestiFissiTest,
    ::testing::Values(
        TestoFisso{errori::Crea(errori::TempNonCreata), 3002,
                   "Per poter eseguire il modulo è necessario usare un utente senza limitazioni."},
        TestoFisso{ErroreOperazioneInCorso(), 3004,
                   "Un backup o un ripristino è in corso in un'altra copia di BVBackup (ad esempio "
                   "un backup pianificato). Attendere che termini e riprovare."},
        TestoFisso{errori::Crea(errori::VersioneHost), 3012,
                   "Il modulo di backup è applicabile unicamente alla versione 1.0.0.0 o versione "
                   "successiva di Brelvano."},
        TestoFisso{errori::CreaCon(errori::PercorsoNonValido, {"X:\\DATI"}), 9238,
                   "X:\\DATI: percorso non valido."},
        TestoFisso{errori::HostInEsecuzione("backup"), 9983,
                   "Impossibile effettuare il backup se Brelvano o un modulo aggiuntivo è in "
                   "esecuzione."},
        TestoFisso{errori::HostInEsecuzione("ripristino"), 9983,
                   "Impossibile effettuare il ripristino se Brelvano o un modulo aggiuntivo è in "
                   "esecuzione."},
        TestoFisso{errori::DestinazioneNonValidaODiscoNonPronto(), 9984,
                   "Destinazione non valida o disco non pronto."},
        TestoFisso{errori::Crea(errori::DatiNonPresenti), 9985,
                   "Impossibile procedere con il backup. Dati non presenti o Brelvano non "
                   "installato."},
        TestoFisso{errori::ErroreDecompressione(), 9986,
                   "Errore durante la decompressione. Impossibile procedere. Vedere il file log "
                   "per maggiori dettagli."},
        TestoFisso{errori::NessunDatoDaSalvare(), 9988,
                   "Nessun file data presente. Impossibile effettuare il backup."},
        TestoFisso{errori::NessunDatoNelBackup(), 9988,
                   "Nessun file data presente nel backup. Impossibile effettuare il ripristino."},
        TestoFisso{errori::Crea(errori::HostNonInstallato), 9989,
                   "Impossibile procedere con il ripristino. Brelvano non installato."},
        TestoFisso{errori::Crea(errori::SelezionareUnBackup), 9991,
                   "E' necessario selezionare un backup dalla lista."},
        TestoFisso{errori::OperazioneAnnullata(), 10003, "Operazione annullata."},
        TestoFisso{errori::SpazioDiscoInsufficiente(), 10015, "Spazio disco insufficiente."}),
    [](const auto& i) { return std::to_string(i.param.numero) + "_" + std::to_string(i.index); });

}  // namespace
}  // namespace bv
