// The restore command's algorithm, free of any window.
#include "operazioni/ripristino.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

#include "archive/zippo.h"
#include "operazioni/backup.h"
#include "operazioni/programma.h"
#include "platform/codifica.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "span/clsspan.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

namespace {

const char* const kAccessoNegato =
    "Impossibile procedere con il ripristino. Accesso in scrittura non permesso.";

// Empties a folder of ours (files and any sub-folders an archive brought).
void Svuota(const std::string& cartella) {
    if (!Fs().Info(cartella).cartella) return;
    for (const VoceCartella& v : Fs().Elenca(cartella))
        RimuoviAlbero(cartella + Separatore() + v.nome);
}

void RimuoviTemporanea(const std::string& cartella) {
    if (Fs().Info(cartella).esiste) RimuoviAlbero(cartella);
}

// The name of a companion folder a restore creates where none exists: the database's name
// without its extension, unless that is not the folder the backup would look for
// ("x.mdb.mdb" -> "x", as the backup takes "x").
std::string NomeCartellaNuova(const std::string& database, const std::string& base) {
    const std::string senzaEstensione = database.substr(0, database.size() - 4);
    return Minuscolo(senzaEstensione) == base ? senzaEstensione : base;
}

// The safety copy of a database and of its companion folder, so they can be put back.
struct CopiaSicurezza {
    std::string database;  // where the database stood ("" when there was none)
    std::string copiaDatabase;
    std::string cartella;  // where its folder stood
    std::string copiaCartella;
};

// Puts the old database and folder back after a failed move, removing what had come in.
void RimettiAlSuoPosto(const CopiaSicurezza& c, const std::string& destinazione,
                       const std::string& cartella) {
    try {
        if (!c.copiaDatabase.empty()) {
            if (Fs().Info(destinazione).esiste) Fs().Rimuovi(destinazione);
            Fs().Rinomina(c.copiaDatabase, c.database);
        }
        if (!c.copiaCartella.empty()) {
            if (Fs().Info(cartella).esiste) RimuoviAlbero(cartella);
            Fs().Rinomina(c.copiaCartella, c.cartella);
        }
    } catch (...) {  // the first error is the one to report
    }
}

}  // namespace

std::string NomeLibero(const std::string& percorsoFile, std::string estensione) {
    if (!estensione.starts_with(".")) estensione = "." + estensione;
    for (int n = 0; n <= 32767; ++n) {
        char numero[16];
        std::snprintf(numero, sizeof numero, "%03d", n);
        const std::string candidato = percorsoFile + estensione + numero;
        if (!Fs().Info(candidato).esiste) return candidato;
    }
    throw ErroreStandard(num::Overflow);
}

