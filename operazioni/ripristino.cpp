// The restore command's algorithm, free of any window.
#include "operazioni/ripristino.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>

#include "archive/zippo.h"
#include "operazioni/avvio.h"
#include "operazioni/backup.h"
#include "operazioni/giornale.h"
#include "operazioni/programma.h"
#include "platform/codifica.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/spazio_disco.h"
#include "span/clsspan.h"
#include "util/errori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

namespace {

const char* const kAccessoNegato =
    "Impossibile procedere con il ripristino. Accesso in scrittura non permesso.";

// A random token of 16 hexadecimal digits.
std::string Gettone(std::mt19937& casuale) {
    static constexpr char kCifre[] = "0123456789abcdef";
    std::string t;
    for (int i = 0; i < 16; ++i) t += kCifre[casuale() % 16];
    return t;
}

void RimuoviTemporanea(const std::string& cartella) {
    if (Fs().Info(cartella).esiste) RimuoviCartellaLavoro(cartella);
}

// The name of a companion folder a restore creates where none exists: the database's name
// without its extension, unless that is not the folder the backup would look for
// ("x.mdb.mdb" -> "x", as the backup takes "x").
std::string NomeCartellaNuova(const std::string& database, const std::string& base) {
    const std::string senzaEstensione = database.substr(0, database.size() - 4);
    return Minuscolo(senzaEstensione) == base ? senzaEstensione : base;
}

}  // namespace

