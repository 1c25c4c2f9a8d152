// The helper threads: work that throws (a buffer that cannot be had) is that item's failure,
// told to the caller in its place, and the others are done as usual; in the ordered pool the
// first failure in order stops what follows it, never what comes before.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "archive/aiutanti.h"
#include "archive/numero_filiere.h"
#include "archive/lavori_in_ordine.h"

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

TEST(LavoriInOrdine, IlPrimoFallimentoFermaIlSeguitoMaiIlPrecedente) {
    // One thread: the jobs in order, none after the one that throws.
    std::vector<int> eseguiti;
    std::vector<std::exception_ptr> eccezioni =
        LavoriInOrdine(6, 1,
                       [&](size_t i, size_t filiera, const std::function<bool(size_t)>&) {
                           EXPECT_EQ(filiera, 0U);
                           eseguiti.push_back(static_cast<int>(i));
                           if (i == 3) throw std::bad_alloc();
                           return true;
                       },
                       {});
    EXPECT_EQ(eseguiti, (std::vector<int>{0, 1, 2, 3}));
    ASSERT_EQ(eccezioni.size(), 6U);
    EXPECT_TRUE(eccezioni[3]);
    EXPECT_FALSE(eccezioni[0] || eccezioni[4]);

    // Three threads: job 2 fails at once, jobs 0 and 1 are still at work and run to their end,
    // not told to stop (a later job's failure is not theirs).
    std::atomic<bool> dueFallito{false};
    std::vector<int> finiti(3, 0);
    eccezioni = LavoriInOrdine(3, 3,
                               [&](size_t i, size_t, const std::function<bool(size_t)>& fermato) {
                                   if (i == 2) {
                                       dueFallito = true;
                                       throw std::runtime_error("due");
                                   }
                                   for (int attesa = 0; !dueFallito && attesa < 5000; ++attesa)
                                       std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                   finiti[i] = dueFallito && !fermato(i) ? 1 : -1;
                                   return true;
                               },
                               {});
    EXPECT_EQ(finiti, (std::vector<int>{1, 1, 0}));
    EXPECT_TRUE(eccezioni[2]);
}

TEST(Filiere, UnaPerCoreFinoAOttoEMaiPiuDeiLavori) {
    EXPECT_GE(FiliereDisponibili(), 1U);
    EXPECT_LE(FiliereDisponibili(), 8U);
    EXPECT_EQ(FiliereDisponibili(1), 1U);
    EXPECT_EQ(FiliereDisponibili(0), 1U);
}

}  // namespace
}  // namespace bv::zip_interno
