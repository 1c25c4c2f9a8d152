#include "app/chiave_finestra.h"

#include "platform/filesystem.h"
#include "util/chiave_ripristino.h"
#include "util/errori.h"
#include "util/koutilita.h"

namespace bv {

namespace {
constexpr const char* kTitolo = "Chiave di ripristino";
}

std::string ImpostaNuovaChiave(Interazione& i) {
    const std::string k = chiave::Genera();
    for (;;) {
        const Risposta r = i.Messaggio(
            "I backup saranno cifrati con questa chiave di ripristino:\n\n" + k +
                "\n\nSenza di essa un backup cifrato non si può ripristinare su un altro "
                "computer. Annotarla, o salvarla in un file, e conservarla lontano dal computer e "
                "dai dischi di backup.\n\nSalvarla ora in un file di testo?",
            kTitolo, Icona::Informazione, Pulsanti::SiNoAnnulla);
        if (r == Risposta::Annulla) return {};
        if (r == Risposta::Si) {
            const std::string file =
                i.ScegliFileDaSalvare("Salva la chiave di ripristino", "chiave-ripristino-bvbackup.txt");
            if (!file.empty()) {
                try {
                    const std::string testo = chiave::TestoDelFile(k);
                    ScriviFileAtomico(file, testo.data(), testo.size());
                } catch (const Errore& e) {
                    Utilita().PrintErrore(e);
                    continue;
                }
            }
        }
        const std::string scritta =
            i.ChiediTesto("Per conferma, digitare la chiave di ripristino:", kTitolo);
        if (scritta.empty()) return {};
        if (chiave::Normalizza(scritta) == k) return k;
        i.Messaggio("La chiave digitata non corrisponde a quella mostrata.", kTitolo, Icona::Avviso,
                    Pulsanti::Ok);
    }
}

std::string ChiediChiaveDelSet(Interazione& i) {
    for (;;) {
        const std::string scritta = i.ChiediTesto(
            "Digitare la chiave di ripristino con cui è stato fatto il backup:", kTitolo);
        if (scritta.empty()) return {};
        if (auto k = chiave::Normalizza(scritta)) return *k;
        i.Messaggio("Non è una chiave di ripristino: sei gruppi di cinque lettere e cifre.", kTitolo,
                    Icona::Avviso, Pulsanti::Ok);
    }
}

}  // namespace bv
