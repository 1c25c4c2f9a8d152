// The verification of an old set and its repair.
#include "operazioni/verifica_set.h"

#include <random>
#include <regex>

#include "archive/zippo.h"
#include "operazioni/recupero_dischi.h"
#include "operazioni/stato_avvio.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "recupero/errori_recupero.h"
#include "recupero/lettore.h"
#include "recupero/riparazione.h"
#include "sicurezza/nomi_provvisori.h"
#include "span/clsspan.h"
#include "util/errori.h"
#include "util/koutilita.h"

namespace bv {

namespace {

class Verifica {
  public:
    Verifica(const RichiestaVerifica& r, GanciOperazione& g, Risultato& ris)
        : r_(r), g_(g), ris_(ris), barra_(g) {}

    // The slices against the recovery files, when the set has them; then, with repair, the
    // damaged blocks rebuilt and put in place.
    void ControllaFette();
    // The blocks joined as the restore joins them (descriptors, sizes) and every member's CRC.
    void ControllaArchivio();
    void Riepiloga() { ris_.esito = Esito::Completato; }
    void Pulisci();

    std::unique_ptr<ClsSpan>& Span() { return span_; }

  private:
    std::string Lavoro();
    void Ripara(const recupero::InsiemeRecupero& insieme, const recupero::Verifica& v);
    // The blocks gathered over disks against the recovery data; when they can be rebuilt, they
    // are, into the work folder, and joined into `archivio` for the members' check (true).
    bool ControllaRaccolti(RecuperoDaDischi& dischi, const std::string& archivio);

