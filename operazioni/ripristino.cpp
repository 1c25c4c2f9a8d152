// The restore command's algorithm, free of any window.
#include "operazioni/ripristino.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>

#include "archive/zippo.h"
#include "fileset/clsinsieme.h"
#include "operazioni/avvio.h"
#include "operazioni/backup.h"
#include "operazioni/programma.h"
#include "platform/codifica.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/spazio_disco.h"
#include "sicurezza/conferma_set.h"
#include "sicurezza/giornale.h"
#include "sicurezza/nomi.h"
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

namespace {

// One restore, as the list of its steps. Until the journal says "conferma" a failure or a crash
// leaves the data folder exactly as it was; from then on the next start finishes the exchange.
class Ripristino {
  public:
    Ripristino(const RichiestaRipristino& r, OsservatoreRipristino& o)
        : r_(r), o_(o), casuale_(std::random_device{}()) {}

    // What must hold before the user is asked: a host, a set chosen, no interrupted restore
    // pending, a reachable origin, a data folder (made when none is known).
    void ControllaRichiesta();
    bool Confermato();
    // No database of the data folder may be open: it would be replaced under the host's feet.
    void ControllaDatabaseChiusi();
    // A work folder of ours alone in Temp, marked as such.
    void PreparaCartellaLavoro();
    // The set's blocks joined into one archive in the work folder.
    void RicostruisciArchivio();
    // The archive's members checked (names, declared sizes against the room), then extracted.
    void EstraiArchivio();
    // The data drive must hold what was extracted.
    void ControllaSpazioDati();
    // What will be replaced, and under which names the old files are kept.
    void PreparaGiornale();
    // Every restored file into the data folder under its staged name; the journal then says
    // "conferma". A failure takes the staged names away again.
    void MettiNomiProvvisori();
    // Each database and folder replaced in one rename, the old ones kept as safety copies. A
    // failure puts back everything changed.
    void ScambiaConIDati();
    // Tidying: its failure is no failure of the restore (the next start ends it).
    void Concludi();
    // After a failure: the work folder, of no use now and maybe large, goes.
    void DopoUnErrore();

    std::unique_ptr<ClsSpan>& Span() { return span_; }

