// The backup command's algorithm, free of any window.
#include "operazioni/backup.h"

#include <algorithm>
#include <map>
#include <regex>
#include <memory>
#include <vector>

#include "archive/nomi_membri.h"
#include "archive/zippo.h"
#include "fileset/clsinsieme.h"
#include "operazioni/avvio.h"
#include "operazioni/programma.h"
#include "platform/codifica.h"
#include "platform/data_ora.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/spazio_disco.h"
#include "sicurezza/conferma_set.h"
#include "sicurezza/nomi.h"
#include "span/clsspan.h"
#include "util/errori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

namespace {

void RimuoviSeEsiste(const std::string& percorso) {
    if (Fs().Info(percorso).esiste) Fs().Rimuovi(percorso);
}

// A database's companion folder, found as Windows finds it (letter case ignored), and its files.
struct Compagni {
    std::string base;      // the database's base name, the prefix of the flattened names
    std::string cartella;  // with a final separator
    ClsInsieme file;

    Compagni(const std::string& prefisso, const std::string& database)
        : base(NomeBase(database)), cartella(TrovaNome(prefisso, base) + Separatore()) {
        file.GetFilenames(cartella, "*.*");  // 9984 when the folder is missing
    }
};

// The new set is written beside the day's earlier one and replaces it once verified. A folder
// (not a disk: nothing to swap there) with room for the new set only if the earlier one goes
// first is told so; the earlier set is then removed before writing (after a confirmation, or
// at once when asked to), or the backup ends.
void FaiSpazioPerIlNuovoSet(std::string cartella, const std::string& nomeSet,
                            uint64_t archivio, bool senzaChiedere) {
    Utilita().AggiungiSepDir(cartella);
    const double libero = SpazioLiberoDisco(cartella);
    // The archive, its descriptors and the writer's margin.
    const double serve = static_cast<double>(archivio) + 1024.0 * 1024.0;
    if (libero < 0 || libero >= serve) return;
    std::vector<std::string> precedente;
    uint64_t occupato = 0;
    const std::regex nome(nomeSet + "#[0-9]+(\\.inf)?", std::regex::icase);
    for (const VoceCartella& v : Fs().Elenca(cartella)) {
        if (!v.file || !std::regex_match(v.nome, nome)) continue;
        precedente.push_back(v.nome);
        occupato += Fs().Info(cartella + v.nome).dimensione;
    }
    if (precedente.empty() || libero + static_cast<double>(occupato) < serve) return;
    if (!senzaChiedere &&
        InterazioneCorrente().Messaggio(
            "La cartella " + PercorsoPerMessaggio(cartella) +
                " non ha spazio per conservare il backup precedente di oggi mentre il nuovo "
                "viene scritto e verificato. Sostituire subito il backup precedente? Se il nuovo "
                "backup non riesce, di oggi non resterà alcun backup.",
            "Backup", Icona::Domanda, Pulsanti::SiNo) != Risposta::Si) {
        throw errori::OperazioneAnnullata();
    }
    Utilita().ScriviLog("Backup precedente sostituito per mancanza di spazio: " + cartella +
                        nomeSet);
    // Descriptors first: none names a block that is gone.
    std::sort(precedente.begin(), precedente.end(), [](const std::string& a, const std::string& b) {
        return a.ends_with(".inf") > b.ends_with(".inf");
    });
    for (const std::string& f : precedente) Fs().Rimuovi(cartella + f);
    Fs().SincronizzaCartella(CartellaDi(cartella + "x"));
}

// A name shown in a message even when its bytes are not UTF-8.
std::string Mostrabile(const std::string& s) {
    return Utf8Valido(s) ? s : Cp1252AUtf8(s);
}

// A name the restore could not give back (Windows cannot hold it, or the name set would cut
// it at its "#") is refused now, naming the file and what is wrong with it.
void ControllaNome(const std::string& cartella, const std::string& nome) {
    const std::string file = Mostrabile(cartella + nome);
    const char* const rinomina = " Rinominare il file e ripetere il backup.";
    if (!Utf8Valido(nome) || HaCaratteriDiControllo(nome)) {
        throw Errore(9992, "Il nome del file " + file + " contiene caratteri non validi." + rinomina);
    }
    if (NomeRiservatoAUnDispositivo(nome)) {
        throw Errore(9992, "Il nome del file " + file +
                               " è riservato dal sistema (nome di un dispositivo)." + rinomina);
    }
    if (nome.find('#') != std::string::npos) {
        throw Errore(9992, "Il nome del file " + file +
                               " contiene il carattere #, che il backup non può conservare." +
                               rinomina);
    }
}

Errore NomiInConflitto(const std::string& a, const std::string& b) {
    return Errore(9993, "I file " + Mostrabile(a) + " e " + Mostrabile(b) +
                            " avrebbero lo stesso nome nel backup e non potrebbero essere "
                            "ripristinati entrambi. Rinominarne uno e ripetere il backup.");
}

// Names that would give a set that does not restore, or restores files elsewhere, are refused
// before anything is written, naming the files: names that are not UTF-8 (the archive could
// not give them back), with control characters, reserved for a device on Windows, or with a "#"
// (the name set ends a name there), databases or
// companion files equal but for letter case (one would be lost: Windows cannot hold both), and
// flattened names that the restore would hand to another database's folder. Sub-folders of a
// companion folder are not part of the format: the user is told which are left out.
void ControllaNomi(const std::string& prefisso, const ClsInsieme& dati, bool cartellaDati,
                   OsservatoreOperazione& o) {
    const auto elenca = [](const std::string& cartella) {
        try {
            return Fs().Elenca(cartella.empty() ? "." : cartella);
        } catch (const Errore&) {
            return std::vector<VoceCartella>{};  // the backup's own listing reports it
        }
    };
    // The databases as the folder holds them, not as the name set folds them.
    std::map<std::string, std::string> database;
    for (const VoceCartella& v : cartellaDati ? elenca(prefisso) : std::vector<VoceCartella>{}) {
        if (!v.file || !ClsInsieme::Corrisponde(v.nome, "*.mdb")) continue;
        // A hidden database is not part of the data the host shows: left out, but never
        // silently (an attribute set by mistake would otherwise lose it from every backup).
        if (v.nascosto) {
            o.Avviso("Il database " + Mostrabile(prefisso + v.nome) +
                     " è nascosto e non fa parte del backup: per salvarlo renderlo visibile.");
            continue;
        }
        ControllaNome(prefisso, v.nome);
        const auto [it, nuovo] = database.emplace(Maiuscolo(v.nome), v.nome);
        if (!nuovo) throw NomiInConflitto(prefisso + it->second, prefisso + v.nome);
    }
    struct Membro {
        std::string nome;
        std::string sorgente;
        int proprietario;  // the database (1-based, in the data set's order) it belongs to
    };
    std::vector<Membro> membri;
    for (int i = 1; i <= dati.Count(); ++i) {
        const std::string db = dati.GetItem(i);
        ControllaNome(prefisso, db);
        membri.push_back({db, prefisso + db, i});
        const std::string base = NomeBase(db);
        const std::string cartella = TrovaNome(prefisso, base) + Separatore();
        std::vector<std::string> sottocartelle;
        std::vector<std::string> nascosti;
        for (const VoceCartella& v : elenca(cartella)) {
            if (v.cartella) {
                sottocartelle.push_back(Mostrabile(v.nome));
                continue;
            }
            if (!v.file) continue;
            if (v.nascosto) {
                nascosti.push_back(Mostrabile(v.nome));
                continue;
            }
            ControllaNome(cartella, v.nome);
            membri.push_back({base + "_" + v.nome, cartella + v.nome, i});
        }
        if (!nascosti.empty()) {
            std::string elenco;
            for (const std::string& s : nascosti) elenco += (elenco.empty() ? "" : ", ") + s;
            o.Avviso("La cartella " + Mostrabile(cartella) +
                     " contiene file nascosti che non fanno parte del backup: " + elenco + ".");
        }
        if (!sottocartelle.empty()) {
            std::string elenco;
            for (const std::string& s : sottocartelle) elenco += (elenco.empty() ? "" : ", ") + s;
            o.Avviso("La cartella " + Mostrabile(cartella) +
                     " contiene sottocartelle che non fanno parte del backup: " + elenco + ".");
        }
    }
    // One member name, one file.
    std::map<std::string, const Membro*> nomi;
    for (const Membro& m : membri) {
        const auto [it, nuovo] = nomi.emplace(Maiuscolo(m.nome), &m);
        if (!nuovo) throw NomiInConflitto(it->second->sorgente, m.sorgente);
    }
    // The restore hands the files to the databases in this order, each taking its own file and
    // then every name that begins with its base name and "_": each must reach its own.
    std::vector<bool> preso(membri.size(), false);
    for (int i = 1; i <= dati.Count(); ++i) {
        const std::string modello = Maiuscolo(NomeBase(dati.GetItem(i)) + "_");
        for (size_t k = 0; k < membri.size(); ++k) {
            const Membro& m = membri[k];
            if (preso[k]) continue;
            const bool suo = m.proprietario == i && m.nome == dati.GetItem(i);
            if (!suo && !Maiuscolo(m.nome).starts_with(modello)) continue;
            if (m.proprietario != i) {
                const Membro& altro = membri[static_cast<size_t>(std::distance(
                    membri.begin(),
                    std::find_if(membri.begin(), membri.end(),
                                 [i](const Membro& x) { return x.proprietario == i; })))];
                throw NomiInConflitto(m.sorgente, altro.sorgente);
            }
            preso[k] = true;
        }
    }
}

}  // namespace

