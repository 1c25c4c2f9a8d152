// The bar's weighting by bytes and its safe points.
#include <gtest/gtest.h>

#include <vector>

#include "operazioni/lavoro.h"
#include "util/errori.h"

namespace bv {
namespace {

struct Barre final : GanciOperazione {
    void Avanzamento(double v) override { valori.push_back(v); }
    void Quantita(uint64_t f, uint64_t t) override { quantita = {f, t}; }
    std::vector<double> valori;
    std::pair<uint64_t, uint64_t> quantita;
};

TEST(Barra, OgniFaseConIlPesoDeiSuoiByte) {
    Barre g;
    Barra b(g);
    b.Prevedi(Fase::Compressione, 1000);
    b.Prevedi(Fase::Scrittura, 1000);
    b.Inizia(Fase::Compressione, "Compressione dati...");
    b.Fatti(500);
    // 500 of the compression's 1000, each byte worth 1 / 0.15 bytes written: 500 / 1150.
    EXPECT_NEAR(g.valori.back(), 100.0 * 500 / 1150, 1e-9);
    EXPECT_EQ(g.quantita, (std::pair<uint64_t, uint64_t>{500, 1000}));
    b.Fatti(1000);
    // The archive is smaller than foreseen: the bar moves on, never back.
    b.Prevedi(Fase::Scrittura, 100);
    b.Inizia(Fase::Scrittura, "Salvataggio dati...");
    EXPECT_NEAR(g.valori.back(), 100.0 * 1000 / 1015, 1e-9);
    b.Fatti(50);
    EXPECT_NEAR(g.valori.back(), 100.0 * 1007.5 / 1015, 1e-9);
    b.Fatti(5000);  // past the total: capped
    EXPECT_NEAR(g.valori.back(), 100.0, 1e-9);
    EXPECT_EQ(g.quantita, (std::pair<uint64_t, uint64_t>{100, 100}));
    EXPECT_TRUE(std::is_sorted(g.valori.begin(), g.valori.end()));
}

TEST(Barra, UnAnnullamentoFermaAlPrimoPuntoSicuro) {
    Barre g;
    Barra b(g);
    b.Prevedi(Fase::Compressione, 10);
    b.Fatti(1);
    g.Annulla();
    try {
        b.Fatti(2);
        FAIL() << "nessun annullamento";
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), errori::Annullata);
    }
    EXPECT_THROW(b.PuntoSicuro(), Errore);
}

}  // namespace
}  // namespace bv
