// The last backup's lines, as the header and `bvbackup-cli stato` show them.
#include <gtest/gtest.h>

#include "resoconto/testi_ultimo_backup.h"

namespace bv {
namespace {

TEST(TestiUltimoBackup, Righe) {
    const DataOra adesso{2026, 3, 1, 9, 30, 0};
    UltimoBackup ok;
    ok.riuscito = true;
    ok.verificato = true;
    ok.quando = {2026, 3, 1, 9, 12, 0};
    ok.ultimoRiuscito = ok.quando;
    UltimoBackup nonVerificato = ok;
    nonVerificato.verificato = false;
    nonVerificato.quando = {2026, 2, 28, 23, 5, 0};  // across the month's end (not a leap year)
    UltimoBackup vecchio = ok;
    vecchio.quando = {2026, 2, 21, 18, 0, 0};
    vecchio.ultimoRiuscito = vecchio.quando;
    UltimoBackup fallito;
    fallito.pianificato = true;
    fallito.quando = {2026, 2, 28, 18, 0, 0};
    fallito.numeroErrore = 9984;
    fallito.testoErrore = "Destinazione non valida o disco non pronto.";
    fallito.ultimoRiuscito = DataOra{2026, 2, 20, 18, 0, 0};
    UltimoBackup falloAMano = fallito;
    falloAMano.pianificato = false;
    falloAMano.quando = {2025, 12, 31, 8, 0, 0};
    falloAMano.ultimoRiuscito.reset();

    const struct {
        std::optional<UltimoBackup> u;
        std::vector<std::string> righe;
        bool allarme;
    } casi[] = {
        {std::nullopt, {"Nessun backup registrato."}, false},
        {ok, {"Ultimo backup: oggi alle 09:12, verificato"}, false},
        {nonVerificato, {"Ultimo backup: ieri alle 23:05, non verificato"}, false},
        {vecchio, {"Ultimo backup: il 21/02/2026 alle 18:00, verificato", "Nessun backup da 8 giorni"}, true},
        {fallito,
         {"Il backup pianificato di ieri alle 18:00 non è riuscito: Destinazione non valida o disco "
          "non pronto. (errore 9984)",
          "Nessun backup da 9 giorni"},
         true},
        {falloAMano,
         {"Il backup del 31/12/2025 alle 08:00 non è riuscito: Destinazione non valida o disco "
          "non pronto. (errore 9984)"},
         true},
    };
    for (const auto& c : casi) {
        const TestoUltimoBackup t = DescriviUltimoBackup(c.u, adesso);
        EXPECT_EQ(t.righe, c.righe);
        EXPECT_EQ(t.allarme, c.allarme) << c.righe.front();
    }
    EXPECT_EQ(GiorniTra({2024, 2, 28, 0, 0, 0}, {2024, 3, 1, 0, 0, 0}), 2);  // leap year
    EXPECT_EQ(GiorniTra({2025, 12, 31, 0, 0, 0}, {2026, 1, 1, 0, 0, 0}), 1);
}

}  // namespace
}  // namespace bv
