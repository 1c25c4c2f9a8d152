// The commit of a backup set written in staged form into a folder that may hold a good set of
// the same name (states and names: sicurezza/nomi_provvisori.h). Each direction can be repeated from
// whatever state the names are in, so the backup and the next start share them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bv {

// Puts the staged set `nomefile` (`blocchi` blocks, whole and verified) of `cartella` (with its
// final separator) in place: the marker, then the forward renames; on a failure back to the old
// set (when that fails too the marker stays, and with it every file, for the next start); then
// the parked old files and the marker go (a failure there is only logged). `recupero`: the
// final names of the set's recovery files, staged beside the blocks; every recovery file of
// the old set goes with its blocks.
void ConfermaSet(const std::string& cartella, const std::string& nomefile, int32_t blocchi,
                 const std::vector<std::string>& recupero = {});
// The two directions of the commit, and the tidying after the forward one.
void AvantiConferma(const std::string& cartella, const std::string& nomefile, int32_t blocchi,
                    const std::vector<std::string>& recupero = {});
void IndietroConferma(const std::string& cartella, const std::string& nomefile, int32_t blocchi,
                      const std::vector<std::string>& recupero = {});
void ChiudiConferma(const std::string& cartella, const std::string& nomefile, int32_t blocchi);
// Finishes putting in place the sets of a folder whose final renames a run did not end (it was
// stopped among them); true when there was one. A marker with an implausible count is ignored
// (logged).
bool CompletaConfermeInterrotte(const std::string& cartella);
// Removes the leftovers of stopped backups of any day in a folder (staged, parked and
// half-written files of the program's own forms), except those of a set a marker still covers.
void ScartaSetProvvisori(const std::string& cartella);

}  // namespace bv