  private:
    const RichiestaRipristino& r_;
    OsservatoreRipristino& o_;
    std::mt19937 casuale_;
    std::unique_ptr<ClsSpan> span_;
    std::string origine_;
    std::string nomeSet_;
    std::string percorsoDati_;
    std::string prefisso_;  // the data folder with its separator
    std::string cartellaLavoro_;
    std::string lavoro_;  // the work folder with its separator
    std::string archivio_;
    bool lavoroCreato_ = false;  // from then on, a failure removes the work folder
    ClsInsieme restituiti_;      // the databases extracted
    Giornale giornale_;
    std::vector<std::string> basi_;  // each database's companion folder base
};

void Ripristino::ControllaRichiesta() {
    koUtilita& u = Utilita();
    if (r_.nonInstallato) {
        throw Errore(9989, std::string("Impossibile procedere con il ripristino. ") + kHost +
                               " non installato.");
    }
    if (Spazi(r_.nomeSet).empty()) {
        throw Errore(errori::SelezionareUnBackup,
                     "E' necessario selezionare un backup dalla lista.");
    }
    // An interrupted restore still to be finished owns the journal and the staged names.
    if (RipristinoInSospeso()) {
        std::string testo = "Un ripristino interrotto non è ancora stato completato. Chiudere " +
                            std::string(kHost) +
                            " e riavviare BVBackup per completarlo prima di un nuovo ripristino.";
        // One the start could neither trust nor move: restarting would change nothing.
        if (!GiornaleUtilizzabile(r_.percorsoDati, r_.cartellaTemp)) {
            testo += " Il giornale " + PercorsoPerMessaggio(PercorsoGiornale()) +
                     " non può essere letto né messo da parte: dopo aver controllato la cartella "
                     "dei dati e le copie di sicurezza (.cfb), spostarlo o rimuoverlo a mano.";
        }
        throw Errore(10016, testo);
    }
    nomeSet_ = r_.nomeSet;
    origine_ = Spazi(r_.origine);
    if (!u.IsCartella(origine_)) throw errori::DestinazioneNonValidaODiscoNonPronto();
    if (!u.WriteAccess(CartellaInstallazioneHost())) throw Errore(9990, kAccessoNegato);

    percorsoDati_ = r_.percorsoDati;
    if (r_.datiNonPresenti) {
        percorsoDati_ = !Spazi(u.CartellaDati()).empty() ? u.CartellaDati() + "KoBrelvano"
                                                         : CartellaInstallazioneHost();
        percorsoDati_ = u.AggiungiSepDir(percorsoDati_) + "DATI" + Separatore();
        SalvaImpostazione(ApplicazioneHost(), kSezioneDati, "path", percorsoDati_);
        if (!u.CreaPercorsoDirectory(percorsoDati_)) throw Errore(9990, kAccessoNegato);
        o_.DatiCreati(percorsoDati_);
    }
    prefisso_ = percorsoDati_;
    prefisso_ = u.AggiungiSepDir(prefisso_);
}

bool Ripristino::Confermato() {
    return InterazioneCorrente().Messaggio(
               "Si desidera realmente procedere con il ripristino del backup " + r_.dataSet +
                   "?\n\nI database attuali saranno conservati come copie di sicurezza (.cfb) "
                   "accanto a quelli ripristinati.",
               "Ripristino", Icona::Domanda, Pulsanti::SiNo) == Risposta::Si;
}

void Ripristino::ControllaDatabaseChiusi() {
    ClsInsieme presenti;
    presenti.GetFilenames(percorsoDati_, "*.mdb");
    for (int i = 1; i <= presenti.Count(); ++i) {
        if (Utilita().FileAperto(prefisso_ + presenti.GetItem(i))) {
            throw errori::HostInEsecuzione("ripristino", prefisso_ + presenti.GetItem(i));
        }
    }
}

void Ripristino::PreparaCartellaLavoro() {
    koUtilita& u = Utilita();
    std::uniform_real_distribution<double> uniforme(0.0, 1.0);
    std::string temp = r_.cartellaTemp;
    temp = u.AggiungiSepDir(temp);
    // A name nothing holds yet: the work folder is ours alone, and removed as a whole.
    for (;;) {
        cartellaLavoro_ =
            nomi::CartellaDiLavoro(temp, std::lround(uniforme(casuale_) * 100000 + 1));
        const InfoFile i = Fs().Info(cartellaLavoro_);
        if (!i.esiste && !i.collegamento) break;
    }
    PulisciCartellaTemp(r_.cartellaTemp);  // what interrupted runs left
    {
        std::string daCreare = r_.cartellaTemp;  // CreaPercorsoDirectory adds a separator to it
        u.CreaPercorsoDirectory(daCreare);
    }
    Fs().CreaCartella(cartellaLavoro_);
    lavoroCreato_ = true;
    {
        // The mark that tells the start's clean-up this folder is a work folder of ours.
        File segno(cartellaLavoro_ + Separatore() + nomi::kSegnoLavoro,
                   ModoApertura::ScritturaEsclusiva);
        segno.Chiudi();
    }
    SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Orig", origine_);
    lavoro_ = cartellaLavoro_ + Separatore();
    archivio_ = lavoro_ + nomi::kArchivioTemporaneo;
}

void Ripristino::RicostruisciArchivio() {
    o_.Messaggio("Ricostruzione del backup...");
    // A set whose final renames a backup did not end is finished before it is read.
    // A marker that cannot be acted on (a read-only origin) leaves the intact set readable.
    try {
        if (Utilita().IsCartella(origine_)) CompletaConfermeInterrotte(origine_);
    } catch (const Errore& e) {
        Utilita().ScriviLog("Backup interrotto non completato in " + origine_ + ": " +
                            e.Dettaglio());
    }
    span_ = std::make_unique<ClsSpan>();
    span_->Avanzamento = [this](int16_t, int16_t pc) { o_.Avanzamento(pc * 0.5); };
    span_->Ricostruisci(origine_, nomeSet_, archivio_, false);
    span_->Dealloca();
}

void Ripristino::EstraiArchivio() {
    o_.Messaggio("Decompressione...");
    const Errore decompressione = errori::ErroreDecompressione();
    // What the members say they hold is checked against the room in the temporary folder
    // before any is written (a small set can declare gigabytes); members and totals past
    // 2 GB are fine (a well compressed set of 2 GB restores much more), and the extraction
    // never writes more than a member declares.
    uint64_t dichiarati = 0;
    if (DimensioneMembri(archivio_, dichiarati) != 0) throw decompressione;
    // A member this system cannot hold (a set made on another system) is named now,
    // before anything is extracted.
    if (const std::string motivo = MotivoMembroRifiutato(archivio_); !motivo.empty()) {
        throw Errore(9986,
                     "Il backup non può essere ripristinato su questo sistema: " + motivo +
                         ". I dati non sono stati modificati.",
                     archivio_ + ": membro rifiutato, " + motivo);  // the log names it too
    }
    if (const int64_t spazio = SpazioLiberoDisco(cartellaLavoro_);
        spazio >= 0 && dichiarati > static_cast<uint64_t>(spazio)) {
        throw errori::SpazioDiscoInsufficiente(cartellaLavoro_ + ": " + std::to_string(dichiarati) +
                                               " byte da estrarre");
    }
    // The bar goes on with the bytes inflated, within the phase's range (50 to 75).
    const auto estratti = [&](uint64_t byte) {
        if (dichiarati > 0) {
            o_.Avanzamento(50.0 + 25.0 * std::min(1.0, static_cast<double>(byte) /
                                                           static_cast<double>(dichiarati)));
        }
    };
    if (Estrai(archivio_, cartellaLavoro_, estratti) != 0) throw decompressione;
    Fs().Rimuovi(archivio_);
    o_.Avanzamento(75);
}

void Ripristino::ControllaSpazioDati() {
    uint64_t totale = 0;
    for (const VoceCartella& v : Fs().Elenca(cartellaLavoro_)) {
        if (!v.file) continue;
        totale += Fs().Info(lavoro_ + v.nome).dimensione;
    }
    // A drive that is gone is its own error; the room is compared in full, not capped at
    // the 2 GB the descriptors count in.
    const std::string unitaDati = UnitaDi(percorsoDati_);
    span_->GetSpazioDisco(unitaDati, false);
    const int64_t libero = SpazioLiberoDisco(unitaDati);
    if (libero >= 0 && static_cast<uint64_t>(libero) < totale) {
        RimuoviTemporanea(cartellaLavoro_);
        throw errori::SpazioDiscoInsufficiente();
    }
}

void Ripristino::PreparaGiornale() {
    o_.Messaggio("Ripristino dei file...");
    restituiti_.GetFilenames(cartellaLavoro_, "*.mdb");
    const int n = restituiti_.Count();
    // A set without a database would "restore" nothing and say it succeeded.
    if (n == 0) {
        throw Errore(9988,
                     "Nessun file data presente nel backup. Impossibile effettuare il "
                     "ripristino.");
    }
    giornale_.cartellaDati = prefisso_;
    giornale_.cartellaLavoro = cartellaLavoro_;
    giornale_.gettoneDati = Gettone(casuale_);
    for (int i = 1; i <= n; ++i) {
        const std::string nome = restituiti_.GetItem(i);
        // The database and folder it replaces keep their names, letter case included,
        // found as Windows finds them; the folder is the one the backup takes.
        const std::string base = NomeBase(nome);
        const std::string esistente = TrovaNome(prefisso_, nome);
        VoceGiornale v;
        v.database = Fs().Info(esistente).file ? esistente : prefisso_ + nome;
        const std::string cartellaEsistente = TrovaNome(prefisso_, base);
        v.cartella = Fs().Info(cartellaEsistente).esiste
                         ? cartellaEsistente
                         : prefisso_ + NomeCartellaNuova(nome, base);
        if (Fs().Info(v.database).file) v.copiaDatabase = nomi::NomeLibero(v.database, "cfb");
        if (Fs().Info(v.cartella).esiste) {
            // The folder's copy bears the number of the database's copy; a folder without
            // its database, or a name already taken, gets a free name of its own.
            if (!v.copiaDatabase.empty()) {
                v.copiaCartella =
                    v.cartella + v.copiaDatabase.substr(v.copiaDatabase.find_last_of('.'));
            }
            if (v.copiaCartella.empty() || Fs().Info(v.copiaCartella).esiste)
                v.copiaCartella = nomi::NomeLibero(v.cartella, "cfb");
        }
        v.nuovoDatabase = nomi::DatabaseRipristinato(prefisso_, i);
        v.nuovaCartella = nomi::CartellaRipristinata(prefisso_, i);
        v.gettone = Gettone(casuale_);
        for (const std::string& p : {v.nuovoDatabase, v.nuovaCartella})
            if (Fs().Info(p).esiste) RimuoviAlbero(p);  // our own name, from an older run
        giornale_.voci.push_back(v);
        basi_.push_back(base);
    }
}

void Ripristino::MettiNomiProvvisori() {
    const size_t n = giornale_.voci.size();
    try {
        // The data folder's mark first: a journal always has it to be recognised by.
        CreaSegnoDati(giornale_);
        ScriviGiornale(giornale_);
        for (size_t i = 0; i < n; ++i) {
            VoceGiornale& v = giornale_.voci[i];
            const std::string& base = basi_[i];
            Fs().CreaCartella(v.nuovaCartella);
            {
                // The mark that tells the restored folder from the old one after an exchange.
                File segno(nomi::SegnoRipristinata(v.nuovaCartella, v.gettone),
                           ModoApertura::ScritturaEsclusiva);
                segno.Sincronizza();
                segno.Chiudi();
            }
            std::vector<std::pair<std::string, std::string>> spostamenti{
                {lavoro_ + restituiti_.GetItem(static_cast<int>(i) + 1), v.nuovoDatabase}};
            ClsInsieme compagni;
            compagni.GetFilenames(cartellaLavoro_, base + "_*");
            for (int j = 1; j <= compagni.Count(); ++j) {
                const std::string f = compagni.GetItem(j);
                spostamenti.emplace_back(
                    lavoro_ + f, v.nuovaCartella + Separatore() + f.substr(base.size() + 1));
            }
            // Staged names: flushed together, before the journal confirms anything.
            SpostaFiles(spostamenti);
            Fs().SincronizzaCartella(v.nuovaCartella);
            v.identitaNuova = Fs().Info(v.nuovaCartella).identita;
            o_.Avanzamento(75.0 + 20.0 * static_cast<double>(i + 1) / static_cast<double>(n));
        }
        Fs().SincronizzaCartella(CartellaDi(prefisso_ + "x"));
        giornale_.fase = Giornale::Fase::Conferma;
        ScriviGiornale(giornale_);
    } catch (...) {
        for (const VoceGiornale& v : giornale_.voci) {
            try {
                AnnullaVoce(v, false);
            } catch (const Errore& e) {
                Utilita().ScriviLog("Pulizia dopo un ripristino fallito: " + e.Dettaglio());
            }
        }
        RimuoviGiornale();
        RimuoviSegnoDati(giornale_);
        throw;
    }
}

void Ripristino::ScambiaConIDati() {
    const size_t n = giornale_.voci.size();
    size_t fatte = 0;
    try {
        for (const VoceGiornale& v : giornale_.voci) {
            CompletaVoce(v);
            ++fatte;
            o_.Avanzamento(95.0 + 5.0 * static_cast<double>(fatte) / static_cast<double>(n));
        }
    } catch (...) {
        bool annullato = true;
        for (size_t k = std::min(fatte + 1, n); k-- > 0;) {
            try {
                AnnullaVoce(giornale_.voci[k], true);
            } catch (const Errore& e) {
                annullato = false;
                Utilita().ScriviLog("Ripristino non annullato: " + e.Dettaglio());
            }
        }
        for (size_t k = fatte + 1; k < n; ++k) {
            try {
                AnnullaVoce(giornale_.voci[k], false);
            } catch (const Errore&) {
                annullato = false;
            }
        }
        // Left in place when something could not be put back: the next start finishes it.
        if (annullato) {
            RimuoviGiornale();
            RimuoviSegnoDati(giornale_);
        }
        throw;
    }
}

void Ripristino::Concludi() {
    lavoroCreato_ = false;
    bool concluse = true;
    for (const VoceGiornale& v : giornale_.voci) {
        try {
            ConcludiVoce(v);
        } catch (const Errore& e) {  // the journal stays: the next start ends it
            concluse = false;
            Utilita().ScriviLog("Pulizia dopo il ripristino non riuscita: " + e.Dettaglio());
        }
    }
    for (const auto& passo :
         {std::function<void()>([this, concluse] {
              if (concluse) {
                  RimuoviGiornale();
                  RimuoviSegnoDati(giornale_);
              }
          }),
          std::function<void()>([this] { RimuoviTemporanea(cartellaLavoro_); })}) {
        try {
            passo();
        } catch (const Errore& e) {
            Utilita().ScriviLog("Pulizia dopo il ripristino non riuscita: " + e.Dettaglio());
        }
    }
}

void Ripristino::DopoUnErrore() {
    if (!lavoroCreato_) return;
    try {
        RimuoviTemporanea(cartellaLavoro_);
    } catch (const Errore& e) {
        Utilita().ScriviLog("Cartella temporanea non rimossa: " + e.Dettaglio());
    }
}

}  // namespace

