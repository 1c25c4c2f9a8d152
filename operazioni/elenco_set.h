// What the list of a folder's sets shows beside each date: the time of the run, the size, the
// blocks, and whether the set is whole, read from its descriptors (of the blocks only the first
// bytes of the first, which tell an encrypted set). A set whose descriptors are damaged or whose
// blocks are missing is told apart from a good one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fileset/clsinsieme.h"

namespace bv {

struct DescrizioneSet {
    std::string ora;    // "18:42", "" when the first descriptor cannot be read
    uint64_t byte = 0;  // the archive's size, as the descriptors say
    int blocchi = 0;    // the blocks found in the folder
    bool suPiuDischi = false;  // on a removable disk, the set goes on on other disks
    bool cifrato = false;      // its members are encrypted
    std::string danno;  // "" for a whole set, else what is wrong ("manca il blocco #1")
};

// The set `nome` ("BV20240315") in `cartella` (with its separator).
DescrizioneSet DescriviSet(const std::string& cartella, const std::string& nome);

// Each row of the list (`elenco`'s sets as Righe gives them), described.
std::vector<DescrizioneSet> DescriviSet(const std::string& cartella, const ClsInsieme& elenco,
                                        const std::vector<RigaInsieme>& righe);

}  // namespace bv
