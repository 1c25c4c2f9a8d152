// ClsInsieme: an ordered, de-duplicated set of names with 1-based indices, filled from
// folder listings with wildcard patterns, and the lines a list shows of it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/data_ora.h"

namespace bv {

// One line of a list made from a set: its text and the index of its entry.
struct RigaInsieme {
    std::string testo;
    int32_t indice = 0;
    bool operator==(const RigaInsieme&) const = default;
};

class ClsInsieme {
  public:
    ClsInsieme();

    void Clear();
    // The number of entries; more than 32,767 fails with Overflow (6).
    int16_t Count() const;
    // Entry `index` (1-based): 0 or above Count fails with 380, a negative index with 9.
    std::string GetItem(int index) const;
    // Whether an entry equal ignoring blanks at the ends and letter case exists.
    bool Presente(const std::string& item) const;
    // Appends the item trimmed and cut at the first `terminatore`; refused when empty, or
    // when `univoco` and already present.
    bool Add(const std::string& item, bool univoco, const std::string& terminatore);
    // Sorts in the user's collation ignoring case, equal entries in index order, empty last.
    void OrdinaLista(bool decrescente);
    // Fills the set with the plain files of a folder that match the pattern, cut at "#",
    // unique, descending; a folder that does not exist fails with 9984, set unchanged.
    int16_t GetFilenames(const std::string& path, const std::string& template_);
    // The lines of a list: one per entry made from the mask and, for adata 1..5, shown as a
    // short date; an entry that cannot be converted is left out. (The window fills its list
    // with them and selects the first.)
    std::vector<RigaInsieme> Righe(const std::string& trasformatore, int16_t adata) const;

    // The helpers of Righe.
    static std::string Trasforma(const std::string& nome, const std::string& mask);
    static DataOra To_Date(const std::string& testo, int16_t formato);

    // Whether a name matches a pattern: * any run, ? one character, case ignored, every other
    // character literal; "*.*" matches every name, as the Windows listing does.
    static bool Corrisponde(const std::string& nome, const std::string& modello);

  private:
    static std::string Chiave(const std::string& item);

    std::vector<std::string> voci_;                // slot 0 is always the empty string
    std::unordered_multiset<std::string> chiavi_;  // the entries' comparison keys, for Presente
};

}  // namespace bv