EsitoRipristino EseguiRipristino(const RichiestaRipristino& r, OsservatoreRipristino& o) {
    koUtilita& u = Utilita();
    std::unique_ptr<ClsSpan> span;
    Pulsazione pulsazione(o);
    std::string cartellaLavoro;
    bool lavoroCreato = false;  // from then on, a failure removes the work folder
    try {
        std::mt19937 casuale(std::random_device{}());
        std::uniform_real_distribution<double> uniforme(0.0, 1.0);
        std::string temp = r.cartellaTemp;
        u.AggiungiSepDir(temp);
        do {
            cartellaLavoro = temp + std::to_string(std::lround(uniforme(casuale) * 100000 + 1));
        } while (Fs().Info(cartellaLavoro).file);

        if (r.nonInstallato) {
            throw Errore(9989, std::string("Impossibile procedere con il ripristino. ") + kHost +
                                   " non installato.");
        }
        if (r.indiceSelezionato < 0 || r.elenco == nullptr) {
            throw Errore(9991, "E' necessario selezionare un backup dalla lista.");
        }
        const std::string nomeSet = r.elenco->GetItem(r.indiceSelezionato);
        const std::string nomeMostrato = r.testoSelezionato;
        const std::string origine = Spazi(r.origine);
        if (!u.IsCartella(origine))
            throw Errore(9984, "Destinazione non valida o disco non pronto.");
        if (!u.WriteAccess(CartellaInstallazioneHost())) throw Errore(9990, kAccessoNegato);

        std::string percorsoDati = r.percorsoDati;
        if (r.datiNonPresenti) {
            percorsoDati = !Spazi(u.CartellaDati()).empty() ? u.CartellaDati() + "KoBrelvano"
                                                            : CartellaInstallazioneHost();
            percorsoDati = u.AggiungiSepDir(percorsoDati) + "DATI" + Separatore();
            SalvaImpostazione(ApplicazioneHost(), kSezioneDati, "path", percorsoDati);
            if (!u.CreaPercorsoDirectory(percorsoDati)) throw Errore(9990, kAccessoNegato);
            o.DatiCreati(percorsoDati);
        }

        if (InterazioneCorrente().Messaggio(
                "Si desidera realmente procedere con il ripristino del backup " + nomeMostrato +
                    "?",
                "Ripristino", Icona::Domanda, Pulsanti::SiNo) != Risposta::Si) {
            return EsitoRipristino::Rinunciato;
        }

        std::string prefisso = percorsoDati;
        u.AggiungiSepDir(prefisso);
        {
            ClsInsieme presenti;
            presenti.GetFilenames(percorsoDati, "*.mdb");
            for (int i = 1; i <= presenti.Count(); ++i) {
                if (u.FileAperto(prefisso + presenti.GetItem(i))) {
                    throw Errore(9983, std::string("Impossibile effettuare il ripristino se ") +
                                           kHost + " o un modulo aggiuntivo è in esecuzione.");
                }
            }
        }

        o.Occupato(true);
        o.ComandoAbilitato(false);
        lavoroCreato = true;
        {
            std::string daCreare = cartellaLavoro;  // CreaPercorsoDirectory adds a separator to it
            u.CreaPercorsoDirectory(daCreare);
        }
        SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Orig", origine);
        Svuota(cartellaLavoro);

        const std::string lavoro = cartellaLavoro + Separatore();
        const std::string archivio = lavoro + kArchivioTemporaneo;
        o.Messaggio("Ricostruzione del backup...");
        span = std::make_unique<ClsSpan>();
        span->Battito = [&] { pulsazione(); };
        span->Avanzamento = [&](int16_t, int16_t pc) {
            o.Avanzamento(pc * 0.5);
            pulsazione();
        };
        span->Ricostruisci(origine, nomeSet, archivio, false);
        span->Dealloca();

        o.Messaggio("Decompressione...");
        if (Estrai(archivio, cartellaLavoro, false, false, [&](uint64_t) { pulsazione(); }) != 0) {
            throw Errore(9986,
                         "Errore durante la decompressione. Impossibile procedere. Vedere il file "
                         "log per maggiori "
                         "dettagli.");
        }
        Fs().Rimuovi(archivio);
        o.Avanzamento(75);

        int64_t totale = 0;
        for (const VoceCartella& v : Fs().Elenca(cartellaLavoro)) {
            if (!v.file) continue;
            totale += static_cast<int64_t>(Fs().Info(lavoro + v.nome).dimensione);
            if (totale > 2147483647) throw ErroreStandard(num::Overflow);
        }
        const int32_t libero = span->GetSpazioDisco(UnitaDi(percorsoDati), false);
        if (libero < totale) {
            RimuoviTemporanea(cartellaLavoro);
            throw Errore(10015, "Spazio disco insufficiente.");
        }

        o.Messaggio("Ripristino dei file...");
        ClsInsieme restituiti;
        restituiti.GetFilenames(cartellaLavoro, "*.mdb");
        for (int i = 1; i <= restituiti.Count(); ++i) {
            const std::string nome = restituiti.GetItem(i);
            // The database and folder it replaces keep their names, letter case included,
            // found as Windows finds them; the folder is the one the backup takes.
            const std::string base = NomeBase(nome);
            const std::string esistente = TrovaNome(prefisso, nome);
            const std::string destinazione =
                Fs().Info(esistente).file ? esistente : prefisso + nome;
            const std::string cartellaEsistente = TrovaNome(prefisso, base);
            const std::string cartella =
                Fs().Info(cartellaEsistente).esiste ? cartellaEsistente
                                                    : prefisso + NomeCartellaNuova(nome, base);
            CopiaSicurezza copia;
            if (Fs().Info(destinazione).file) {
                copia.database = destinazione;
                copia.copiaDatabase = NomeLibero(destinazione, "cfb");
                Fs().Rinomina(destinazione, copia.copiaDatabase);
            }
            if (Fs().Info(cartella).esiste) {
                std::string nuovoNome;
                if (!copia.copiaDatabase.empty()) {
                    // The folder's copy bears the number of the database's copy.
                    nuovoNome = cartella +
                                copia.copiaDatabase.substr(copia.copiaDatabase.find_last_of('.'));
                }
                // A folder without its database, or a name already taken: a free name of its own.
                if (nuovoNome.empty() || Fs().Info(nuovoNome).esiste)
                    nuovoNome = NomeLibero(cartella, "cfb");
                Fs().Rinomina(cartella, nuovoNome);
                copia.cartella = cartella;
                copia.copiaCartella = nuovoNome;
            }
            try {
                SpostaFile(lavoro + nome, destinazione, [&] { pulsazione(); });
                Fs().CreaCartella(cartella);
                ClsInsieme compagni;
                compagni.GetFilenames(cartellaLavoro, base + "_*");
                for (int j = 1; j <= compagni.Count(); ++j) {
                    const std::string f = compagni.GetItem(j);
                    SpostaFile(lavoro + f, cartella + Separatore() + f.substr(base.size() + 1),
                               [&] { pulsazione(); });
                    pulsazione();
                }
            } catch (...) {
                RimettiAlSuoPosto(copia, destinazione, cartella);
                throw;
            }
            o.Avanzamento(75.0 + 25.0 * i / restituiti.Count());
            pulsazione();
        }

        o.Occupato(false);
        RimuoviTemporanea(cartellaLavoro);
        InterazioneCorrente().Messaggio("Ripristino effettuato con successo", "Ripristino",
                                        Icona::Informazione, Pulsanti::Ok);
        o.ComandoAbilitato(true);
        return EsitoRipristino::Completato;
    } catch (...) {
        if (lavoroCreato) {
            // The archive and what was extracted are of no use now, and may be large.
            try {
                RimuoviTemporanea(cartellaLavoro);
            } catch (const Errore& e) {
                Utilita().ScriviLog("Cartella temporanea non rimossa: " + e.Dettaglio());
            }
        }
        MostraErroreCorrente(span, o);
        o.ComandoAbilitato(true);
        return EsitoRipristino::Fallito;
    }
}

}  // namespace bv
