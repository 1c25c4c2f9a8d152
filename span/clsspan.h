// ClsSpan: one archive split into the numbered blocks of a backup set over one or more volumes
// (asking for a new disk when one is full), and rebuilt from them. The archive is never held
// in memory: the loaded archive is kept open and blocks are copied from it, and the rebuild
// appends each block to the archive file, both through a buffer of a few megabytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/filesystem.h"
#include "util/interazione.h"
#include "span/descrittore.h"
#include "util/koutilita.h"

namespace bv {

// The largest archive the descriptors can describe (their sizes are 32-bit signed).
inline constexpr uint64_t kMassimoArchivio = 2147483647;
// Error 6 for an archive past that size, saying what to do about it.
Errore ArchivioTroppoGrande(const std::string& archivio);

class ClsSpan {
  public:
    enum Stato : int32_t {
        StatoVuoto = 0,
        StatoNomeImpostato = 1,
        StatoCaricato = 2,
        StatoSuddiviso = 3,
        StatoRicostruzione = 4,
    };

    // Usable space is what a volume has beyond this reserve (room for the descriptor).
    static constexpr int32_t kRiserva = 10000;
    // No block is larger than this.
    static constexpr int32_t kMassimoBlocco = 0x28000000;

    ClsSpan();
    ~ClsSpan();
    ClsSpan(const ClsSpan&) = delete;
    ClsSpan& operator=(const ClsSpan&) = delete;

    // Notifications a holder may subscribe to. Avanzamento: after each block written
    // (operazione 0) or appended (1), with the percentage done.
    std::function<void(int16_t operazione, int16_t pc)> Avanzamento;
    std::function<void()> FineCaricamento;
    // Each block's bytes as the split writes them, in order (`blocco`: its number), for work
    // done in the same pass.
    std::function<void(int32_t blocco, const uint8_t* dati, size_t n)> DatiBlocco;

    // Where the disk prompts are asked (by default the program's interaction).
    void Domande(Interazione& domande) { domande_ = &domande; }
    // The blocks the last split wrote: one a disk on removable disks.
    int32_t BlocchiScritti() const { return blocchiScritti_; }

    const std::string& filename() const { return filename_; }
    void filename(const std::string& valore);

    // Loads the file named by `filename`: keeps it open, so the caller may then delete it (its
    // name; the blocks are read through the open file), but must not change it.
    void CaricaMemoria();
    // Rebuilds the set `nomefile` of `pathOrigine` into the file `dest`, asking for each disk
    // ("Verifica" or "Ripristino" in the prompts' title) and checking every block.
    void Ricostruisci(const std::string& pathOrigine, const std::string& nomefile,
                      const std::string& dest, bool verifica);
    // A folder whose blocks the rebuild takes instead of the origin's of the same name (blocks
    // rebuilt from the recovery data where the origin may not be written); "" for none.
    void BlocchiSostitutivi(const std::string& cartella) { sostitutivi_ = cartella; }
    // Over removable disks, the disk prompts also take "disco mancante o illeggibile": the
    // rebuild then gathers every block it can read into `cartella` (the ones already read
    // too) instead of the archive, and calls `mancante` with the first missing block's number;
    // it returns how many blocks the set has (as its recovery data know), or throws. The
    // rebuild then ends with Raccolto() true and `dest` not written: the caller rebuilds the
    // missing blocks and joins them.
    void RaccogliSeMancante(const std::string& cartella, std::function<int32_t(int32_t)> mancante) {
        raccolta_ = cartella;
        mancante_ = std::move(mancante);
    }
    bool Raccolto() const { return raccolto_; }
    const std::vector<int32_t>& BlocchiMancanti() const { return mancanti_; }
    // The archive's size the descriptors read state (SIZE_FILE).
    int64_t DimensioneDichiarata() const { return dichiarata_; }
    // Each block's bytes as the rebuild reads them, in order, for checks done in the same pass.
    std::function<void(int32_t blocco, const uint8_t* dati, size_t n)> DatiLetti;
    // Splits the loaded archive into blocks and descriptors in `path`.
    // The checks Span makes of a destination before it writes (9237, 9238, 9235, and 9240 for
    // a drive with no disk), for a caller that must not start long work towards one that
    // cannot be used.
    void ControllaDestinazione(const std::string& cartella);
    void Span(const std::string& path, const std::string& nomefile);

    // Staged writing, for a folder that may hold a good set of the same name: Span then writes
    // each file under its staged name (sicurezza/nomi_provvisori.h), and ConfermaSet puts the whole set in
    // place; a failure leaves the old set as it was.
    void ScritturaProvvisoria(bool attiva) { provvisoria_ = attiva; }
    // `recupero`: the final names of the recovery files staged beside the blocks.
    void ConfermaSet(const std::string& path, const std::string& nomefile,
                     const std::vector<std::string>& recupero = {});
    // Usable bytes on a drive (at most 2,147,483,647); with `cambioDisk`, asks for a new
    // disk while it has less than 10,000 bytes.
    int32_t GetSpazioDisco(const std::string& unita, bool cambioDisk);
    // Empties the object; it may be used again.
    void Dealloca();

    int32_t stato() const { return stato_; }
    // The bytes of the loaded archive, or appended so far by the rebuild.
    int32_t dimensione() const { return dimensione_; }

  private:
    void Svuota();
    int32_t DimensioneFile();
    // Copies a block file onto the end of the archive being rebuilt; returns the bytes copied.
    size_t AccodaBlocco(File& blocco, size_t lunghezza, File& archivio, int32_t n);
    // The size of the next block from `offset`, at most `limite`.
    size_t EstraiBlocco(size_t offset, size_t limite) const;
    std::string NormalizzaCartella(const std::string& path) const;
    bool VerificaScrittura(const std::string& path) const;
    std::string ControllaCartella(const std::string& cartella) const;
    void ChiediNuovoDisco(const std::string& unita);
    void ControllaDiscoOrigine(const std::string& origine) const;
    // Block n of a set and its descriptor, asking for its disk until one of this run is in
    // the drive; `inizioSet` is the run's start (DATA, ORA), taken from block 0.
    struct BloccoDelSet {
        bool mancante = false;  // the user said the disk is missing or unreadable
        std::string file;
        std::string fileDescrittore;
        DescrittoreLetto descrittore;
    };
    BloccoDelSet CercaBlocco(const std::string& origine, const std::string& nomefile, int32_t n,
                             std::string& inizioSet, bool rimovibile, bool verifica);

    std::unique_ptr<File> archivio_;  // the loaded archive, open
    int32_t dimensione_ = 0;
    koUtilita utilita_;
    std::string filename_;
    int32_t stato_ = StatoVuoto;
    bool provvisoria_ = false;
    std::string sostitutivi_;
    std::string raccolta_;
    std::function<int32_t(int32_t)> mancante_;
    bool raccolto_ = false;
    std::vector<int32_t> mancanti_;
    int64_t dichiarata_ = -1;
    // Blocks already appended to the archive, as separate files in the gathering folder.
    void SeparaBlocchi(File& archivio, const std::vector<uint64_t>& lunghezze,
                       const std::string& nomefile);
    int32_t blocchiScritti_ = 0;
    Interazione* domande_ = nullptr;
    Interazione& Chiedi() const { return domande_ != nullptr ? *domande_ : InterazioneCorrente(); }
    int32_t prossimoDisco_ = 0;  // the disk the next new-disk prompt asks for, 0 outside a split
};

}  // namespace bv
