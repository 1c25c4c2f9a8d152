// The backup command's algorithm, free of any window.
#include "operazioni/backup.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <vector>

#include "archive/nomi_membri.h"
#include "archive/zippo.h"
#include "fileset/clsinsieme.h"
#include "operazioni/stato_avvio.h"
#include "operazioni/conserva_set.h"
#include "operazioni/destinazione_ritrovata.h"
#include "operazioni/impostazioni_programma.h"
#include "platform/codifica.h"
#include "platform/data_ora.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/spazio_disco.h"
#include "recupero/lettore.h"
#include "recupero/scrittore.h"
#include "sicurezza/conferma_set.h"
#include "sicurezza/nomi_provvisori.h"
#include "span/clsspan.h"
#include "span/descrittore.h"
#include "util/errori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

namespace {

// The user chose not to replace the day's earlier set: nothing done, nothing to report.
struct Rinuncia {};

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
        // A database may have no folder: it is saved alone, and its restore makes an empty one.
        if (Fs().Info(cartella).cartella) file.GetFilenames(cartella, "*.*");
    }
};

// A folder of a fixed disk without room for the new set, and no set of today to replace: the
// oldest sets may go, if the user says so, listed with their dates and sizes; never the newest
// set of the folder, and only as many as the room needs. True when they went.
bool OffriDiTogliereIPiuVecchi(const std::string& cartella, const std::string& nomeSet,
                               uint64_t serve, int64_t libero, Interazione& domande) {
    std::vector<SetConservato> set;
    for (SetConservato& s : SetNellaCartella(cartella))
        if (s.nome != nomeSet) set.push_back(std::move(s));
    if (set.size() < 2) return false;
    set.pop_back();  // the newest stays
    std::vector<SetConservato> via;
    uint64_t liberati = 0;
    for (SetConservato& s : set) {
        if (static_cast<uint64_t>(libero) + liberati >= serve) break;
        liberati += s.byte;
        via.push_back(std::move(s));
    }
    if (static_cast<uint64_t>(libero) + liberati < serve) return false;
    std::string elenco;
    for (const SetConservato& s : via) {
        char riga[96];
        std::snprintf(riga, sizeof riga, "\n  %s/%s/%s  —  %.1f MB", s.nome.substr(8, 2).c_str(),
                      s.nome.substr(6, 2).c_str(), s.nome.substr(2, 4).c_str(),
                      static_cast<double>(s.byte) / (1024.0 * 1024.0));
        std::string r = riga;
        r[r.rfind('.')] = ',';  // the decimal comma of every size the user reads
        elenco += r;
    }
    if (domande.Messaggio("La cartella " + PercorsoPerMessaggio(cartella) +
                              " non ha spazio per il nuovo backup. Rimuovere i backup più "
                              "vecchi per fare spazio?" + elenco,
                          "Backup", Icona::Domanda, Pulsanti::SiNo) != Risposta::Si)
        return false;
    for (const SetConservato& s : via) {
        RimuoviSet(cartella, s.nome);
        Utilita().ScriviLog("Backup rimosso per fare spazio: " + cartella + s.nome);
    }
    return true;
}

// The new set is written beside the day's earlier one and replaces it once verified. A folder
// (not a disk: nothing to swap there) with room for the new set only if the earlier one goes
// first is told so; the earlier set is then removed before writing (after a confirmation, or
// at once when asked to), or the backup ends.
void FaiSpazioPerIlNuovoSet(std::string cartella, const std::string& nomeSet,
                            uint64_t archivio, bool senzaChiedere, Interazione& domande) {
    cartella = Utilita().AggiungiSepDir(cartella);
    const int64_t libero = SpazioLiberoDisco(cartella);
    // The archive, its descriptors and the writer's margin.
    const uint64_t serve = archivio + (uint64_t{1} << 20);
    if (libero < 0 || static_cast<uint64_t>(libero) >= serve) return;
    std::vector<std::string> precedente;
    uint64_t occupato = 0;
    const std::regex nome(nomeSet + "(#[0-9]+(\\.inf)?|(\\.vol[0-9]+\\+[0-9]+)?\\.par2)",
                          std::regex::icase);
    for (const VoceCartella& v : Fs().Elenca(cartella)) {
        if (!v.file || !std::regex_match(v.nome, nome)) continue;
        precedente.push_back(v.nome);
        occupato += Fs().Info(cartella + v.nome).dimensione;
    }
    if (precedente.empty() || static_cast<uint64_t>(libero) + occupato < serve) {
        // A folder of a fixed disk is no disk to change: how much is needed and free, now,
        // before anything is written.
        if (!SuUnitaRimovibile(cartella)) {
            if (precedente.empty() && OffriDiTogliereIPiuVecchi(cartella, nomeSet, serve, libero, domande))
                return;
            throw errori::SpazioCartellaInsufficiente(cartella, serve, libero);
        }
        return;
    }
    if (!senzaChiedere &&
        domande.Messaggio(
            "La cartella " + PercorsoPerMessaggio(cartella) +
                " non ha spazio per conservare il backup precedente di oggi mentre il nuovo "
                "viene scritto e verificato. Sostituire subito il backup precedente? Se il nuovo "
                "backup non riesce, di oggi non resterà alcun backup.",
            "Backup", Icona::Domanda, Pulsanti::SiNo) != Risposta::Si) {
        throw errori::OperazioneAnnullata();
    }
    Utilita().ScriviLog("Backup precedente sostituito per mancanza di spazio: " + cartella +
                        nomeSet);
    // Recovery files, then descriptors: none names a block that is gone.
    const auto ordine = [](const std::string& f) {
        return f.ends_with(".par2") ? 0 : f.ends_with(".inf") ? 1 : 2;
    };
    std::sort(precedente.begin(), precedente.end(),
              [&ordine](const std::string& a, const std::string& b) { return ordine(a) < ordine(b); });
    for (const std::string& f : precedente) Fs().Rimuovi(cartella + f);
    Fs().SincronizzaCartella(CartellaSenzaSeparatore(cartella));
}

