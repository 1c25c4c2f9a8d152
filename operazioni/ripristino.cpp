// The restore command's algorithm, free of any window.
#include "operazioni/ripristino.h"
#include "operazioni/recupero_dischi.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <regex>

#include "archive/zippo.h"
#include "fileset/clsinsieme.h"
#include "operazioni/stato_avvio.h"
#include "operazioni/backup.h"
#include "operazioni/impostazioni_programma.h"
#include "platform/codifica.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/spazio_disco.h"
#include "recupero/errori_recupero.h"
#include "recupero/lettore.h"
#include "recupero/riparazione.h"
#include "recupero/scrittore.h"
#include "sicurezza/conferma_set.h"
#include "sicurezza/giornale.h"
#include "sicurezza/nomi_provvisori.h"
#include "span/clsspan.h"
#include "util/errori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

namespace {

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
    Ripristino(const RichiestaRipristino& r, GanciOperazione& g, Risultato& ris)
        : r_(r), o_(g), ris_(ris), barra_(g), casuale_(std::random_device{}()) {}

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
    // With the set's recovery files beside it, its blocks checked and those missing, short or
    // damaged rebuilt into the work folder (the origin is only read); the folder of the
    // rebuilt blocks, "" when there are none.
    std::string RiparaBlocchi();
    // Over disks with a disk said missing: the gathered blocks repaired from the recovery
    // data and joined into the archive.
    void RiparaRaccolti();
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
    // Which databases were replaced, their safety copies, the room the copies take.
    void Riepiloga();
    // After a failure: the work folder, of no use now and maybe large, goes.
    void DopoUnErrore();

    std::unique_ptr<ClsSpan>& Span() { return span_; }

  private:
    void Avvisa(const std::string& testo) {
        Utilita().ScriviLog("Attenzione: " + testo);
        ris_.avvisi.push_back(testo);
        o_.Avviso(testo);
    }

    const RichiestaRipristino& r_;
    GanciOperazione& o_;
    Risultato& ris_;
    Barra barra_;
    std::mt19937 casuale_;
    std::unique_ptr<ClsSpan> span_;
    std::string origine_;
    std::string nomeSet_;
    std::string percorsoDati_;
    std::string prefisso_;  // the data folder with its separator
    std::string cartellaLavoro_;
    std::string lavoro_;  // the work folder with its separator
    std::string archivio_;
    std::string raccolta_;  // where blocks are gathered when a disk is missing
    std::unique_ptr<RecuperoDaDischi> dischi_;
    bool lavoroCreato_ = false;  // from then on, a failure removes the work folder
    ClsInsieme restituiti_;      // the databases extracted
    Giornale giornale_;
    std::vector<std::string> basi_;  // each database's companion folder base
};

void Ripristino::ControllaRichiesta() {
    koUtilita& u = Utilita();
    if (r_.nonInstallato) {
        throw errori::Crea(errori::HostNonInstallato);
    }
    if (Spazi(r_.nomeSet).empty()) {
        throw errori::Crea(errori::SelezionareUnBackup);
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
        throw Errore(errori::RipristinoInSospeso, testo);
    }
    nomeSet_ = r_.nomeSet;
    origine_ = Spazi(r_.origine);
    if (!u.IsCartella(origine_)) throw errori::DestinazioneNonValidaODiscoNonPronto();
    if (!u.WriteAccess(CartellaInstallazioneHost())) throw errori::Crea(errori::AccessoNegato);

    percorsoDati_ = r_.percorsoDati;
    if (r_.datiNonPresenti) {
        percorsoDati_ = !Spazi(u.CartellaDati()).empty() ? u.CartellaDati() + "KoBrelvano"
                                                         : CartellaInstallazioneHost();
        percorsoDati_ = u.AggiungiSepDir(percorsoDati_) + "DATI" + Separatore();
        SalvaImpostazione(ApplicazioneHost(), kSezioneDati, "path", percorsoDati_);
        if (!u.CreaPercorsoDirectory(percorsoDati_)) throw errori::Crea(errori::AccessoNegato);
        o_.DatiCreati(percorsoDati_);
    }
    prefisso_ = percorsoDati_;
    prefisso_ = u.AggiungiSepDir(prefisso_);
}

