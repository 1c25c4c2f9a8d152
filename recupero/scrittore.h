// Making the recovery files of a set of input files: the index NAME.par2 (the set's
// description, no recovery data) and the volumes NAME.volAA+NN.par2 with the recovery slices
// (exponents AA to AA+NN-1) and the description again. The data is taken as it is written
// elsewhere, in one pass: each input slice is multiplied into every recovery slice as it
// completes, so memory holds the recovery slices and one input slice.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "recupero/md5.h"

namespace bv::recupero {

class ScrittoreRecupero {
  public:
    // `dimensioneFetta`: a multiple of 4; `fetteRecupero`: how many recovery slices.
    ScrittoreRecupero(uint64_t dimensioneFetta, uint32_t fetteRecupero);

    // The input files one after the other, each with the name it is recorded under (one
    // component, e.g. "BV20261209#0") and its data in order, in pieces of any size.
    void IniziaFile(const std::string& nome);
    void Aggiungi(const void* dati, size_t n);
    void FineFile();

    // Writes the index and `volumi` volumes into `cartella`, each durably (a temporary name
    // flushed, then renamed); returns their paths, the index first.
    std::vector<std::string> Scrivi(const std::string& cartella, const std::string& base,
                                    uint32_t volumi = 1);

    // Threads of the region loop (1 or 2).
    void Thread(int n) { thread_ = n; }

  private:
    struct Ingresso {
        std::string nome;
        uint64_t lunghezza = 0;
        CalcoloMd5 completo;
        CalcoloMd5 primi16k;
        Md5 hash{}, hash16k{};
        std::vector<std::pair<Md5, uint32_t>> fette;
    };
    void ChiudiFetta();
    std::vector<uint8_t> PacchettiCritici(const Md5& insieme, const std::vector<uint8_t>& principale) const;

    uint64_t dimensioneFetta_;
    std::vector<std::vector<uint8_t>> recupero_;
    std::vector<uint8_t> fetta_;
    size_t riempita_ = 0;
    uint32_t indice_ = 0;  // global index of the slice being filled
    std::vector<Ingresso> file_;
    bool aperto_ = false;
    int thread_ = 2;
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

}  // namespace bv::recupero