// The recovery data of an archive of `archivio` bytes: slices small enough for 16 in a block
// (a multiple of 4, as the format asks, and no more than 32768 in the set), and enough of
// them for `percentuale` of the bytes, held in memory while the blocks are written: at most
// 64 MB of them (a larger set gets a smaller share).
struct FormaRecupero {
    uint64_t fetta = 0;
    uint32_t fette = 0;
};

FormaRecupero FormaDelRecupero(uint64_t archivio, int64_t libero, int percentuale) {
    constexpr uint64_t kMemoria = uint64_t{64} << 20;
    // The first block is the largest: the archive, as much as the folder's volume holds, at
    // most the largest block.
    uint64_t blocco = std::min<uint64_t>(archivio, ClsSpan::kMassimoBlocco);
    if (libero > ClsSpan::kRiserva)
        blocco = std::min(blocco, static_cast<uint64_t>(libero - ClsSpan::kRiserva));
    uint64_t fetta = std::max<uint64_t>(4, blocco / 16 / 4 * 4);
    const uint64_t minima = (archivio + 32767) / 32768;
    if (fetta < minima) fetta = (minima + 3) / 4 * 4;
    const uint64_t voluti = archivio * static_cast<uint64_t>(percentuale) / 100;
    uint64_t fette = std::max<uint64_t>(1, (voluti + fetta - 1) / fetta);
    fette = std::min(fette, std::max<uint64_t>(1, kMemoria / fetta));
    return {fetta, static_cast<uint32_t>(fette)};
}

// Over removable disks: enough recovery data to rebuild any one disk (each full block is 16
// slices; the disk in the drive, the first, is taken as the size of every disk), or
// `percentuale` of the set when that is more, within the same memory.
FormaRecupero FormaSuDischi(uint64_t archivio, int64_t libero, int percentuale) {
    uint64_t blocco = static_cast<uint64_t>(std::max<int64_t>(libero - ClsSpan::kRiserva, 4));
    blocco = std::min<uint64_t>({blocco, archivio, ClsSpan::kMassimoBlocco});
    uint64_t fetta = std::max<uint64_t>(4, (blocco + 63) / 64 * 4);
    const uint64_t minima = (archivio + 32767) / 32768;
    if (fetta < minima) fetta = (minima + 3) / 4 * 4;
    const uint64_t disco = (blocco + fetta - 1) / fetta;
    const uint64_t voluti = (archivio * static_cast<uint64_t>(percentuale) / 100 + fetta - 1) / fetta;
    const uint64_t memoria = std::max(disco, (uint64_t{64} << 20) / fetta);
    return {fetta, static_cast<uint32_t>(std::min(std::max(disco, voluti), memoria))};
}

// The blocks' slices checked on a thread of their own while the rebuild reads them (the MD5s
// are the check's whole cost): the reader hands over copies, at most a few waiting.
class ControlloInParallelo {
  public:
    explicit ControlloInParallelo(const recupero::InsiemeRecupero& insieme, std::string nomeSet)
        : controllo_(insieme), nomeSet_(std::move(nomeSet)), thread_([this] { Lavora(); }) {}
    ~ControlloInParallelo() {
        {
            std::lock_guard<std::mutex> l(m_);
            fine_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    ControlloInParallelo(const ControlloInParallelo&) = delete;
    ControlloInParallelo& operator=(const ControlloInParallelo&) = delete;

    void Aggiungi(int32_t blocco, const uint8_t* dati, size_t n) {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [this] { return coda_.size() < 4; });
        coda_.emplace_back(blocco, std::vector<uint8_t>(dati, dati + n));
        cv_.notify_all();
    }
    // Once every block is read: whether each was the one described, and how many there were.
    bool Esito(int32_t& blocchi) {
        std::unique_lock<std::mutex> l(m_);
        cv_.wait(l, [this] { return coda_.empty() && !occupato_; });
        if (inControllo_ >= 0) buoni_ = controllo_.FineFile() && buoni_;
        blocchi = inControllo_ + 1;
        inControllo_ = -1;
        return buoni_;
    }

  private:
    void Lavora() {
        std::unique_lock<std::mutex> l(m_);
        for (;;) {
            cv_.wait(l, [this] { return !coda_.empty() || fine_; });
            if (coda_.empty()) return;
            auto [n, dati] = std::move(coda_.front());
            coda_.pop_front();
            occupato_ = true;
            cv_.notify_all();
            l.unlock();
            if (n != inControllo_) {
                if (inControllo_ >= 0) buoni_ = controllo_.FineFile() && buoni_;
                controllo_.IniziaFile(nomi::Blocco(nomeSet_, n));
                inControllo_ = n;
            }
            controllo_.Aggiungi(dati.data(), dati.size());
            l.lock();
            occupato_ = false;
            cv_.notify_all();
        }
    }

    recupero::ControlloFette controllo_;
    std::string nomeSet_;
    int32_t inControllo_ = -1;
    bool buoni_ = true;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::pair<int32_t, std::vector<uint8_t>>> coda_;
    bool occupato_ = false;
    bool fine_ = false;
    std::thread thread_;
};

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
        throw Errore(errori::NomeNonAmmesso,
                     "Il nome del file " + file + " contiene caratteri non validi." + rinomina);
    }
    if (NomeRiservatoAUnDispositivo(nome)) {
        throw Errore(errori::NomeNonAmmesso,
                     "Il nome del file " + file +
                         " è riservato dal sistema (nome di un dispositivo)." + rinomina);
    }
    if (nome.find('#') != std::string::npos) {
        throw Errore(errori::NomeNonAmmesso,
                     "Il nome del file " + file +
                         " contiene il carattere #, che il backup non può conservare." + rinomina);
    }
    // Checked on every system: the set must restore on Windows too.
    if (BordoNonAmmesso(nome)) {
        throw Errore(errori::NomeNonAmmesso,
                     "Il nome del file " + file +
                         " inizia o finisce con uno spazio, o finisce con un punto: Windows "
                         "non può conservarlo." +
                         rinomina);
    }
}

