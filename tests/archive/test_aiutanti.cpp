// The helper threads: work that throws (a buffer that cannot be had) is that item's failure,
// told to the caller in its place, and the others are done as usual.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "archive/aiutanti.h"
#include "archive/filiere.h"

namespace bv::zip_interno {
namespace {

struct Lavoro {
    int valore = 0;
    int risultato = 0;
    bool riuscito = false;
    bool pronto = true;
};

struct Contatore {
    int fatti = 0;
};

TEST(Aiutanti, UnaEccezioneEIlFallimentoDelSoloElemento) {
    std::vector<Lavoro> lavori(40);
    {
        Aiutanti<Lavoro, Contatore> aiutanti(FiliereDisponibili(), [](Contatore& c, Lavoro& l) {
            l.riuscito = false;
            if (l.valore % 7 == 3) throw std::bad_alloc();
            l.risultato = l.valore * 2;
            ++c.fatti;
            l.riuscito = true;
        });
        for (int i = 0; i < 40; ++i) {
            lavori[static_cast<size_t>(i)].valore = i;
            aiutanti.Affida(lavori[static_cast<size_t>(i)]);
        }
        for (const Lavoro& l : lavori) aiutanti.Attendi(l);
        aiutanti.AttendiTutti();
    }
    for (const Lavoro& l : lavori) {
        EXPECT_TRUE(l.pronto) << l.valore;
        EXPECT_EQ(l.riuscito, l.valore % 7 != 3) << l.valore;
        if (l.riuscito) {
            EXPECT_EQ(l.risultato, l.valore * 2);
        }
    }
}

TEST(Filiere, UnaPerCoreFinoAOttoEMaiPiuDeiLavori) {
    EXPECT_GE(FiliereDisponibili(), 1U);
    EXPECT_LE(FiliereDisponibili(), 8U);
    EXPECT_EQ(FiliereDisponibili(1), 1U);
    EXPECT_EQ(FiliereDisponibili(0), 1U);
}

}  // namespace
}  // namespace bv::zip_interno
