// Reading a set of PAR2 files (which may be damaged, incomplete or not ours) into the
// description of the recovery set, and checking the input files against it slice by slice.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "recupero/md5.h"
#include "recupero/pacchetti.h"

namespace bv::recupero {

struct FileDescritto {
    Md5 id{};
    Md5 hash{};     // of the whole file
    Md5 hash16k{};  // of its first 16 KiB
    uint64_t lunghezza = 0;
    std::string nome;
    std::vector<std::pair<Md5, uint32_t>> fette;  // MD5 and CRC32 of each slice, zero-padded
};

struct FettaRecuperoDisponibile {
    uint32_t esponente = 0;
    std::string percorso;  // the PAR2 file holding it
    uint64_t offsetDati = 0;
};

struct InsiemeRecupero {
    Md5 id{};
    uint64_t dimensioneFetta = 0;
    std::vector<FileDescritto> file;  // the recovery set, in the order of its main packet
    std::vector<FettaRecuperoDisponibile> recupero;  // one per exponent
    std::string creatore;
    uint64_t pacchettiScartati = 0;  // damaged or not fitting the set

    uint32_t FetteIngresso() const;
};

// The set described by packets scanned from files (path, scan). Throws InsiemeNonValido when
// no main packet, or not every file's description and checksums, is found intact.
InsiemeRecupero CostruisciInsieme(const std::vector<std::pair<std::string, Scansione>>& scansioni);
InsiemeRecupero LeggiInsieme(const std::vector<std::string>& percorsi);
// The PAR2 files of `base` in a folder: base.par2 and base.vol*.par2.
std::vector<std::string> FileDiRecupero(const std::string& cartella, const std::string& base);

enum class StatoFile { Integro, Danneggiato, Mancante };

struct VerificaFile {
    std::string percorso;
    StatoFile stato = StatoFile::Integro;
    std::vector<bool> fetteBuone;
    uint64_t dimensioneTrovata = 0;
};

struct Verifica {
    std::vector<VerificaFile> file;  // in the set's order
    uint32_t fetteDanneggiate = 0;
    uint32_t fetteRecupero = 0;
    bool Integra() const;
    bool Riparabile() const { return fetteDanneggiate <= fetteRecupero; }
    // Recovery slices still wanted for a repair (0 when it is possible).
    uint32_t Mancanti() const { return Riparabile() ? 0 : fetteDanneggiate - fetteRecupero; }
};

// Checks each file of the set in `cartella` at its own slice positions, each under its
// recorded name with `prefisso` before it (a set written under staged names).
Verifica VerificaInsieme(const InsiemeRecupero& insieme, const std::string& cartella,
                         const std::string& prefisso = "");

// Reads a whole slice of a file at `offset`: `n` bytes, zeros past the end or where the file
// cannot be read (then false).
bool LeggiFetta(const std::string& percorso, uint64_t offset, uint8_t* buf, size_t n, uint64_t fineDati);

}  // namespace bv::recupero