// The longest name component both systems hold: 255 bytes on POSIX, 255 UTF-16 units on
// Windows (a UTF-8 name never has more units than bytes: the bytes decide).
constexpr size_t kMassimoComponente = 255;
// The longest safety copy's suffix the restore may give (NomeLibero counts up to 32767).
constexpr const char* kCopiaPiuLunga = ".cfb32767";

// Every name the restore builds from a file's name must fit: each component, in the
// archive, the work folder and the data folder; the whole path as the restore makes it in
// the data folder. `componenti` are the names it becomes, `percorsi` the paths (with whether
// each is a folder the restore creates).
void ControllaLunghezze(const std::string& file, const std::vector<std::string>& componenti,
                        const std::vector<std::pair<std::string, bool>>& percorsi) {
    for (const std::string& c : componenti) {
        if (c.size() <= kMassimoComponente) continue;
        throw Errore(errori::NomeNonAmmesso,
                     "Il nome del file " + Mostrabile(file) +
                         " è troppo lungo: nel backup o nel ripristino diventerebbe un "
                         "nome di " +
                         std::to_string(c.size()) + " byte, oltre i " +
                         std::to_string(kMassimoComponente) +
                         " ammessi. Abbreviare il nome del file e ripetere il backup.");
    }
    for (const auto& [p, cartella] : percorsi) {
        if (PercorsoAmmessoDalSistema(p, cartella)) continue;
        throw Errore(errori::NomeNonAmmesso,
                     "Il percorso del file " + Mostrabile(file) +
                         " è troppo lungo: il ripristino creerebbe " + Mostrabile(p) +
                         ", oltre i " + std::to_string(LunghezzaMassimaPercorso(cartella)) +
                         " caratteri ammessi. Abbreviare il nome del file o il percorso "
                         "della cartella dati e ripetere il backup.");
    }
}

// A database's names in the restore: its safety copy while it grows, and its folder's copy;
// in the data folder its staged name, the staged folder and the mark in it. `ultimo` is the
// highest entry number the restore may give it.
// Where the restore extracts a member: a numbered work folder of the temporary folder `temp`
// (the largest number it may take).
std::string NelLavoro(const std::string& temp, const std::string& membro) {
    std::string t = temp;
    if (!t.empty() && t.back() != Separatore()) t += Separatore();
    return nomi::CartellaDiLavoro(t, 100001) + Separatore() + membro;
}

void ControllaLunghezzeDatabase(const std::string& prefisso, const std::string& database,
                                const std::string& cartella, int ultimo, const std::string& temp) {
    const std::string copia = nomi::CopiaProvvisoria(prefisso + database + kCopiaPiuLunga);
    std::string senzaSeparatore = cartella;
    senzaSeparatore.pop_back();
    const std::string copiaCartella = senzaSeparatore + kCopiaPiuLunga;
    const std::string provvisoria = nomi::CartellaRipristinata(prefisso, ultimo);
    ControllaLunghezze(prefisso + database, {database, NomeDi(copia), NomeDi(copiaCartella)},
                       {{NelLavoro(temp, database), false},
                        {copia, false},
                        {copiaCartella, false},
                        {nomi::DatabaseRipristinato(prefisso, ultimo), false},
                        {provvisoria, true},
                        {nomi::SegnoRipristinata(provvisoria, std::string(16, '0')), false}});
}

// A companion file's names: its member in the archive and the work folder, itself in the
// staged folder and in its own.
void ControllaLunghezzeCompagno(const std::string& prefisso, const std::string& cartella,
                                const std::string& membro, const std::string& nome, int ultimo,
                                const std::string& temp) {
    ControllaLunghezze(cartella + nome, {membro, nome},
                       {{NelLavoro(temp, membro), false},
                        {nomi::CartellaRipristinata(prefisso, ultimo) + Separatore() + nome, false},
                        {cartella + nome, false}});
}

Errore NomiInConflitto(const std::string& a, const std::string& b) {
    return errori::CreaCon(errori::NomiUguali, {Mostrabile(a), Mostrabile(b)});
}