bool Ripristino::Confermato() {
    return o_.Domande().Messaggio(
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
    PulisciCartellaTemp(r_.cartellaTemp);  // what interrupted runs left
    cartellaLavoro_ = CreaCartellaLavoro(r_.cartellaTemp);
    lavoroCreato_ = true;
    SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Orig", origine_);
    lavoro_ = cartellaLavoro_ + Separatore();
    archivio_ = lavoro_ + nomi::kArchivioTemporaneo;
}

void Ripristino::RicostruisciArchivio() {
    // The bar's phases by their bytes: the set as the origin shows it (its first disk over
    // disks), its content taken as twice as large until the archive says.
    uint64_t set = 0;
    const std::string base = nomeSet_.substr(0, nomeSet_.find('#') + 1);
    for (const VoceCartella& v : Fs().Elenca(origine_))
        if (v.file && UgualiIgnorandoMaiuscole(v.nome.substr(0, base.size()), base))
            set += Fs().Info(origine_ + Separatore() + v.nome).dimensione;
    barra_.Prevedi(Fase::Ricostruzione, set);
    barra_.Prevedi(Fase::Estrazione, 2 * set);
    barra_.Prevedi(Fase::Spostamento, 2 * set);
    barra_.Inizia(Fase::Ricostruzione, "Ricostruzione del backup...");
    // A set whose final renames a backup did not end is finished before it is read.
    // A marker that cannot be acted on (a read-only origin) leaves the intact set readable.
    try {
        if (Utilita().IsCartella(origine_)) CompletaConfermeInterrotte(origine_);
    } catch (const Errore& e) {
        Utilita().ScriviLog("Backup interrotto non completato in " + origine_ + ": " +
                            e.Dettaglio());
    }
    const std::string riparati = RiparaBlocchi();
    span_ = std::make_unique<ClsSpan>();
    span_->Domande(o_.Domande());
    span_->Avanzamento = [this, set](int16_t, int16_t pc) {
        barra_.Fatti(set * static_cast<uint64_t>(pc) / 100);
    };
    span_->BlocchiSostitutivi(riparati);
    raccolta_ = lavoro_ + "raccolti";
    if (SuUnitaRimovibile(origine_)) {
        dischi_ = std::make_unique<RecuperoDaDischi>(origine_, nomeSet_, raccolta_, "Ripristino",
                                                     o_.Domande());
        span_->RaccogliSeMancante(
            raccolta_, [this](int32_t n) { return dischi_->ChiediDiscoDiRecupero(n); });
    }
    span_->Ricostruisci(origine_, nomeSet_, archivio_, false);
    if (span_->Raccolto()) RiparaRaccolti();
    span_->Dealloca();
}

void Ripristino::RiparaRaccolti() {
    barra_.PuntoSicuro();
    const recupero::Verifica v = dischi_->Controlla(true);
    barra_.PuntoSicuro();
    if (!v.Riparabile()) {
        const Errore e = recupero::RecuperoInsufficiente(v.fetteDanneggiate, v.fetteRecupero);
        throw Errore(e.Numero(), e.Descrizione() + " I dati non sono stati modificati.",
                     recupero::Unisci(origine_, nomeSet_));
    }
    for (const int32_t n : dischi_->Ripara(v))
        Avvisa("Il blocco #" + std::to_string(n) +
               " era danneggiato ed è stato ricostruito con i dati di recupero.");
    dischi_->Unisci(archivio_, span_->DimensioneDichiarata());
    RimuoviAlbero(raccolta_);
}

std::string Ripristino::RiparaBlocchi() {
    // Over disks the blocks are never all in the drive: a disk said missing is rebuilt then.
    if (SuUnitaRimovibile(origine_)) return {};
    std::vector<std::string> file;
    try {
        file = recupero::FileDiRecupero(origine_, nomeSet_);
    } catch (const Errore&) {  // the rebuild reports a folder it cannot read
        return {};
    }
    barra_.PuntoSicuro();
    if (file.empty()) return {};
    recupero::InsiemeRecupero insieme;
    try {
        insieme = recupero::LeggiInsieme(file);
    } catch (const Errore& e) {
        // Recovery files too damaged to use: the blocks as they are, which the rebuild checks.
        Utilita().ScriviLog("File di recupero ignorati in " + origine_ + ": " + e.Dettaglio());
        return {};
    }
    // Only a set of this set's blocks: its names are written into the work folder.
    const std::regex blocco(nomeSet_ + "#([0-9]+)", std::regex::icase);
    for (const recupero::FileDescritto& f : insieme.file) {
        if (!std::regex_match(f.nome, blocco)) {
            Utilita().ScriviLog("File di recupero di un altro set ignorati in " + origine_ + ": " + f.nome);
            return {};
        }
    }
    barra_.PuntoSicuro();
    const recupero::Verifica v = recupero::VerificaInsieme(insieme, origine_);
    barra_.PuntoSicuro();
    if (v.Integra()) return {};
    if (!v.Riparabile()) {
        const Errore e = recupero::RecuperoInsufficiente(v.fetteDanneggiate, v.fetteRecupero);
        throw Errore(e.Numero(), e.Descrizione() + " I dati non sono stati modificati.",
                     recupero::Unisci(origine_, nomeSet_));
    }
    std::string cartella = lavoro_ + "blocchi";
    Fs().CreaCartella(cartella);
    recupero::Ripara(insieme, v, cartella);
    for (size_t i = 0; i < v.file.size(); ++i) {
        if (v.file[i].stato == recupero::StatoFile::Integro) continue;
        std::smatch m;
        std::regex_match(insieme.file[i].nome, m, blocco);
        Avvisa("Il blocco #" + m[1].str() +
               " era danneggiato ed è stato ricostruito con i dati di recupero.");
    }
    return cartella;
}

void Ripristino::EstraiArchivio() {
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
        throw errori::MembroRifiutato(
            motivo, archivio_ + ": membro rifiutato, " + motivo);  // the log names it too
    }
    if (const int64_t spazio = SpazioLiberoDisco(cartellaLavoro_);
        spazio >= 0 && dichiarati > static_cast<uint64_t>(spazio)) {
        throw errori::SpazioDiscoInsufficiente(cartellaLavoro_ + ": " + std::to_string(dichiarati) +
                                               " byte da estrarre");
    }
    barra_.Prevedi(Fase::Estrazione, dichiarati);
    barra_.Prevedi(Fase::Spostamento, dichiarati);
    barra_.Inizia(Fase::Estrazione, "Decompressione...");
    const int estratto =
        Estrai(archivio_, cartellaLavoro_, [this](uint64_t byte) { barra_.Fatti(byte); }, r_.chiave);
    if (estratto == zip_codice::ChiaveErrata) throw errori::ChiaveNonCorretta(archivio_);
    if (estratto != 0) throw decompressione;
    Fs().Rimuovi(archivio_);
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
    barra_.Inizia(Fase::Spostamento, "Ripristino dei file...");
    restituiti_.GetFilenames(cartellaLavoro_, "*.mdb");
    const int n = restituiti_.Count();
    // A set without a database would "restore" nothing and say it succeeded.
    if (n == 0) {
        throw errori::NessunDatoNelBackup();
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
    uint64_t spostati = 0;
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
            for (const auto& [da, a] : spostamenti) spostati += Fs().Info(a).dimensione;
            barra_.Fatti(spostati);  // a safe point: the catch below takes the staged names
        }
        Fs().SincronizzaCartella(CartellaSenzaSeparatore(prefisso_));
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
            // No cancel from here: the exchange is finished (or undone on a failure) as the
            // journal would have it after a crash.
            CompletaVoce(v);
            ++fatte;
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

namespace {

// The bytes of a file, or of a folder's files and sub-folders.
uint64_t Occupato(const std::string& percorso) {
    const InfoFile i = Fs().Info(percorso);
    if (!i.cartella || i.collegamento) return i.file ? i.dimensione : 0;
    uint64_t totale = 0;
    for (const VoceCartella& v : Fs().Elenca(percorso))
        totale += Occupato(percorso + Separatore() + v.nome);
    return totale;
}

}  // namespace

void Ripristino::Riepiloga() {
    ris_.esito = Esito::Completato;
    ris_.ripristino.cartellaDati = percorsoDati_;
    for (const VoceGiornale& v : giornale_.voci) {
        ris_.ripristino.database.push_back(
            {NomeDi(v.database), v.copiaDatabase.empty() ? "" : NomeDi(v.copiaDatabase),
             v.copiaCartella.empty() ? "" : NomeDi(v.copiaCartella)});
    }
    // Every safety copy of the data folder, this restore's and the earlier ones': the room
    // they take is the user's to free.
    try {
        for (const VoceCartella& v : Fs().Elenca(percorsoDati_))
            if (nomi::CopiaDiSicurezza(v.nome)) ris_.ripristino.byteCopie += Occupato(prefisso_ + v.nome);
    } catch (const Errore& e) {  // a summary line is not worth a failure
        Utilita().ScriviLog("Copie di sicurezza non misurate: " + e.Dettaglio());
        ris_.ripristino.byteCopie = 0;
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

RichiestaRipristino RichiestaRipristino::DaAvvio(const StatoAvvio& s) {
    RichiestaRipristino r;
    r.origine = s.orig;
    r.percorsoDati = s.percorsoDati;
    r.nonInstallato = s.nonInstallato;
    r.datiNonPresenti = s.datiNonPresenti;
    r.cartellaTemp = CartellaTempProgramma();
    return r;
}

Risultato EseguiRipristino(const RichiestaRipristino& r, GanciOperazione& g) {
    Risultato ris;
    ris.operazione = Operazione::Ripristino;
    ris.resta = CosaResta::DatiIntatti;
    Ripristino ripristino(r, g, ris);
    try {
        ripristino.ControllaRichiesta();
        if (!ripristino.Confermato()) {
            ris.esito = Esito::Rinunciato;
            return ris;
        }
        ripristino.ControllaDatabaseChiusi();
        ripristino.PreparaCartellaLavoro();
        ripristino.RicostruisciArchivio();
        ripristino.EstraiArchivio();
        ripristino.ControllaSpazioDati();
        ripristino.PreparaGiornale();
        ripristino.MettiNomiProvvisori();  // the journal's phase "preparazione"
        ripristino.ScambiaConIDati();      // the journal's phase "conferma"
        ripristino.Concludi();
        ripristino.Riepiloga();
    } catch (...) {
        ripristino.DopoUnErrore();
        ConcludiConErrore(ris, g, ripristino.Span());
    }
    return ris;
}

}  // namespace bv