EsitoRipristino EseguiRipristino(const RichiestaRipristino& r, OsservatoreRipristino& o) {
    Ripristino ripristino(r, o);
    try {
        ripristino.ControllaRichiesta();
        if (!ripristino.Confermato()) return EsitoRipristino::Rinunciato;
        ripristino.ControllaDatabaseChiusi();
        o.AlLavoro(true);
        o.InCorso(true);
        ripristino.PreparaCartellaLavoro();
        ripristino.RicostruisciArchivio();
        ripristino.EstraiArchivio();
        ripristino.ControllaSpazioDati();
        ripristino.PreparaGiornale();
        ripristino.MettiNomiProvvisori();  // the journal's phase "preparazione"
        ripristino.ScambiaConIDati();      // the journal's phase "conferma"
        ripristino.Concludi();
        o.AlLavoro(false);
        InterazioneCorrente().Messaggio("Ripristino effettuato con successo", "Ripristino",
                                        Icona::Informazione, Pulsanti::Ok);
        o.InCorso(false);
        return EsitoRipristino::Completato;
    } catch (...) {
        ripristino.DopoUnErrore();
        MostraErroreCorrente(ripristino.Span(), o);
        o.InCorso(false);
        return EsitoRipristino::Fallito;
    }
}

}  // namespace bv
