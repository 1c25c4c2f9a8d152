// An operation as a job: handed its request and its hooks, it reports through the hooks while it
// runs and returns one result. The front ends (the window, the command line) show the result;
// the core never opens a message of its own, and asks its questions through the hooks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/errore.h"
#include "util/interazione.h"

namespace bv {

enum class Esito {
    Completato,
    Rinunciato,  // the user answered No to the confirmation: nothing was done
    Annullato,   // stopped on request at a safe point: nothing lost
    Fallito,
};

enum class Operazione { Backup, Ripristino, Verifica };

// What a cancelled operation left as it was.
enum class CosaResta {
    PrecedenteIntatto,  // the day's earlier set in the folder
    NessunBackup,       // no set of the day in the folder, none written
    NessunDisco,        // on removable disks: none written yet
    DischiIncompleti,   // on removable disks: the set begun there is not whole
    DatiIntatti,        // the restore's data folder
    SetIntatto,         // the verified set
};

// A backup's summary: where the set went, its size, its disks, whether it was verified.
struct RiepilogoBackup {
    std::string nomeSet;  // "BV20240315"
    std::string cartella;
    uint64_t byte = 0;
    int dischi = 0;
    bool suDischi = false;
    bool verificato = false;
    std::string oraSostituito;  // the time of the day's earlier set it replaced ("18:42"), or ""
    int dischiRecupero = 0;     // disks of recovery data after the set's
};

// A restored database, and the safety copies the ones it replaced became ("" for none).
struct DatabaseRipristinato {
    std::string database;
    std::string copiaDatabase;
    std::string copiaCartella;
};

struct RiepilogoRipristino {
    std::vector<DatabaseRipristinato> database;
    std::string cartellaDati;
    uint64_t byteCopie = 0;  // every safety copy of the data folder, 0 when unknown
};

// A verification's finding.
enum class StatoSet {
    Integro,        // every block, slice and member whole
    Riparabile,     // damaged blocks the recovery data can rebuild (not asked to)
    Riparato,       // damaged blocks rebuilt in place
    NonRiparabile,  // damage beyond the recovery data, or no recovery data for it
};

struct RiepilogoVerifica {
    std::string nomeSet;
    std::string cartella;
    StatoSet stato = StatoSet::Integro;
    bool conRecupero = false;       // the set has recovery files
    std::vector<int> blocchi;       // the damaged (or rebuilt) blocks' numbers
    uint32_t fetteDanneggiate = 0;  // slices of the blocks to rebuild
    uint32_t fetteRecupero = 0;     // recovery slices available
    std::string danno;              // what the set's own check found ("" when whole)
};

// What an operation did, for the front ends to show (resoconto/ words it).
struct Risultato {
    Operazione operazione = Operazione::Backup;
    Esito esito = Esito::Fallito;
    std::optional<Errore> errore;     // when it failed
    std::vector<std::string> avvisi;  // what the user should know (also logged as it came)
    CosaResta resta = CosaResta::NessunBackup;  // when it was cancelled
    RiepilogoBackup backup;                     // when a backup completed
    RiepilogoRipristino ripristino;             // when a restore completed
    RiepilogoVerifica verifica;                 // when a verification completed

    bool Riuscito() const { return esito == Esito::Completato; }
    explicit operator bool() const { return Riuscito(); }
    friend bool operator==(const Risultato& r, Esito e) { return r.esito == e; }
};

// The hooks an operation reports through and asks through. Called on the operation's thread;
// a front end that shows them elsewhere queues them there.
class GanciOperazione {
  public:
    virtual ~GanciOperazione() = default;
    // The phase's status text ("Compressione dati...").
    virtual void Messaggio(const std::string& /*testo*/) {}
    // The whole operation's progress, 0 to 100, never going back.
    virtual void Avanzamento(double /*percento*/) {}
    // The bytes of the current phase done of its total, for "120 di 300 MB".
    virtual void Quantita(uint64_t /*fatti*/, uint64_t /*totale*/) {}
    // Something the user should know that does not stop the operation; the result lists it too.
    virtual void Avviso(const std::string& /*testo*/) {}
    // A data folder was made because none was known; it is now the data path.
    virtual void DatiCreati(const std::string& /*percorsoDati*/) {}
    // Where the operation's questions go (a new disk, a confirmation).
    virtual Interazione& Domande();

    // Asked from any thread; the operation stops at its next safe point.
    void Annulla() { annullato_ = true; }
    virtual bool Annullato() const { return annullato_; }

  private:
    std::atomic<bool> annullato_{false};
};

// The phases of an operation's bar: each phase's share is its bytes times what a byte of it
// costs (measured, in operazioni/lavoro.cpp).
enum class Fase { Compressione, Scrittura, Ricostruzione, Confronto, Estrazione, Spostamento };

class Barra {
  public:
    explicit Barra(GanciOperazione& g) : g_(g) {}
    // The bytes each phase will handle (0: the phase does not run); may be corrected when a
    // phase's true size is known (the archive once compressed).
    void Prevedi(Fase f, uint64_t byte);
    // A phase begins: its status text, and its byte count from zero.
    void Inizia(Fase f, const std::string& testo);
    // `byte` of the current phase done. Checks for a cancel first: a safe point.
    void Fatti(uint64_t byte);
    // The cancel check alone, where the operation may stop with nothing lost.
    void PuntoSicuro() const;
    // The bar at 100.
    void Fine();

  private:
    double Peso(Fase f) const;
    GanciOperazione& g_;
    uint64_t previsti_[6] = {};
    Fase corrente_ = Fase::Compressione;
    double mostrato_ = 0;
};

class ClsSpan;

// Inside an operation's catch block: the span object released, and the result says what ended
// it: a cancel asked through the hooks ("Operazione annullata."), else the error (logged).
// `spiega` may put the error in the user's terms.
void ConcludiConErrore(Risultato& ris, const GanciOperazione& g, std::unique_ptr<ClsSpan>& span,
                       const std::function<Errore(const Errore&)>& spiega = {});

}  // namespace bv