    const RichiestaVerifica& r_;
    GanciOperazione& g_;
    Risultato& ris_;
    Barra barra_;
    std::unique_ptr<ClsSpan> span_;
    std::string lavoro_;  // our work folder in Temp, "" until made
};

std::string Verifica::Lavoro() {
    if (lavoro_.empty()) lavoro_ = CreaCartellaLavoro(r_.cartellaTemp);
    return lavoro_;
}

void Verifica::ControllaFette() {
    RiepilogoVerifica& rv = ris_.verifica;
    rv.nomeSet = r_.nomeSet;
    rv.cartella = r_.origine;
    // Over disks the blocks are never all in the drive: a disk said missing is checked then.
    if (SuUnitaRimovibile(r_.origine)) return;
    const std::vector<std::string> file = recupero::FileDiRecupero(r_.origine, r_.nomeSet);
    if (file.empty()) return;
    barra_.Inizia(Fase::Ricostruzione, "Verifica dei dati di recupero...");
    recupero::InsiemeRecupero insieme;
    try {
        insieme = recupero::LeggiInsieme(file);
    } catch (const Errore& e) {  // the blocks are still checked as the restore reads them
        Utilita().ScriviLog("File di recupero illeggibili in " + r_.origine + ": " + e.Dettaglio());
        ris_.avvisi.push_back("I file di recupero del backup sono danneggiati e non possono essere "
                              "usati: il backup è controllato senza.");
        return;
    }
    rv.conRecupero = true;
    const recupero::Verifica v = recupero::VerificaInsieme(insieme, r_.origine);
    rv.fetteRecupero = v.fetteRecupero;
    rv.fetteDanneggiate = v.fetteDanneggiate;
    const std::regex blocco(r_.nomeSet + "#([0-9]+)", std::regex::icase);
    for (size_t i = 0; i < v.file.size() && i < insieme.file.size(); ++i) {
        std::smatch m;
        if (v.file[i].stato != recupero::StatoFile::Integro &&
            std::regex_match(insieme.file[i].nome, m, blocco))
            rv.blocchi.push_back(std::stoi(m[1].str()));
    }
    if (v.Integra()) return;
    if (!v.Riparabile()) {
        rv.stato = StatoSet::NonRiparabile;
        return;
    }
    rv.stato = StatoSet::Riparabile;
    if (r_.ripara) Ripara(insieme, v);
}

void Verifica::Ripara(const recupero::InsiemeRecupero& insieme, const recupero::Verifica& v) {
    barra_.PuntoSicuro();
    const std::string riparati = Lavoro() + Separatore() + "blocchi";
    Fs().CreaCartella(riparati);
    recupero::Ripara(insieme, v, riparati);
    // The last moment a cancel is taken: from here each block is replaced whole or not at all.
    barra_.PuntoSicuro();
    const std::string origine = Utilita().AggiungiSepDir(r_.origine);
    for (size_t i = 0; i < v.file.size(); ++i) {
        if (v.file[i].stato == recupero::StatoFile::Integro) continue;
        const std::string& nome = insieme.file[i].nome;
        // A staged copy, flushed, then one rename: a cut leaves the old block or the new one
        // (and a staged leftover the next backup clears).
        const std::string provvisorio = nomi::Provvisorio(origine, nome);
        CopiaFile(riparati + Separatore() + nome, provvisorio, true);
        RinominaDurevole(provvisorio, origine + nome);
    }
    ris_.verifica.stato = StatoSet::Riparato;
}

bool Verifica::ControllaRaccolti(RecuperoDaDischi& dischi, const std::string& archivio) {
    RiepilogoVerifica& rv = ris_.verifica;
    const recupero::Verifica v = dischi.Controlla(true);
    rv.conRecupero = true;
    rv.fetteRecupero = v.fetteRecupero;
    rv.fetteDanneggiate = v.fetteDanneggiate;
    if (!v.Riparabile()) {
        rv.stato = StatoSet::NonRiparabile;
        for (const int32_t n : span_->BlocchiMancanti()) rv.blocchi.push_back(n);
        return false;
    }
    rv.blocchi = dischi.Ripara(v);
    dischi.Unisci(archivio, span_->DimensioneDichiarata());
    return true;
}

void Verifica::ControllaArchivio() {
    RiepilogoVerifica& rv = ris_.verifica;
    // Damage the recovery data cannot mend: the archive cannot be whole.
    if (rv.stato == StatoSet::NonRiparabile || rv.stato == StatoSet::Riparabile) return;
    barra_.Prevedi(Fase::Confronto, 1);
    barra_.Inizia(Fase::Confronto, "Test...");
    const std::string archivio = Lavoro() + Separatore() + nomi::kArchivioTemporaneo;
    span_ = std::make_unique<ClsSpan>();
    span_->Domande(g_.Domande());
    std::unique_ptr<RecuperoDaDischi> dischi;
    if (SuUnitaRimovibile(r_.origine)) {
        const std::string raccolta = Lavoro() + Separatore() + "raccolti";
        dischi = std::make_unique<RecuperoDaDischi>(r_.origine, r_.nomeSet, raccolta, "Verifica",
                                                    g_.Domande());
        span_->RaccogliSeMancante(raccolta,
                                  [&dischi](int32_t n) { return dischi->ChiediDiscoDiRecupero(n); });
    }
    try {
        span_->Ricostruisci(r_.origine, r_.nomeSet, archivio, true);
        // A disk said missing: what the recovery data can rebuild of it. The disks are not
        // written: a restore rebuilds the block the same way.
        if (span_->Raccolto() && !ControllaRaccolti(*dischi, archivio)) return;
        span_->Dealloca();
        span_.reset();
        const int r = ControllaMembri(archivio, {}, r_.chiave);
        if (r == zip_codice::ChiaveErrata) throw errori::ChiaveNonCorretta(archivio);
        if (r != 0) throw errori::ErroreDecompressione();
    } catch (const Errore& e) {
        if (e.Numero() == errori::Annullata || e.Numero() == errori::ChiaveErrata) throw;
        // What the set's own check finds is the verification's finding, not its failure.
        Utilita().ScriviLog("Verifica del backup " + r_.origine + r_.nomeSet + ": " + e.Dettaglio());
        rv.stato = StatoSet::NonRiparabile;
        rv.danno = e.Descrizione();
    }
    // A disk's blocks rebuilt from the recovery data and the archive whole: repairable.
    if (rv.stato == StatoSet::Integro && !rv.blocchi.empty()) rv.stato = StatoSet::Riparabile;
    barra_.Fine();
}

void Verifica::Pulisci() {
    if (lavoro_.empty()) return;
    try {
        RimuoviCartellaLavoro(lavoro_);
    } catch (const Errore& e) {  // the next start's clean-up takes it
        Utilita().ScriviLog("Cartella di lavoro non rimossa: " + e.Dettaglio());
    }
}

}  // namespace

Risultato EseguiVerifica(const RichiestaVerifica& r, GanciOperazione& g) {
    Risultato ris;
    ris.operazione = Operazione::Verifica;
    ris.resta = CosaResta::SetIntatto;
    Verifica verifica(r, g, ris);
    try {
        g.Messaggio("Attendere...");
        verifica.ControllaFette();
        verifica.ControllaArchivio();
        verifica.Riepiloga();
    } catch (...) {
        ConcludiConErrore(ris, g, verifica.Span());
    }
    verifica.Pulisci();
    return ris;
}

}  // namespace bv