std::string NomeLibero(const std::string& percorsoFile, std::string estensione) {
    if (!estensione.starts_with(".")) estensione = "." + estensione;
    for (int n = 0; n <= 32767; ++n) {
        char numero[16];
        std::snprintf(numero, sizeof numero, "%03d", n);
        std::string candidato = percorsoFile + estensione + numero;
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
        // A name nothing holds yet: the work folder is ours alone, and removed as a whole.
        for (;;) {
            cartellaLavoro = temp + std::to_string(std::lround(uniforme(casuale) * 100000 + 1));
            const InfoFile i = Fs().Info(cartellaLavoro);
            if (!i.esiste && !i.collegamento) break;
        }

        if (r.nonInstallato) {
            throw Errore(9989, std::string("Impossibile procedere con il ripristino. ") + kHost +
                                   " non installato.");
        }
        if (r.indiceSelezionato < 0 || r.elenco == nullptr) {
            throw Errore(errori::SelezionareUnBackup,
                         "E' necessario selezionare un backup dalla lista.");
        }
        // An interrupted restore still to be finished owns the journal and the staged names.
        if (RipristinoInSospeso()) {
            throw Errore(10016,
                         "Un ripristino interrotto non è ancora stato completato. Chiudere " +
                             std::string(kHost) +
                             " e riavviare BVBackup per completarlo prima di un nuovo ripristino.");
        }
        const std::string nomeSet = r.elenco->GetItem(r.indiceSelezionato);
        const std::string nomeMostrato = r.testoSelezionato;
        const std::string origine = Spazi(r.origine);
        if (!u.IsCartella(origine)) throw errori::DestinazioneNonValidaODiscoNonPronto();
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
                    throw errori::HostInEsecuzione("ripristino");
                }
            }
        }

        o.Occupato(true);
        o.ComandoAbilitato(false);
        PulisciCartellaTemp(r.cartellaTemp);  // what interrupted runs left
        {
            std::string daCreare = r.cartellaTemp;  // CreaPercorsoDirectory adds a separator to it
            u.CreaPercorsoDirectory(daCreare);
        }
        Fs().CreaCartella(cartellaLavoro);
        lavoroCreato = true;
        {
            // The mark that tells the start's clean-up this folder is a work folder of ours.
            File segno(cartellaLavoro + Separatore() + kSegnoLavoro, ModoApertura::ScritturaEsclusiva);
            segno.Chiudi();
        }
        SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Orig", origine);

        const std::string lavoro = cartellaLavoro + Separatore();
        const std::string archivio = lavoro + kArchivioTemporaneo;
        o.Messaggio("Ricostruzione del backup...");
        // A set whose final renames a backup did not end is finished before it is read.
        // A marker that cannot be acted on (a read-only origin) leaves the intact set readable.
        try {
            if (u.IsCartella(origine)) ClsSpan::CompletaConfermeInterrotte(origine);
        } catch (const Errore& e) {
            Utilita().ScriviLog("Backup interrotto non completato in " + origine + ": " +
                                e.Dettaglio());
        }
        span = std::make_unique<ClsSpan>();
        span->Battito = [&] { pulsazione(); };
        span->Avanzamento = [&](int16_t, int16_t pc) {
            o.Avanzamento(pc * 0.5);
            pulsazione();
        };
        span->Ricostruisci(origine, nomeSet, archivio, false);
        span->Dealloca();

        o.Messaggio("Decompressione...");
        const Errore decompressione = errori::ErroreDecompressione();
        // What the members say they hold is checked against the room in the temporary folder
        // before any is written (a small set can declare gigabytes); members and totals past
        // 2 GB are fine (a well compressed set of 2 GB restores much more), and the extraction
        // never writes more than a member declares.
        uint64_t dichiarati = 0;
        if (DimensioneMembri(archivio, dichiarati) != 0) throw decompressione;
        // A member this system cannot hold (a set made on another system) is named now,
        // before anything is extracted.
        if (const std::string motivo = MotivoMembroRifiutato(archivio); !motivo.empty()) {
            throw Errore(9986,
                         "Il backup non può essere ripristinato su questo sistema: " + motivo +
                             ". I dati non sono stati modificati.",
                         archivio);
        }
        if (const double spazio = SpazioLiberoDisco(cartellaLavoro);
            spazio >= 0 && static_cast<double>(dichiarati) > spazio) {
            throw errori::SpazioDiscoInsufficiente(
                cartellaLavoro + ": " + std::to_string(dichiarati) + " byte da estrarre");
        }
        // The bar goes on with the bytes inflated, within the phase's range (50 to 75).
        const auto estratti = [&](uint64_t byte) {
            if (dichiarati > 0) {
                o.Avanzamento(50.0 + 25.0 * std::min(1.0, static_cast<double>(byte) /
                                                                static_cast<double>(dichiarati)));
            }
            pulsazione();
        };
        if (Estrai(archivio, cartellaLavoro, estratti) != 0) throw decompressione;
        Fs().Rimuovi(archivio);
        o.Avanzamento(75);

        uint64_t totale = 0;
        for (const VoceCartella& v : Fs().Elenca(cartellaLavoro)) {
            if (!v.file) continue;
            totale += Fs().Info(lavoro + v.nome).dimensione;
        }
        // A drive that is gone is its own error; the room is compared in full, not capped at
        // the 2 GB the descriptors count in.
        const std::string unitaDati = UnitaDi(percorsoDati);
        span->GetSpazioDisco(unitaDati, false);
        const double libero = SpazioLiberoDisco(unitaDati);
        if (libero >= 0 && libero < static_cast<double>(totale)) {
            RimuoviTemporanea(cartellaLavoro);
            throw errori::SpazioDiscoInsufficiente();
        }

        o.Messaggio("Ripristino dei file...");
        ClsInsieme restituiti;
        restituiti.GetFilenames(cartellaLavoro, "*.mdb");
        const int n = restituiti.Count();
        // A set without a database would "restore" nothing and say it succeeded.
        if (n == 0) {
            throw Errore(9988,
                         "Nessun file data presente nel backup. Impossibile effettuare il "
                         "ripristino.");
        }
        // What will be replaced, and under which names the old files are kept.
        Giornale giornale;
        giornale.cartellaDati = prefisso;
        giornale.cartellaLavoro = cartellaLavoro;
        std::vector<std::string> basi;
        for (int i = 1; i <= n; ++i) {
            const std::string nome = restituiti.GetItem(i);
            // The database and folder it replaces keep their names, letter case included,
            // found as Windows finds them; the folder is the one the backup takes.
            const std::string base = NomeBase(nome);
            const std::string esistente = TrovaNome(prefisso, nome);
            VoceGiornale v;
            v.database = Fs().Info(esistente).file ? esistente : prefisso + nome;
            const std::string cartellaEsistente = TrovaNome(prefisso, base);
            v.cartella = Fs().Info(cartellaEsistente).esiste
                             ? cartellaEsistente
                             : prefisso + NomeCartellaNuova(nome, base);
            if (Fs().Info(v.database).file) v.copiaDatabase = NomeLibero(v.database, "cfb");
            if (Fs().Info(v.cartella).esiste) {
                // The folder's copy bears the number of the database's copy; a folder without
                // its database, or a name already taken, gets a free name of its own.
                if (!v.copiaDatabase.empty()) {
                    v.copiaCartella =
                        v.cartella + v.copiaDatabase.substr(v.copiaDatabase.find_last_of('.'));
                }
                if (v.copiaCartella.empty() || Fs().Info(v.copiaCartella).esiste)
                    v.copiaCartella = NomeLibero(v.cartella, "cfb");
            }
            const std::string provvisorio = prefisso + "~bvripristino" + std::to_string(i);
            v.nuovoDatabase = provvisorio + ".tmp";
            v.nuovaCartella = provvisorio + ".dir";
            v.gettone = Gettone(casuale);
            for (const std::string& p : {v.nuovoDatabase, v.nuovaCartella})
                if (Fs().Info(p).esiste) RimuoviAlbero(p);  // our own name, from an older run
            giornale.voci.push_back(v);
            basi.push_back(base);
        }

        // First every restored file goes into the data folder under its staged name: until the
        // journal says "conferma", a failure or a crash leaves the data exactly as it was.
        try {
            ScriviGiornale(giornale);
            for (int i = 1; i <= n; ++i) {
                VoceGiornale& v = giornale.voci[static_cast<size_t>(i - 1)];
                const std::string& base = basi[static_cast<size_t>(i - 1)];
                Fs().CreaCartella(v.nuovaCartella);
                {
                    // The mark that tells the restored folder from the old one after an exchange.
                    File segno(v.nuovaCartella + Separatore() + kSegnoNuova + v.gettone,
                               ModoApertura::ScritturaEsclusiva);
                    segno.Sincronizza();
                    segno.Chiudi();
                }
                std::vector<std::pair<std::string, std::string>> spostamenti{
                    {lavoro + restituiti.GetItem(i), v.nuovoDatabase}};
                ClsInsieme compagni;
                compagni.GetFilenames(cartellaLavoro, base + "_*");
                for (int j = 1; j <= compagni.Count(); ++j) {
                    const std::string f = compagni.GetItem(j);
                    spostamenti.emplace_back(
                        lavoro + f, v.nuovaCartella + Separatore() + f.substr(base.size() + 1));
                }
                // Staged names: flushed together, before the journal confirms anything.
                SpostaFiles(spostamenti, [&] { pulsazione(); });
                Fs().SincronizzaCartella(v.nuovaCartella);
                v.identitaNuova = Fs().Info(v.nuovaCartella).identita;
                o.Avanzamento(75.0 + 20.0 * i / n);
            }
            Fs().SincronizzaCartella(CartellaDi(prefisso + "x"));
            giornale.fase = Giornale::Fase::Conferma;
            ScriviGiornale(giornale);
        } catch (...) {
            for (const VoceGiornale& v : giornale.voci) {
                try {
                    AnnullaVoce(v, false);
                } catch (const Errore& e) {
                    Utilita().ScriviLog("Pulizia dopo un ripristino fallito: " + e.Dettaglio());
                }
            }
            RimuoviGiornale();
            throw;
        }

        // Then each database and folder is replaced in one rename, the old ones kept as
        // safety copies. A failure puts back everything changed; a crash is finished by the
        // next start from the journal.
        size_t fatte = 0;
        try {
            for (const VoceGiornale& v : giornale.voci) {
                CompletaVoce(v);
                ++fatte;
                o.Avanzamento(95.0 + 5.0 * static_cast<double>(fatte) / n);
                pulsazione();
            }
        } catch (...) {
            bool annullato = true;
            for (size_t k = std::min(fatte + 1, giornale.voci.size()); k-- > 0;) {
                try {
                    AnnullaVoce(giornale.voci[k], true);
                } catch (const Errore& e) {
                    annullato = false;
                    Utilita().ScriviLog("Ripristino non annullato: " + e.Dettaglio());
                }
            }
            for (size_t k = fatte + 1; k < giornale.voci.size(); ++k) {
                try {
                    AnnullaVoce(giornale.voci[k], false);
                } catch (const Errore&) {
                    annullato = false;
                }
            }
            // Left in place when something could not be put back: the next start finishes it.
            if (annullato) RimuoviGiornale();
            throw;
        }
        // The data are restored: what follows is tidying, and its failure is no failure of the
        // restore (a journal left behind is found done at the next start).
        lavoroCreato = false;
        bool concluse = true;
        for (const VoceGiornale& v : giornale.voci) {
            try {
                ConcludiVoce(v);
            } catch (const Errore& e) {  // the journal stays: the next start ends it
                concluse = false;
                Utilita().ScriviLog("Pulizia dopo il ripristino non riuscita: " + e.Dettaglio());
            }
        }
        for (const auto& passo :
             {std::function<void()>([concluse] {
                  if (concluse) RimuoviGiornale();
              }),
              std::function<void()>([&] { RimuoviTemporanea(cartellaLavoro); })}) {
            try {
                passo();
            } catch (const Errore& e) {
                Utilita().ScriviLog("Pulizia dopo il ripristino non riuscita: " + e.Dettaglio());
            }
        }

        o.Occupato(false);
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
