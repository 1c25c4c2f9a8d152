// Room by rule: the sets of a folder beyond the newest N removed once a new set is complete and
// verified ("Conserva gli ultimi N backup", --conserva N).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bv {

// A set of this program in a folder, by its exact names.
struct SetConservato {
    std::string nome;   // "BV20240315"
    uint64_t byte = 0;  // its blocks, descriptors and recovery files
};

// The sets of `cartella`, oldest first; only names of the program's exact forms count
// (BVyyyymmdd#N, BVyyyymmdd#N.inf, BVyyyymmdd.par2, BVyyyymmdd.volA+B.par2).
std::vector<SetConservato> SetNellaCartella(const std::string& cartella);

// The files of set `nome` in `cartella`, in the order they are removed: recovery files, then
// descriptors, then blocks.
std::vector<std::string> FileDelSet(const std::string& cartella, const std::string& nome);

// Removes one set, durably (the folder flushed).
void RimuoviSet(const std::string& cartella, const std::string& nome);

// After `nuovo` was written and verified in `cartella`: the sets beyond the newest `conserva`
// (the new one counted) removed, oldest first; never `nuovo` itself, never a set newer than it,
// nothing on a removable drive, nothing when `conserva` is below 1. The names removed.
std::vector<std::string> ConservaUltimi(const std::string& cartella, int conserva,
                                        const std::string& nuovo);

}  // namespace bv
