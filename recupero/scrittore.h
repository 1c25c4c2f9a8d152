// Making the recovery files of a set of input files: the index NAME.par2 (the set's
// description, no recovery data) and the volumes NAME.volAA+NN.par2 with the recovery slices
// (exponents AA to AA+NN-1) and the description again. The data is taken as it is written
// elsewhere, in one pass: each piece is hashed and multiplied into every recovery slice as it
// comes, on a thread of its own, so the writer of the blocks does not wait for the arithmetic
// and memory holds the recovery slices and a few pieces.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "recupero/lettore.h"
#include "recupero/md5.h"

namespace bv::recupero {

class ScrittoreRecupero {
  public:
    // `dimensioneFetta`: a multiple of 4; `fetteRecupero`: how many recovery slices.
    ScrittoreRecupero(uint64_t dimensioneFetta, uint32_t fetteRecupero);
    ~ScrittoreRecupero();
    ScrittoreRecupero(const ScrittoreRecupero&) = delete;
    ScrittoreRecupero& operator=(const ScrittoreRecupero&) = delete;

    // The computation on a thread of its own (the default) or on the caller's.
    void InParallelo(bool attivo);

    // The input files one after the other, each with the name it is recorded under (one
    // component, e.g. "BV20261209#0") and its data in order, in pieces of any size.
    void IniziaFile(const std::string& nome);
    void Aggiungi(const void* dati, size_t n);
    void FineFile();

    // Writes the index and `volumi` volumes into `cartella`, each durably (a temporary name
    // flushed, then renamed); returns their paths, the index first.
    std::vector<std::string> Scrivi(const std::string& cartella, const std::string& base,
                                    uint32_t volumi = 1);
    // The same one file at a time, for recovery data spread over several disks: the index, a
    // volume with the recovery slices [da, da + quanti), and what each takes.
    std::string ScriviIndice(const std::string& cartella, const std::string& base);
    std::string ScriviVolume(const std::string& cartella, const std::string& base, uint32_t da,
                             uint32_t quanti);
    uint64_t DimensioneIndice();
    uint64_t DimensioneVolume(uint32_t quanti);
    uint32_t FetteRecupero() const { return static_cast<uint32_t>(recupero_.size()); }

    // The set as the files describe it (no recovery slice listed), once every file is ended:
    // what a verification compares the blocks on the medium with.
    InsiemeRecupero Descrizione();

  private:
    struct Ingresso {
        std::string nome;
        uint64_t lunghezza = 0;
        CalcoloMd5 completo;
        CalcoloMd5 primi16k;
        uint64_t hashati16k = 0;
        Md5 hash{}, hash16k{};
        std::vector<std::pair<Md5, uint32_t>> fette;
    };
    // A piece for the computation: data of the last file begun, or (vuoto) the file's end.
    struct Pezzo {
        std::vector<uint8_t> dati;
        bool fineFile = false;
    };
    void Elabora(const Pezzo& p);
    void ElaboraDati(const uint8_t* p, size_t n);
    void ChiudiFetta();
    void Invia(Pezzo p);
    void Spedisci();      // the piece being filled, to the computation
    void Attendi();       // until every piece sent is done; rethrows its failure
    void Lavora();        // the computation's thread
    std::vector<uint8_t> PacchettiCritici();
    std::vector<uint8_t> Principale() const;

    uint64_t dimensioneFetta_;
    std::vector<std::vector<uint8_t>> recupero_;
    // The slice being computed.
    uint64_t riempita_ = 0;
    uint32_t indice_ = 0;  // global index of the slice being filled
    CalcoloMd5 md5Fetta_;
    uint32_t crcFetta_ = 0;
    std::vector<Ingresso> file_;
    bool aperto_ = false;
    Pezzo inCorso_;  // filled by the caller up to kPezzo bytes

    bool parallelo_ = true;
    std::thread lavoratore_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Pezzo> coda_;
    bool occupato_ = false;
    bool termina_ = false;
    std::exception_ptr errore_;
};

// The main packet lists the files in the order they were fed (their slices' constants follow
// that order); the format asks for them sorted by File ID, which a caller that knows each
// file's length and first 16 KiB beforehand can do by feeding them in that order.

// The same for files already on disk: `file` pairs each path with the name to record; they
// are fed sorted by File ID.
std::vector<std::string> CreaRecupero(const std::vector<std::pair<std::string, std::string>>& file,
                                      uint64_t dimensioneFetta, uint32_t fetteRecupero,
                                      const std::string& cartella, const std::string& base,
                                      uint32_t volumi = 1);

// The File ID the format gives a file: MD5 of its first 16 KiB's MD5, its length and name.
Md5 IdFile(const Md5& hash16k, uint64_t lunghezza, const std::string& nome);
// Joins a folder and a name with the platform's separator.
std::string Unisci(const std::string& cartella, const std::string& nome);

// The slice checksums of files read in one pass elsewhere (a rebuild reading its blocks),
// compared with a set's description: a verification that reads each block once.
class ControlloFette {
  public:
    explicit ControlloFette(const InsiemeRecupero& insieme) : insieme_(insieme) {}
    void IniziaFile(const std::string& nome);
    void Aggiungi(const void* dati, size_t n);
    // False when the file is not the one described (length, a slice, or not in the set).
    bool FineFile();

  private:
    void ChiudiFetta();
    const InsiemeRecupero& insieme_;
    const FileDescritto* file_ = nullptr;
    uint64_t lunghezza_ = 0;
    uint64_t riempita_ = 0;
    size_t fetta_ = 0;
    bool buono_ = true;
    CalcoloMd5 md5_;
};

}  // namespace bv::recupero
