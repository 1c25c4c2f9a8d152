// An operation's result in the user's words, as both front ends show it: the closing sentence
// ("Backup completato correttamente.", "Operazione annullata." and what was kept), the summary's
// lines, and the sizes and time left beside a bar.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "operazioni/elenco_set.h"
#include "operazioni/lavoro.h"

namespace bv {

// The closing sentence of a completed, cancelled or refused operation ("" when it failed: the
// error says it).
std::string TestoEsito(const Risultato& r);
// The summary: where the set went, its size, its disks, verified or not; which databases a
// restore replaced, their safety copies and the room the copies take.
std::vector<std::string> RigheRiepilogo(const Risultato& r);
// The sentence, a blank line, the summary: the window's box.
std::string TestoCompleto(const Risultato& r);

// A line of the list of sets: the date first, as the list always showed it, then the time,
// the size and the blocks, or what is wrong with the set.
std::string TestoRigaSet(const std::string& data, const DescrizioneSet& d);

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
