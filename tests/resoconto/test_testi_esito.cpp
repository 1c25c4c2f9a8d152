// The result in the user's words: every outcome's sentence and summary, sizes, time left.
#include <gtest/gtest.h>

#include <vector>

#include "platform/percorsi.h"
#include "resoconto/testi_esito.h"

namespace bv {
namespace {

Risultato Backup(Esito esito, RiepilogoBackup b = {}, CosaResta resta = CosaResta::NessunBackup) {
    Risultato r;
    r.esito = esito;
    r.backup = std::move(b);
    r.resta = resta;
    return r;
}

TEST(TestiEsito, OgniEsitoComeLoLeggeLUtente) {
    const std::string dest = PercorsoPerMessaggio("/media/chiavetta/");
    Risultato ripristino;
    ripristino.operazione = Operazione::Ripristino;
    ripristino.esito = Esito::Completato;
    ripristino.ripristino = {{{"a.mdb", "a.mdb.cfb001", "a.cfb001"}, {"b.mdb", "", ""}},
                             "/dati/",
                             3 * 1024 * 1024};
    Risultato annullatoRipristino;
    annullatoRipristino.operazione = Operazione::Ripristino;
    annullatoRipristino.esito = Esito::Annullato;
    annullatoRipristino.resta = CosaResta::DatiIntatti;
    Risultato rinunciato;
    rinunciato.operazione = Operazione::Ripristino;
    rinunciato.esito = Esito::Rinunciato;
    const struct {
        Risultato r;
        std::string atteso;
    } casi[] = {
        {Backup(Esito::Completato, {"BV20240315", "/media/chiavetta/", 12'900'000, 1, false, true, ""}),
         "Backup completato correttamente.\n\nBackup BV20240315 in " + dest +
             ": 12,3 MB.\nVerificato: ogni file confrontato con l'originale."},
        {Backup(Esito::Completato, {"BV20240315", "/media/floppy/", 3'000'000, 3, true, false, "", 1}),
         "Backup completato correttamente.\n\nBackup BV20240315 in " +
             PercorsoPerMessaggio("/media/floppy/") +
             ": 2,9 MB su 3 dischi e 1 disco di recupero.\nNon verificato (Verifica dati non selezionata)."},
        {Backup(Esito::Completato, {"BV20240315", "/media/floppy/", 1000, 1, true, true, ""}),
         "Backup completato correttamente.\n\nBackup BV20240315 in " +
             PercorsoPerMessaggio("/media/floppy/") +
             ": 1 KB su 1 disco.\nVerificato: ogni file confrontato con l'originale."},
        {Backup(Esito::Completato, {"BV20240315", "/media/chiavetta/", 1000, 1, false, true, "08:15"}),
         "Backup completato correttamente.\n\nBackup BV20240315 in " + dest +
             ": 1 KB.\nVerificato: ogni file confrontato con l'originale.\nHa sostituito il "
             "backup di oggi delle 08:15."},
        {Backup(Esito::Annullato, {"", "/media/chiavetta/", 0, 0, false, false, ""}, CosaResta::PrecedenteIntatto),
         "Operazione annullata. Il backup precedente di oggi in " + dest + " è rimasto com'era."},
        {Backup(Esito::Annullato, {"", "/media/chiavetta/", 0, 0, false, false, ""}, CosaResta::NessunBackup),
         "Operazione annullata. Nessun backup è stato scritto in " + dest + "."},
        {Backup(Esito::Annullato, {}, CosaResta::DischiIncompleti),
         "Operazione annullata. Il backup sui dischi non è completo: ripetere il backup."},
        {Backup(Esito::Annullato, {}, CosaResta::NessunDisco),
         "Operazione annullata. Nessun disco è stato scritto."},
        {ripristino,
         "Ripristino effettuato con successo\n\na.mdb: ripristinato, il precedente conservato "
         "come a.mdb.cfb001, la sua cartella come a.cfb001.\nb.mdb: ripristinato.\nLe copie di "
         "sicurezza (.cfb) occupano 3,0 MB in " +
             PercorsoPerMessaggio("/dati/") + "."},
        {annullatoRipristino, "Operazione annullata. I dati non sono stati modificati."},
        {rinunciato, "Ripristino non eseguito."},
        {Backup(Esito::Fallito), ""},  // the error says it
    };
    for (const auto& c : casi) EXPECT_EQ(TestoCompleto(c.r), c.atteso);
}

TEST(Lavoro, DimensioniETempoRimanente) {
    for (const auto& [byte, testo] : std::vector<std::pair<uint64_t, const char*>>{
             {0, "0 KB"},
             {1, "1 KB"},
             {1024 * 1024 - 1, "1024 KB"},
             {1024 * 1024, "1,0 MB"},
             {12'900'000, "12,3 MB"},
             {300ULL * 1024 * 1024, "300 MB"}}) {
        EXPECT_EQ(DimensioneLeggibile(byte), testo) << byte;
    }
    StimaTempo s;
    EXPECT_EQ(s.Rimanente(1, 10), "");   // too early: the first percents
    EXPECT_EQ(s.Rimanente(50, 2), "");   // too early: the first seconds
    EXPECT_EQ(s.Rimanente(50, 20), "meno di un minuto");
    StimaTempo lunga;
    EXPECT_EQ(lunga.Rimanente(10, 60), "circa 9 minuti");
    StimaTempo una;
    EXPECT_EQ(una.Rimanente(50, 70), "circa 1 minuto");
}

}  // namespace
}  // namespace bv
