// Fuzz target: the PAR2 packet reader and the set built from what it finds, on untrusted bytes.
// Nothing may crash; every packet kept lies inside the input and a set found is coherent.
#include <algorithm>

#include "fuzz/comune.h"
#include "recupero/errori_recupero.h"
#include "recupero/lettore.h"
#include "recupero/pacchetti.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
    using namespace bv::recupero;
    Scansione s = Scandisci(n, [dati, n](uint64_t offset, uint8_t* buf, size_t quanti) -> size_t {
        if (offset >= n) return 0;
        const size_t dati_ = std::min<size_t>(quanti, n - static_cast<size_t>(offset));
        std::copy_n(dati + offset, dati_, buf);
        return dati_;
    });
    for (const Pacchetto& p : s.pacchetti)
        if (p.offsetCorpo < kIntestazione || p.offsetCorpo + p.lunghezzaCorpo > n)
            bv::fuzz::Viola("pacchetto fuori dall'input");
    try {
        const InsiemeRecupero insieme = CostruisciInsieme({{"input.par2", std::move(s)}});
        if (insieme.dimensioneFetta == 0 || insieme.dimensioneFetta % 4 != 0)
            bv::fuzz::Viola("dimensione della fetta non valida accettata");
        for (const FettaRecuperoDisponibile& r : insieme.recupero)
            if (r.offsetDati + insieme.dimensioneFetta > n) bv::fuzz::Viola("fetta di recupero fuori dall'input");
    } catch (const bv::Errore& e) {
        if (e.Numero() != ErrInsiemeNonValido && e.Numero() != ErrNomeNonValido)
            bv::fuzz::Viola("errore inatteso " + std::to_string(e.Numero()));
    }
    return 0;
}
