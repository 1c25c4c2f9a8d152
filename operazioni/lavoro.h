// An operation as a job: handed its request and its hooks, it reports through the hooks while it
// runs and returns one result. The front ends (the window, the command line) show the result;
// the core never opens a message of its own, and asks its questions through the hooks.
#pragma once

#include <atomic>
#include <cstdint>
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

// What an operation did, for the front ends to show.
struct Risultato {
    Esito esito = Esito::Fallito;
    std::optional<Errore> errore;     // when it failed
    std::vector<std::string> avvisi;  // what the user should know (also logged as it came)
    std::string testo;                // the closing sentence: success, or what a cancel kept
    std::vector<std::string> dettagli;  // the summary's lines: what was written or replaced

    bool Riuscito() const { return esito == Esito::Completato; }
    explicit operator bool() const { return Riuscito(); }
    friend bool operator==(const Risultato& r, Esito e) { return r.esito == e; }
    // The closing sentence followed by the summary, one line each.
    std::string TestoCompleto() const;
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
void ConcludiConErrore(Risultato& ris, const GanciOperazione& g, std::unique_ptr<ClsSpan>& span);

// "12,3 MB" (decimal comma, one decimal under 100 MB), "850 KB" under one MB.
std::string DimensioneLeggibile(uint64_t byte);

// The time left from the share done and the time elapsed, once the rate is steady: "" before
// (the first seconds, the first percents), else "circa 2 minuti" / "meno di un minuto".
class StimaTempo {
  public:
    // `percento` 0 to 100 at `secondi` since the start.
    std::string Rimanente(double percento, double secondi);

  private:
    double stima_ = -1;  // seconds, smoothed
};

}  // namespace bv