// Names that would give a set that does not restore, or restores files elsewhere, are refused
// before anything is written, naming the files: names that are not UTF-8 (the archive could
// not give them back), with control characters, reserved for a device on Windows, or with a "#"
// (the name set ends a name there), with a leading or trailing blank or a trailing dot, too
// long for the names and paths the restore makes of them, companion files named as databases
// (the restore would take them for one), databases or
// companion files equal but for letter case (one would be lost: Windows cannot hold both), and
// flattened names that the restore would hand to another database's folder. Sub-folders of a
// companion folder are not part of the format: the user is told which are left out.
void ControllaNomi(const std::string& prefisso, const ClsInsieme& dati, bool cartellaDati,
                   const std::string& temp,
                   const std::function<void(const std::string&)>& avvisa) {
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
            avvisa("Il database " + Mostrabile(prefisso + v.nome) +
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
        ControllaLunghezzeDatabase(prefisso, db, cartella, dati.Count(), temp);
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
            // The restore takes every "*.mdb" of the set for a database of its own.
            if (ClsInsieme::Corrisponde(base + "_" + v.nome, "*.mdb")) {
                throw Errore(errori::NomeNonAmmesso,
                             "Il file " + Mostrabile(cartella + v.nome) +
                                 " ha il nome di un database (.mdb): il ripristino lo "
                                 "restituirebbe come un database a sé, fuori dalla "
                                 "sua cartella. Rinominare il file e ripetere il backup.");
            }
            ControllaLunghezzeCompagno(prefisso, cartella, base + "_" + v.nome, v.nome,
                                       dati.Count(), temp);
            membri.push_back({base + "_" + v.nome, cartella + v.nome, i});
        }
        if (!nascosti.empty()) {
            std::string elenco;
            for (const std::string& s : nascosti) elenco += (elenco.empty() ? "" : ", ") + s;
            avvisa("La cartella " + Mostrabile(cartella) +
                     " contiene file nascosti che non fanno parte del backup: " + elenco + ".");
        }
        if (!sottocartelle.empty()) {
            std::string elenco;
            for (const std::string& s : sottocartelle) elenco += (elenco.empty() ? "" : ", ") + s;
            avvisa("La cartella " + Mostrabile(cartella) +
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
// of the same name and takes its place only when complete (and verified): a failure or a cancel
// leaves the old set as it was. Removable disks cannot hold both: there the blocks replace each
// other.
class Backup {
  public:
    Backup(const RichiestaBackup& r, GanciOperazione& g, Risultato& ris)
        : r_(r), g_(g), ris_(ris), barra_(g), provvisorio_(!r.floppy) {}

    // A host and its data, a destination that exists and can be written, databases whose
    // names a set can hold: all known before anything is compressed.
    void ControllaRichiesta();
    // Every database and its companion files into one archive in Temp.
    void Comprimi();
    // The archive split into the set's blocks and descriptors at the destination.
    void ScriviSet();
    // In a folder, the recovery files of the blocks just written, staged beside them; over
    // disks, on one or more disks of their own after the last.
    void ScriviRecupero();
    void ScriviRecuperoSuDischi();
    // A disk of recovery data just written, read back from the medium.
    void ControllaDiscoDiRecupero(const std::vector<std::string>& scritti, uint32_t fette) const;
    // The set rebuilt and every member compared with its source.
    void Verifica();
    // In a folder, the new set takes the names of the day's earlier one.
    void Conferma();
    // Where the set went, its size, its disks, whether it was verified.
    void Riepiloga();
    // After a failure or a cancel: the staged set and the temporary files go; what was kept.
    void DopoUnErrore();
    CosaResta Resta() const;
    // An error as the user can act on it: a destination gone midway (a stick pulled out) is
    // said as such, not by the internal name that could not be written.
    Errore Spiega(const Errore& e) const;
    // A set of today in the folder: its time noted, and in the window the user asked first.
    void ChiediSeSostituire();
    // The bytes of the day's earlier set in the folder (it makes room when replaced).
    uint64_t OccupatoDalPrecedente() const;
    // A database that is open in another program (9983) or cannot be read is named.
    static void ControllaDatabase(const std::string& percorso);
    // The failed compression's cause, as the user can act on it.
    [[noreturn]] void CompressioneFallita(int codice) const;
    uint64_t TotaleDaComprimere() const;

    std::unique_ptr<ClsSpan>& Span() { return span_; }

  private:
    void Avvisa(const std::string& testo) {
        Utilita().ScriviLog("Attenzione: " + testo);
        ris_.avvisi.push_back(testo);
        g_.Avviso(testo);
    }

    const RichiestaBackup& r_;
    GanciOperazione& g_;
    Risultato& ris_;
    Barra barra_;
    const bool provvisorio_;
    std::unique_ptr<ClsSpan> span_;
    std::unique_ptr<recupero::ScrittoreRecupero> recupero_;  // fed as the blocks are written
    int32_t bloccoInRecupero_ = -1;
    std::vector<std::string> fileRecupero_;  // their final names
    // The blocks as the recovery data describe them, for the verification.
    std::optional<recupero::InsiemeRecupero> descrizione_;
    uint32_t fetteScritte_ = 0;
    std::string destinazione_;
    std::string destinazioneProvvisoria_;  // where staged files of this run may stand
    std::vector<std::string> nostri_;      // temporary files this run may have made
    std::string prefisso_;                 // the data folder with its separator
    ClsInsieme dati_;                      // the databases
    std::string archivio_;
    uint64_t dimensioneArchivio_ = 0;
    std::map<std::string, std::string> compressi_;  // member -> its source, as compressed
    uint64_t totaleSorgenti_ = 0;
    std::string nomeSet_;
    bool troppoGrande_ = false;  // the archive outgrew what the descriptors can describe
    bool dischiScritti_ = false;  // a removable disk's earlier set has begun to be replaced
    bool precedente_ = false;     // the folder held a set of today before this run
    int dischi_ = 0;
};

void Backup::ControllaRichiesta() {
    koUtilita& u = Utilita();
    if (r_.datiNonPresenti || r_.nonInstallato) {
        throw errori::Crea(errori::DatiNonPresenti);
    }
    if (r_.floppy) {
        destinazione_ = CartellaFloppy();
    } else {
        destinazione_ = Spazi(r_.destinazione);
        if (destinazione_.empty()) throw errori::Crea(errori::DestinazioneMancante);
        if (const auto altrove = RitrovaDestinazione(destinazione_, VolumeRicordatoPer(destinazione_))) {
            Avvisa(TestoDestinazioneRitrovata(destinazione_, *altrove));
            destinazione_ = altrove->cartella;
        }
        if (!u.IsCartella(destinazione_)) throw errori::DestinazioneNonValidaODiscoNonPronto();
        SalvaImpostazione(ApplicazioneProgramma(), kSezioneBackup, "Dest", destinazione_);
        RicordaVolumeDestinazione(kSezioneBackup, destinazione_);
    }
    nomeSet_ = "BV" + FormattaData(Adesso(), "yyyyMMdd");
    // Where the set goes, for the cancel's words too.
    ris_.backup.nomeSet = nomeSet_;
    ris_.backup.cartella = destinazione_;
    ris_.backup.suDischi = r_.floppy;
    if (!r_.floppy) ChiediSeSostituire();
    if (u.IsCartella(r_.percorsoDati)) {
        prefisso_ = r_.percorsoDati;
        prefisso_ = u.AggiungiSepDir(prefisso_);
        dati_.GetFilenames(r_.percorsoDati, "*.mdb");
    } else if (Fs().Info(r_.percorsoDati).file) {
        prefisso_ = u.EstraiPath(r_.percorsoDati);
        dati_.Add(r_.percorsoDati.substr(prefisso_.size()), true, "#");
    } else {
        // Not "no data": the folder the host's settings name is not there (a drive not
        // connected, a folder moved).
        throw errori::CartellaDatiAssente(r_.percorsoDati);
    }
    if (dati_.Count() == 0) throw errori::NessunDatoDaSalvare();
    // The restore's temporary folder is taken as this installation's: a restore elsewhere
    // under a much longer program folder is not foreseen.
    ControllaNomi(prefisso_, dati_, u.IsCartella(r_.percorsoDati), r_.cartellaTemp,
                  [this](const std::string& t) { Avvisa(t); });
    // Every database readable and closed before the first is compressed: the user learns it
    // at once, not after minutes of compression.
    for (int i = 1; i <= dati_.Count(); ++i) ControllaDatabase(prefisso_ + dati_.GetItem(i));
    // A destination that cannot be written (no disk in the drive, no write access) is
    // reported now, with the numbers and texts the writing would give, not after the
    // whole compression.
    ClsSpan().ControllaDestinazione(destinazione_);
    // The bar's phases, by the bytes each handles: the archive is taken as large as its
    // sources until it is made.
    const uint64_t sorgenti = TotaleDaComprimere();
    // A folder of a fixed disk that cannot hold even the smallest archive the data could give
    // (databases do not shrink a hundredfold) is told before minutes of compression.
    if (!r_.floppy && !SuUnitaRimovibile(destinazione_)) {
        const uint64_t almeno = sorgenti / 100 + ClsSpan::kRiserva;
        const int64_t libero = SpazioLiberoDisco(destinazione_);
        if (libero >= 0 && static_cast<uint64_t>(libero) + OccupatoDalPrecedente() < almeno)
            throw errori::SpazioCartellaInsufficiente(destinazione_, almeno, libero);
    }
    barra_.Prevedi(Fase::Compressione, sorgenti);
    barra_.Prevedi(Fase::Scrittura, sorgenti);
    if (r_.verifica) {
        barra_.Prevedi(Fase::Ricostruzione, sorgenti);
        barra_.Prevedi(Fase::Confronto, sorgenti);
    }
}

void Backup::ChiediSeSostituire() {
    const std::string descrittore = Utilita().AggiungiSepDir(destinazione_) + nomeSet_ + "#0.inf";
    precedente_ = Fs().Info(descrittore).file;
    if (!precedente_) return;
    std::string ora;
    try {
        ora = LeggiDescrittore(LeggiFileTesto(descrittore)).ora.substr(0, 5);
    } catch (const Errore& e) {  // a damaged descriptor: the set is replaced all the same
        Utilita().ScriviLog("Ora del backup precedente non letta: " + e.Dettaglio());
    }
    ris_.backup.oraSostituito = ora.empty() ? "?" : ora;
    if (!r_.chiediPrimaDiSostituire) return;
    // The set name is one a day: the format cannot hold two sets of the same day.
    const std::string quando = ora.empty() ? "di oggi" : "di oggi delle " + ora;
    if (g_.Domande().Messaggio("La cartella " + PercorsoPerMessaggio(destinazione_) +
                                   " contiene già il backup " + quando +
                                   ". Il nuovo backup lo sostituirà (se ne può tenere uno al "
                                   "giorno). Procedere?",
                               "Backup", Icona::Domanda, Pulsanti::SiNo) != Risposta::Si)
        throw Rinuncia{};
}

uint64_t Backup::OccupatoDalPrecedente() const {
    if (!precedente_) return 0;
    const std::string cartella = Utilita().AggiungiSepDir(destinazione_);
    const std::regex nome(nomeSet_ + "#[0-9]+(\\.inf)?", std::regex::icase);
    uint64_t occupato = 0;
    for (const VoceCartella& v : Fs().Elenca(cartella))
        if (v.file && std::regex_match(v.nome, nome)) occupato += Fs().Info(cartella + v.nome).dimensione;
    return occupato;
}

void Backup::Comprimi() {
    koUtilita& u = Utilita();
    // What interrupted runs left is removed before this one writes anything.
    PulisciCartellaTemp(r_.cartellaTemp);
    std::string t = r_.cartellaTemp;
    t = u.AggiungiSepDir(t);
    archivio_ = t + nomi::kArchivioTemporaneo;
    nostri_.push_back(archivio_);
    const int n = dati_.Count();
    u.TogliCollegamento(archivio_);
    RimuoviSeEsiste(archivio_);
    barra_.Inizia(Fase::Compressione, "Compressione dati...");
    SessioneZip zip(archivio_);  // the archive stays open from the first file to the last
    if (!r_.chiave.empty()) zip.Cifra(r_.chiave);
    // An archive the descriptors could not describe is refused as soon as it is known,
    // not after the rest of the compression.
    const auto controllaDimensione = [this] {
        if (Fs().Info(archivio_).dimensione > kMassimoArchivio) {
            troppoGrande_ = true;
            throw ArchivioTroppoGrande(archivio_);
        }
    };
    uint64_t letti = 0;  // the bytes of the files already compressed
    // The archive is watched as it grows: a database of 2.2 GB is refused at 2 GB, not after
    // filling the temporary folder.
    const auto avanzamento = [&](uint64_t byte) {
        barra_.Fatti(letti + byte);
        controllaDimensione();
    };
    const auto comprimiFile = [&](const std::string& sorgente, const std::string& membro) {
        if (const int r = zip.ComprimiCome(sorgente, membro, avanzamento); r != 0)
            CompressioneFallita(r);
        compressi_[membro] = sorgente;
        letti += Fs().Info(sorgente).dimensione;
        controllaDimensione();
    };
    for (int i = 1; i <= n; ++i) {
        const std::string db = dati_.GetItem(i);
        // Again just before it is read: the host may have been started meanwhile.
        ControllaDatabase(prefisso_ + db);
        comprimiFile(prefisso_ + db, db);
        // Each companion straight from its folder under its flattened name: the member a
        // scratch copy of that name would give, without the copy.
        const Compagni c(prefisso_, db);
        for (int j = 1; j <= c.file.Count(); ++j)
            comprimiFile(c.cartella + c.file.GetItem(j), c.base + "_" + c.file.GetItem(j));
    }
    if (const int r = zip.Chiudi(); r != 0) CompressioneFallita(r);
    totaleSorgenti_ = zip.ByteLetti();
    dimensioneArchivio_ = Fs().Info(archivio_).dimensione;
    barra_.Prevedi(Fase::Scrittura, dimensioneArchivio_);
    if (r_.verifica) barra_.Prevedi(Fase::Ricostruzione, dimensioneArchivio_);
}

void Backup::ControllaDatabase(const std::string& percorso) {
    koUtilita& u = Utilita();
    if (!Fs().Info(percorso).file) return;  // the compression names a database that went
    try {
        File prova(percorso, ModoApertura::Lettura);
    } catch (const Errore& e) {
        // Held by another program (on Windows, opened sharing nothing), or not readable at
        // all: closing the host helps only in the first case.
        if (u.FileAperto(percorso)) throw errori::HostInEsecuzione("backup", percorso);
        throw errori::DatabaseIlleggibile(percorso, e);
    }
    if (u.FileAperto(percorso)) throw errori::HostInEsecuzione("backup", percorso);
}

void Backup::CompressioneFallita(int codice) const {
    if (troppoGrande_) throw ArchivioTroppoGrande(archivio_);
    // A cancel thrown from the progress reaches here as the archive's failure.
    barra_.PuntoSicuro();
    // The temporary folder is full: said as such, where it is and how much the archive may
    // take (at most what it compresses).
    if (codice == zip_codice::DiscoPieno) {
        throw errori::TempSenzaSpazio(r_.cartellaTemp, TotaleDaComprimere(),
                                      SpazioLiberoDisco(r_.cartellaTemp));
    }
    throw errori::ErroreCompressione();
}

uint64_t Backup::TotaleDaComprimere() const {
    uint64_t totale = 0;
    for (int i = 1; i <= dati_.Count(); ++i) {
        const std::string db = dati_.GetItem(i);
        totale += Fs().Info(prefisso_ + db).dimensione;
        const Compagni c(prefisso_, db);
        for (int j = 1; j <= c.file.Count(); ++j)
            totale += Fs().Info(c.cartella + c.file.GetItem(j)).dimensione;
    }
    return totale;
}

void Backup::ScriviSet() {
    barra_.Inizia(Fase::Scrittura, "Salvataggio dati...");
    span_ = std::make_unique<ClsSpan>();
    span_->Domande(g_.Domande());
    if (provvisorio_) {
        CompletaConfermeInterrotte(destinazione_);
        ScartaSetProvvisori(destinazione_);
        FaiSpazioPerIlNuovoSet(destinazione_, nomeSet_, dimensioneArchivio_,
                               r_.sostituisciPrecedente, g_.Domande());
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
    span_->Avanzamento = [this](int16_t, int16_t pc) {
        dischiScritti_ = true;
        barra_.Fatti(dimensioneArchivio_ * static_cast<uint64_t>(pc) / 100);
    };
    dischiScritti_ = !provvisorio_;
    if (r_.percentualeRecupero > 0) {
        const int64_t libero = SpazioLiberoDisco(destinazione_);
        const FormaRecupero forma =
            provvisorio_ ? FormaDelRecupero(dimensioneArchivio_, libero, r_.percentualeRecupero)
                         : FormaSuDischi(dimensioneArchivio_, libero, r_.percentualeRecupero);
        recupero_ = std::make_unique<recupero::ScrittoreRecupero>(forma.fetta, forma.fette);
        // Each block is an input file under its final name, fed in the one pass that writes it.
        span_->DatiBlocco = [this](int32_t n, const uint8_t* dati, size_t quanti) {
            if (n != bloccoInRecupero_) {
                if (bloccoInRecupero_ >= 0) recupero_->FineFile();
                recupero_->IniziaFile(nomi::Blocco(nomeSet_, n));
                bloccoInRecupero_ = n;
            }
            recupero_->Aggiungi(dati, quanti);
        };
    }
    span_->Span(destinazione_, nomeSet_);
    span_->DatiBlocco = nullptr;
    dischi_ = span_->BlocchiScritti();
    span_->Dealloca();
    if (recupero_) ScriviRecupero();
}

void Backup::ScriviRecupero() {
    barra_.PuntoSicuro();
    recupero_->FineFile();
    descrizione_ = recupero_->Descrizione();
    fetteScritte_ = recupero_->FetteRecupero();
    if (provvisorio_) {
        const std::vector<std::string> scritti =
            recupero_->Scrivi(destinazione_, nomi::kPrefissoProvvisorio + nomeSet_, 1);
        for (const std::string& p : scritti)
            fileRecupero_.push_back(NomeDi(p).substr(std::string(nomi::kPrefissoProvvisorio).size()));
    } else {
        ScriviRecuperoSuDischi();
    }
    recupero_.reset();  // the recovery slices' memory
}

void Backup::ScriviRecuperoSuDischi() {
    const uint32_t m = recupero_->FetteRecupero();
    const uint64_t indice = recupero_->DimensioneIndice();
    const uint64_t perFetta = recupero_->DimensioneVolume(1) - indice;
    // Room for the staged name's directory entry and the file system's rounding.
    constexpr uint64_t kMargine = 2048;
    const std::regex bloccoDelSet(nomeSet_ + "#[0-9]+(\\.inf)?", std::regex::icase);
    const std::regex recuperoDelSet(nomeSet_ + "(\\.vol[0-9]+\\+[0-9]+)?\\.par2", std::regex::icase);
    uint32_t da = 0;
    for (int disco = 1; da < m; ++disco) {
        const std::string base =
            "Inserire un disco per i dati di recupero e premere Riprova. Sarà il disco di recupero" +
            (disco > 1 ? " " + std::to_string(disco) : std::string()) +
            " del backup: annotarlo sull'etichetta.";
        std::string testo = base;
        for (;;) {
            if (g_.Domande().Messaggio(testo, "Disco", Icona::Informazione, Pulsanti::RiprovaAnnulla) !=
                Risposta::Riprova)
                throw errori::OperazioneAnnullata();
            if (SpazioLiberoDisco(destinazione_) == -1) {
                testo = "Nessun disco nell'unità " + PercorsoPerMessaggio(destinazione_) + ". " + base;
                continue;
            }
            // A disk of this set's blocks would be lost together with its recovery data; the
            // recovery files of an earlier run of the day on a reused disk make room.
            std::string blocco;
            std::vector<std::string> vecchi;
            for (const VoceCartella& v : Fs().Elenca(destinazione_)) {
                if (!v.file) continue;
                if (std::regex_match(v.nome, bloccoDelSet)) blocco = v.nome;
                if (std::regex_match(v.nome, recuperoDelSet)) vecchi.push_back(v.nome);
            }
            if (!blocco.empty()) {
                testo = "Il disco inserito contiene un blocco di un backup di oggi (" + blocco +
                        "): inserire un altro disco. " + base;
                continue;
            }
            for (const std::string& f : vecchi) Fs().Rimuovi(recupero::Unisci(destinazione_, f));
            const int64_t libero = SpazioLiberoDisco(destinazione_);
            const uint64_t entrano =
                libero > static_cast<int64_t>(indice + kMargine)
                    ? (static_cast<uint64_t>(libero) - indice - kMargine) / perFetta
                    : 0;
            if (entrano == 0) {
                testo = PercorsoPerMessaggio(destinazione_) + " spazio disco non disponibile. " + base;
                continue;
            }
            barra_.PuntoSicuro();
            const auto quanti = static_cast<uint32_t>(std::min<uint64_t>(entrano, m - da));
            std::vector<std::string> scritti{recupero_->ScriviVolume(destinazione_, nomeSet_, da, quanti)};
            da += quanti;
            // The index beside the last volume when it fits (each volume holds it too).
            if (da == m && SpazioLiberoDisco(destinazione_) >= static_cast<int64_t>(indice + kMargine))
                scritti.push_back(recupero_->ScriviIndice(destinazione_, nomeSet_));
            if (r_.verifica) ControllaDiscoDiRecupero(scritti, quanti);
            ris_.backup.dischiRecupero = disco;
            break;
        }
    }
}

void Backup::ControllaDiscoDiRecupero(const std::vector<std::string>& scritti, uint32_t fette) const {
    const std::string dettaglio = scritti.front() + ": dati di recupero ";
    try {
        for (const std::string& p : scritti) File(p, ModoApertura::Lettura).ScartaCache();
        const recupero::InsiemeRecupero letto = recupero::LeggiInsieme(scritti);
        if (letto.id != descrizione_->id || letto.pacchettiScartati > 0 || letto.recupero.size() != fette)
            throw errori::Crea(errori::VerificaFallita, dettaglio + "non corrispondenti");
    } catch (const Errore& e) {
        if (e.Numero() == errori::VerificaFallita) throw;
        throw errori::Crea(errori::VerificaFallita, dettaglio + e.Dettaglio());
    }
}

void Backup::Verifica() {
    barra_.Inizia(Fase::Ricostruzione, "Test...");
    span_->Avanzamento = [this](int16_t, int16_t pc) {
        barra_.Fatti(dimensioneArchivio_ * static_cast<uint64_t>(pc) / 100);
    };
    const std::string nomeScritto = (provvisorio_ ? nomi::kPrefissoProvvisorio : "") + nomeSet_;
    // Each block's slices checked against the recovery data as the rebuild reads it: the
    // blocks on the medium are the ones the recovery data describe, in the same one pass.
    std::unique_ptr<ControlloInParallelo> fette;
    if (descrizione_) {
        fette = std::make_unique<ControlloInParallelo>(*descrizione_, nomeSet_);
        span_->DatiLetti = [&fette](int32_t n, const uint8_t* dati, size_t quanti) {
            fette->Aggiungi(n, dati, quanti);
        };
    }
    span_->Ricostruisci(destinazione_, nomeScritto, archivio_, true);
    span_->DatiLetti = nullptr;
    span_->Dealloca();
    if (fette) {
        int32_t letti = 0;
        const bool fetteBuone = fette->Esito(letti);
        fette.reset();
        const std::string dettaglio = recupero::Unisci(destinazione_, nomeScritto) + ": dati di recupero ";
        if (!fetteBuone || letti != dischi_ ||
            descrizione_->file.size() != static_cast<size_t>(dischi_))
            throw errori::Crea(errori::VerificaFallita, dettaglio + "non corrispondenti ai blocchi");
    }
    // In a folder the recovery files read back (over disks each was, as it was written).
    if (!fileRecupero_.empty()) {
        std::vector<std::string> file;
        try {
            file = recupero::FileDiRecupero(destinazione_, nomeScritto);
        } catch (const Errore& e) {
            throw errori::Crea(errori::VerificaFallita,
                               recupero::Unisci(destinazione_, nomeScritto) + ": " + e.Dettaglio());
        }
        if (file.empty()) file.push_back(recupero::Unisci(destinazione_, nomeScritto + ".par2"));
        ControllaDiscoDiRecupero(file, fetteScritte_);
    }
    // Each member is compared with its source as it is inflated: nothing is written, and
    // every CRC is checked before a difference is reported. The files as they were
    // compressed: one deleted since (by the user, by the host) is told and its member only
    // checked whole; one added since is not in this set.
    std::map<std::string, std::string> sorgenti = compressi_;  // member -> its source
    for (auto& [membro, sorgente] : sorgenti) {
        if (Fs().Info(sorgente).esiste) continue;
        Avvisa("Il file " + Mostrabile(sorgente) +
               " è stato eliminato durante il backup: il backup ne contiene la copia "
               "salvata, verificata senza confronto.");
        sorgente.clear();
    }
    barra_.Prevedi(Fase::Confronto, totaleSorgenti_);
    barra_.Inizia(Fase::Confronto, "Test...");
    EsitoConfronto esito;
    if (ConfrontaMembri(
            archivio_, sorgenti, esito, [this](uint64_t byte) { barra_.Fatti(byte); },
            r_.chiave) != 0)
        throw errori::ErroreDecompressione();
    Fs().Rimuovi(archivio_);
    if (!esito.uguali) throw errori::Crea(errori::VerificaFallita, esito.primaDifferenza);
}

void Backup::Conferma() {
    // The last moment a cancel is taken: from here the new set replaces the earlier one.
    barra_.PuntoSicuro();
    g_.Messaggio("Fine operazione.");
    if (provvisorio_) {
        span_->ConfermaSet(destinazione_, nomeSet_, fileRecupero_);
        destinazioneProvvisoria_.clear();
    }
    barra_.Fine();
}

void Backup::Riepiloga() {
    ris_.esito = Esito::Completato;
    ris_.backup.byte = dimensioneArchivio_;
    ris_.backup.dischi = dischi_;
    ris_.backup.verificato = r_.verifica;
}

Errore Backup::Spiega(const Errore& e) const {
    if (provvisorio_ && !destinazione_.empty() && !destinazioneProvvisoria_.empty() &&
        !Utilita().IsCartella(destinazione_))
        return errori::DestinazioneScomparsa(destinazione_, e);
    return e;
}

CosaResta Backup::Resta() const {
    if (provvisorio_) return precedente_ ? CosaResta::PrecedenteIntatto : CosaResta::NessunBackup;
    return dischiScritti_ ? CosaResta::DischiIncompleti : CosaResta::NessunDisco;
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

RichiestaBackup RichiestaBackup::DaAvvio(const StatoAvvio& s) {
    RichiestaBackup r;
    r.destinazione = s.dest;
    r.percorsoDati = s.percorsoDati;
    r.nonInstallato = s.nonInstallato;
    r.datiNonPresenti = s.datiNonPresenti;
    r.cartellaTemp = CartellaTempProgramma();
    return r;
}

Risultato EseguiBackup(const RichiestaBackup& r, GanciOperazione& g) {
    Risultato ris;
    ris.operazione = Operazione::Backup;
    Backup backup(r, g, ris);
    try {
        g.Messaggio("Attendere...");
        try {
            backup.ControllaRichiesta();
        } catch (const Rinuncia&) {
            ris.esito = Esito::Rinunciato;
            return ris;
        }
        backup.Comprimi();
        backup.ScriviSet();
        if (r.verifica) backup.Verifica();
        backup.Conferma();
        backup.Riepiloga();
    } catch (...) {
        ConcludiConErrore(ris, g, backup.Span(),
                          [&backup](const Errore& e) { return backup.Spiega(e); });
        backup.DopoUnErrore();
        ris.resta = backup.Resta();
    }
    return ris;
}

}  // namespace bv