namespace {

// One backup, as the list of its steps. In a folder the new set is written beside the old one
// of the same name and takes its place only when complete (and verified): a failure leaves the
// old set as it was. Removable disks cannot hold both: there the blocks replace each other.
class Backup {
  public:
    Backup(const RichiestaBackup& r, OsservatoreOperazione& o)
        : r_(r), o_(o), pulsazione_(o), k_(r.verifica ? 2 : 1), provvisorio_(!r.floppy) {}

    // A host and its data, a destination that exists and can be written, databases whose
    // names a set can hold: all known before anything is compressed.
    void ControllaRichiesta();
    // Every database and its companion files into one archive in Temp.
    void Comprimi();
    // The archive split into the set's blocks and descriptors at the destination.
    void ScriviSet();
    bool DaVerificare() const { return r_.verificaDopo ? r_.verificaDopo() : r_.verifica; }
    // The set rebuilt and every member compared with its source.
    void Verifica();
    // In a folder, the new set takes the names of the day's earlier one.
    void Conferma();
    // After a failure: the staged set and the temporary files go.
    void DopoUnErrore();

    std::unique_ptr<ClsSpan>& Span() { return span_; }

  private:
    const RichiestaBackup& r_;
    OsservatoreOperazione& o_;
    Pulsazione pulsazione_;
    const double k_;  // the bar's share: halved when a verification follows
    const bool provvisorio_;
    std::unique_ptr<ClsSpan> span_;
    std::string destinazione_;
    std::string destinazioneProvvisoria_;  // where staged files of this run may stand
    std::vector<std::string> nostri_;      // temporary files this run may have made
    std::string prefisso_;                 // the data folder with its separator
    ClsInsieme dati_;                      // the databases
    std::string archivio_;
    std::map<std::string, std::string> compressi_;  // member -> its source, as compressed
    uint64_t totaleSorgenti_ = 0;
    std::string nomeSet_;
};

void Backup::ControllaRichiesta() {
    koUtilita& u = Utilita();
    if (r_.datiNonPresenti || r_.nonInstallato) {
        throw Errore(9985,
                     "Impossibile procedere con il backup. Dati non presenti o Brelvano non "
                     "installato.");
    }
    if (r_.floppy) {
        destinazione_ = CartellaFloppy();
    } else {
        destinazione_ = Spazi(r_.destinazione);
        if (destinazione_.empty()) throw Errore(9982, "E' necessario indicare la destinazione.");
        if (!u.IsCartella(destinazione_)) throw errori::DestinazioneNonValidaODiscoNonPronto();
        SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Dest", destinazione_);
    }
    if (u.IsCartella(r_.percorsoDati)) {
        prefisso_ = r_.percorsoDati;
        u.AggiungiSepDir(prefisso_);
        dati_.GetFilenames(r_.percorsoDati, "*.mdb");
    } else {
        prefisso_ = u.EstraiPath(r_.percorsoDati);
        dati_.Add(r_.percorsoDati.substr(prefisso_.size()), true, "#");
    }
    if (dati_.Count() == 0)
        throw Errore(9988, "Nessun file data presente. Impossibile effettuare il backup.");
    ControllaNomi(prefisso_, dati_, u.IsCartella(r_.percorsoDati), o_);
    // A destination that cannot be written (no disk in the drive, no write access) is
    // reported now, with the numbers and texts the writing would give, not after the
    // whole compression.
    ClsSpan().ControllaDestinazione(destinazione_);
}

void Backup::Comprimi() {
    koUtilita& u = Utilita();
    // What interrupted runs left is removed before this one writes anything.
    PulisciCartellaTemp(r_.cartellaTemp);
    std::string t = r_.cartellaTemp;
    u.AggiungiSepDir(t);
    archivio_ = t + nomi::kArchivioTemporaneo;
    nostri_.push_back(archivio_);
    const int n = dati_.Count();
    u.TogliCollegamento(archivio_);
    RimuoviSeEsiste(archivio_);
    o_.Messaggio("Compressione dati...");
    o_.Aggiorna();
    SessioneZip zip(archivio_);  // the archive stays open from the first file to the last
    // An archive the descriptors could not describe is refused as soon as it is known,
    // not after the rest of the compression.
    const auto controllaDimensione = [this] {
        if (Fs().Info(archivio_).dimensione > kMassimoArchivio)
            throw ArchivioTroppoGrande(archivio_);
    };
    for (int i = 1; i <= n; ++i) {
        const std::string db = dati_.GetItem(i);
        if (Fs().Info(prefisso_ + db).file) {
            // A database that cannot be read is reported as such, not as one in use,
            // unless another program holds it (on Windows, opened sharing nothing).
            try {
                File prova(prefisso_ + db, ModoApertura::Lettura);
            } catch (const Errore&) {
                if (!u.FileAperto(prefisso_ + db)) throw;
            }
        }
        if (u.FileAperto(prefisso_ + db)) throw errori::HostInEsecuzione("backup");
        const double dimensioneDb = static_cast<double>(Fs().Info(prefisso_ + db).dimensione);
        const double inizio = 34.0 / k_ * (i - 1) / n;
        const double passo = 34.0 / k_ / n;
        const auto avanzamento = [&](uint64_t byte) {
            if (dimensioneDb > 0)
                o_.Avanzamento(inizio +
                               passo * std::min(1.0, static_cast<double>(byte) / dimensioneDb));
            pulsazione_();
        };
        if (zip.Comprimi(prefisso_ + db, avanzamento) != 0) throw errori::ErroreCompressione();
        compressi_[db] = prefisso_ + db;
        controllaDimensione();
        const Compagni c(prefisso_, db);
        for (int j = 1; j <= c.file.Count(); ++j) {
            // Straight from its folder under its flattened name: the member a scratch copy
            // of that name would give, without the copy.
            const std::string sorgente = c.cartella + c.file.GetItem(j);
            if (zip.ComprimiCome(sorgente, c.base + "_" + c.file.GetItem(j),
                                 [this](uint64_t) { pulsazione_(); }) != 0) {
                throw errori::ErroreCompressione();
            }
            compressi_[c.base + "_" + c.file.GetItem(j)] = sorgente;
            controllaDimensione();
        }
        o_.Avanzamento(34.0 / k_ * i / n);
        o_.Aggiorna();
    }
    if (zip.Chiudi() != 0) throw errori::ErroreCompressione();
    totaleSorgenti_ = zip.ByteLetti();
}

void Backup::ScriviSet() {
    o_.Messaggio("Salvataggio dati...");
    o_.Aggiorna();
    span_ = std::make_unique<ClsSpan>();
    span_->Battito = [this] { pulsazione_(); };
    nomeSet_ = "BV" + FormattaData(Adesso(), "yyyyMMdd");
    if (provvisorio_) {
        CompletaConfermeInterrotte(destinazione_);
        ScartaSetProvvisori(destinazione_);
        FaiSpazioPerIlNuovoSet(destinazione_, nomeSet_, Fs().Info(archivio_).dimensione,
                               r_.sostituisciPrecedente);
        span_->ScritturaProvvisoria(true);
        destinazioneProvvisoria_ = destinazione_;
    } else {
        // A disk keeps what a killed run cut short until a backup clears it.
        try {
            ScartaSetProvvisori(destinazione_);
        } catch (const Errore&) {  // no disk yet: the writer reports it
        }
    }
    span_->filename(archivio_);
    span_->CaricaMemoria();
    Fs().Rimuovi(archivio_);  // the span object keeps it open
    o_.Avanzamento(66.0 / k_);
    o_.Aggiorna();
    span_->Avanzamento = [this](int16_t, int16_t pc) {
        o_.Avanzamento(66.0 / k_ + 34.0 / k_ * pc / 100.0);
        pulsazione_();
    };
    span_->Span(destinazione_, nomeSet_);
    o_.Avanzamento(100.0 / k_);
    o_.Aggiorna();
    span_->Dealloca();
}

void Backup::Verifica() {
    o_.Messaggio("Test...");
    o_.Aggiorna();
    span_->Avanzamento = [this](int16_t, int16_t pc) {
        o_.Avanzamento(50.0 + 16.0 * pc / 100.0);
        pulsazione_();
    };
    const std::string nomeScritto = (provvisorio_ ? nomi::kPrefissoProvvisorio : "") + nomeSet_;
    span_->Ricostruisci(destinazione_, nomeScritto, archivio_, true);
    o_.Avanzamento(66);
    o_.Aggiorna();
    span_->Dealloca();
    // Each member is compared with its source as it is inflated: nothing is written, and
    // every CRC is checked before a difference is reported. The files as they were
    // compressed: one deleted since (by the user, by the host) is told and its member only
    // checked whole; one added since is not in this set.
    std::map<std::string, std::string> sorgenti = compressi_;  // member -> its source
    for (auto& [membro, sorgente] : sorgenti) {
        if (Fs().Info(sorgente).esiste) continue;
        o_.Avviso("Il file " + Mostrabile(sorgente) +
                  " è stato eliminato durante il backup: il backup ne contiene la copia "
                  "salvata, verificata senza confronto.");
        sorgente.clear();
    }
    const auto confronto = [this](uint64_t byte) {
        if (totaleSorgenti_ > 0) {
            o_.Avanzamento(66.0 + 14.0 * std::min(1.0, static_cast<double>(byte) /
                                                           static_cast<double>(totaleSorgenti_)));
        }
        pulsazione_();
    };
    EsitoConfronto esito;
    if (ConfrontaMembri(archivio_, sorgenti, esito, confronto) != 0)
        throw errori::ErroreDecompressione();
    Fs().Rimuovi(archivio_);
    o_.Avanzamento(80);
    o_.Aggiorna();
    if (!esito.uguali) throw Errore(9987, "Verifica fallita.", esito.primaDifferenza);
    const int n = dati_.Count();
    for (int i = 1; i <= n; ++i) {
        o_.Messaggio("Fine operazione.");
        o_.Avanzamento(80.0 + 20.0 * i / n);
    }
}

void Backup::Conferma() {
    if (!provvisorio_) return;
    span_->ConfermaSet(destinazione_, nomeSet_);
    destinazioneProvvisoria_.clear();
}

void Backup::DopoUnErrore() {
    if (!destinazioneProvvisoria_.empty()) {
        try {
            ScartaSetProvvisori(destinazioneProvvisoria_);
        } catch (const Errore& e) {  // a volume gone: nothing more to tidy
            Utilita().ScriviLog("Set provvisorio non rimosso: " + e.Dettaglio());
        }
    }
    // Nothing of a failed run stays in the temporary folder.
    for (const std::string& f : nostri_) {
        try {
            if (Fs().Info(f).esiste) RimuoviAlbero(f);
        } catch (const Errore&) {  // the next start's clean-up takes it
        }
    }
    PulisciCartellaTemp(r_.cartellaTemp);
}

}  // namespace

bool EseguiBackup(const RichiestaBackup& r, OsservatoreOperazione& o) {
    Backup backup(r, o);
    try {
        o.InCorso(true);
        o.AlLavoro(true);
        o.Messaggio("Attendere...");
        o.Aggiorna();
        backup.ControllaRichiesta();
        backup.Comprimi();
        backup.ScriviSet();
        if (backup.DaVerificare()) {
            backup.Verifica();
        } else {
            o.Messaggio("Fine operazione.");
        }
        backup.Conferma();
        o.Aggiorna();
        o.AlLavoro(false);
        InterazioneCorrente().Messaggio("Backup completato correttamente.", "Backup",
                                        Icona::Informazione, Pulsanti::Ok);
        o.InCorso(false);
        return true;
    } catch (...) {
        backup.DopoUnErrore();
        MostraErroreCorrente(backup.Span(), o);
        o.InCorso(false);
        return false;
    }
}

}  // namespace bv
