// The sets of a folder described from their descriptors.
#include "operazioni/elenco_set.h"

#include "archive/zippo.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "span/descrittore.h"

namespace bv {

DescrizioneSet DescriviSet(const std::string& cartella, const std::string& nome) {
    DescrizioneSet d;
    // On the removable drive only the disk inserted is there: the others are not missing.
    const bool rimovibile = SuUnitaRimovibile(cartella);
    uint64_t somma = 0;
    for (int n = 0;; ++n) {
        const std::string blocco = cartella + nome + "#" + std::to_string(n);
        const InfoFile b = Fs().Info(blocco);
        const InfoFile inf = Fs().Info(blocco + ".inf");
        if (!b.file || !inf.file) {
            // The block is on another disk, not missing.
            if (rimovibile && !b.file && !inf.file) {
                d.suPiuDischi = true;
                return d;
            }
            d.danno = !b.file ? "manca il blocco #" + std::to_string(n)
                              : "manca il descrittore del blocco #" + std::to_string(n);
            return d;
        }
        DescrittoreLetto letto;
        try {
            letto = LeggiDescrittore(LeggiFileTesto(blocco + ".inf"));
        } catch (const Errore&) {
            d.danno = "descrittore del blocco #" + std::to_string(n) + " illeggibile";
            return d;
        }
        if (n == 0) {
            try {
                File f(blocco, ModoApertura::Lettura);
                uint8_t testa[30] = {};
                d.cifrato = PrimoMembroCifrato(testa, f.LeggiTutto(testa, sizeof testa));
            } catch (const Errore&) {  // told by the restore, if it comes to that
            }
            d.ora = letto.ora.substr(0, 5);
            d.byte = letto.dimensioneFile > 0 ? static_cast<uint64_t>(letto.dimensioneFile) : 0;
        }
        ++d.blocchi;
        if (!letto.ultimo || letto.dimensioneBlocco < 0 ||
            static_cast<uint64_t>(letto.dimensioneBlocco) != b.dimensione) {
            d.danno = "blocco #" + std::to_string(n) + " danneggiato";
            return d;
        }
        somma += b.dimensione;
        if (*letto.ultimo) {
            if (somma != d.byte) d.danno = "dimensioni dei blocchi non coerenti";
            return d;
        }
        // A removable disk holds one block: the next is on the next disk.
        if (rimovibile) {
            d.suPiuDischi = true;
            return d;
        }
    }
}

std::vector<DescrizioneSet> DescriviSet(const std::string& cartella, const ClsInsieme& elenco,
                                        const std::vector<RigaInsieme>& righe) {
    std::vector<DescrizioneSet> d;
    d.reserve(righe.size());
    for (const RigaInsieme& r : righe) d.push_back(DescriviSet(cartella, elenco.GetItem(r.indice)));
    return d;
}

}  // namespace bv
