#include "operazioni/recupero_dischi.h"

#include <regex>
#include <utility>
#include <vector>

#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "recupero/errori_recupero.h"
#include "recupero/riparazione.h"
#include "recupero/scrittore.h"
#include "sicurezza/nomi_provvisori.h"
#include "util/errori.h"
#include "util/koutilita.h"

namespace bv {

RecuperoDaDischi::RecuperoDaDischi(std::string origine, std::string nomeSet, std::string cartella,
                                   std::string titolo, Interazione& domande)
    : origine_(std::move(origine)),
      nomeSet_(std::move(nomeSet)),
      cartella_(std::move(cartella)),
      titolo_(std::move(titolo)),
      domande_(domande) {}

bool RecuperoDaDischi::CopiaDisco() {
    std::vector<std::string> file;
    try {
        file = recupero::FileDiRecupero(origine_, nomeSet_);
    } catch (const Errore&) {  // no disk in the drive: asked again
        return false;
    }
    bool nuovi = false;
    for (const std::string& f : file) {
        const std::string copia = recupero::Unisci(cartella_, NomeDi(f));
        if (Fs().Info(copia).esiste) continue;  // the same disk again
        CopiaFile(f, copia, false);
        nuovi = true;
    }
    return nuovi;
}

int32_t RecuperoDaDischi::ChiediDiscoDiRecupero(int32_t mancante) {
    const std::string base = "Il " + std::to_string(mancante + 1) +
                             "° disco del backup manca o non si legge: inserire il disco di "
                             "recupero del backup e premere Riprova.";
    std::string testo = base;
    for (;;) {
        if (domande_.Messaggio(testo, titolo_, Icona::Informazione, Pulsanti::RiprovaAnnulla) !=
            Risposta::Riprova)
            throw errori::OperazioneAnnullata();
        if (!CopiaDisco()) {
            testo = "Il disco inserito non contiene dati di recupero di questo backup. " + base;
            continue;
        }
        try {
            insieme_ = recupero::LeggiInsieme(recupero::FileDiRecupero(cartella_, nomeSet_));
            // Only this set's blocks: their names are written into the work folder.
            const std::regex blocco(nomeSet_ + "#[0-9]+", std::regex::icase);
            for (const recupero::FileDescritto& f : insieme_.file)
                if (!std::regex_match(f.nome, blocco)) throw recupero::InsiemeNonValido(f.nome);
            return static_cast<int32_t>(insieme_.file.size());
        } catch (const Errore& e) {
            Utilita().ScriviLog("Dati di recupero non leggibili: " + e.Dettaglio());
            testo = "I dati di recupero del disco inserito non si leggono. " + base;
        }
    }
}

recupero::Verifica RecuperoDaDischi::Controlla(bool chiediAltri) {
    for (;;) {
        insieme_ = recupero::LeggiInsieme(recupero::FileDiRecupero(cartella_, nomeSet_));
        recupero::Verifica v = recupero::VerificaInsieme(insieme_, cartella_);
        if (v.Riparabile() || !chiediAltri) return v;
        // Recovery data spread over more disks: the next one may complete them.
        const Errore e = recupero::RecuperoInsufficiente(v.fetteDanneggiate, v.fetteRecupero);
        if (domande_.Messaggio(e.Descrizione() +
                                   " Inserire un altro disco di recupero del backup e premere "
                                   "Riprova, oppure Annulla.",
                               titolo_, Icona::Informazione, Pulsanti::RiprovaAnnulla) != Risposta::Riprova)
            return v;
        CopiaDisco();
    }
}

std::vector<int32_t> RecuperoDaDischi::Ripara(const recupero::Verifica& v) {
    if (!v.Integra()) recupero::Ripara(insieme_, v, cartella_);
    std::vector<int32_t> riparati;
    for (size_t i = 0; i < v.file.size() && i < insieme_.file.size(); ++i) {
        if (v.file[i].stato == recupero::StatoFile::Integro) continue;
        const std::string& nome = insieme_.file[i].nome;
        riparati.push_back(std::stoi(nome.substr(nome.find('#') + 1)));
    }
    return riparati;
}

void RecuperoDaDischi::Unisci(const std::string& archivio, int64_t dichiarata) const {
    const std::string temporaneo = nomi::Temporaneo(archivio);
    {
        File uniti(temporaneo, ModoApertura::Scrittura);
        uint64_t totale = 0;
        std::vector<uint8_t> buf(4 << 20);
        for (size_t n = 0; n < insieme_.file.size(); ++n) {
            File blocco(recupero::Unisci(cartella_, nomeSet_ + "#" + std::to_string(n)), ModoApertura::Lettura);
            for (size_t r; (r = blocco.Leggi(buf.data(), buf.size())) > 0;) {
                uniti.ScriviTutto(buf.data(), r);
                totale += r;
            }
        }
        if (dichiarata >= 0 && totale != static_cast<uint64_t>(dichiarata))
            throw errori::Crea(errori::SetCorrotto, cartella_ + ": " + std::to_string(totale) +
                                                        " byte, SIZE_FILE=" + std::to_string(dichiarata));
        uniti.Sincronizza();
    }
    RinominaDurevole(temporaneo, archivio);
}

}  // namespace bv
