// The result, the bar's phases and the time-left estimate shared by every operation.
#include "operazioni/lavoro.h"

#include <algorithm>
#include <cmath>

#include "span/clsspan.h"
#include "util/errori.h"
#include "util/koutilita.h"

namespace bv {

namespace {

// What one byte of each phase costs, relative to compressing one: the shares of the bar. Timed
// phase by phase on 105 MB of the bench's databases (bench/RESULTS.md, "Fasi della barra"):
// compressing 10.3 ns a byte, writing the set 1.5, reading it back 1.1, comparing 1.4,
// inflating 1.6, moving into place 0.7.
constexpr double kCosto[] = {
    1.0,   // Compressione: each source byte read and deflated
    0.15,  // Scrittura: each archive byte written to the set and flushed
    0.11,  // Ricostruzione: each archive byte read back from the set
    0.14,  // Confronto: each source byte inflated and compared with its file
    0.16,  // Estrazione: each byte inflated into the work folder
    0.07,  // Spostamento: each restored byte moved into place
};

InterazioneNonPresidiata& Nessuna() {
    static InterazioneNonPresidiata nessuna;
    return nessuna;
}

}  // namespace

void ConcludiConErrore(Risultato& ris, const GanciOperazione& g, std::unique_ptr<ClsSpan>& span,
                       const std::function<Errore(const Errore&)>& spiega) {
    const Errore e = spiega ? spiega(ErroreCorrente()) : ErroreCorrente();
    if (span) {
        span->Dealloca();
        span.reset();
    }
    if (g.Annullato() && e.Numero() == errori::Annullata) {
        ris.esito = Esito::Annullato;
        Utilita().ScriviLog("Operazione annullata dall'utente");
        return;
    }
    ris.esito = Esito::Fallito;
    ris.errore = e;
}

Interazione& GanciOperazione::Domande() {
    return Nessuna();
}

void Barra::Prevedi(Fase f, uint64_t byte) {
    previsti_[static_cast<int>(f)] = byte;
}

double Barra::Peso(Fase f) const {
    return kCosto[static_cast<int>(f)] * static_cast<double>(previsti_[static_cast<int>(f)]);
}

void Barra::Inizia(Fase f, const std::string& testo) {
    PuntoSicuro();
    corrente_ = f;
    g_.Messaggio(testo);
    Fatti(0);
}

void Barra::Fatti(uint64_t byte) {
    PuntoSicuro();
    const uint64_t totale = previsti_[static_cast<int>(corrente_)];
    g_.Quantita(std::min(byte, totale), totale);
    double tutto = 0;
    double prima = 0;
    for (int i = 0; i < 6; ++i) {
        const double p = Peso(static_cast<Fase>(i));
        tutto += p;
        if (i < static_cast<int>(corrente_)) prima += p;
    }
    if (tutto <= 0) return;
    const double qui = totale == 0 ? 0
                                   : Peso(corrente_) * std::min(1.0, static_cast<double>(byte) /
                                                                         static_cast<double>(totale));
    // Never back: a phase found smaller than foreseen moves the rest forward, never behind.
    mostrato_ = std::max(mostrato_, 100.0 * (prima + qui) / tutto);
    g_.Avanzamento(mostrato_);
}

void Barra::PuntoSicuro() const {
    if (g_.Annullato()) throw errori::OperazioneAnnullata();
}

void Barra::Fine() {
    mostrato_ = 100;
    g_.Avanzamento(100);
}

}  // namespace bv
