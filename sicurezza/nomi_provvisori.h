// Crash safety: every name the program writes under before a file takes its own, and what a
// stop at any moment (a failure, a kill, a power cut) leaves behind. Nothing here is guessed
// back by anyone else: each clean-up asks this module whether a name is one of its forms.
//
// Backup destination (a folder, or a removable disk), set "BVyyyymmdd":
//   writing      each block and descriptor is written as "~<name>.tmp" and renamed to its name
//                (the durable writer). In a folder that may hold a good set of the same name
//                the names are the staged ones, "~BV…#n" and "~BV…#n.inf".
//                A stop leaves staged and temporary files, the old set untouched: the next
//                backup or start (ScartaSetProvvisori) removes them.
//   marker       "~BV….conferma" (the number of blocks) is written once the staged set is
//                whole and verified. From here the set goes forward, never back, at a stop.
//   commit       old descriptors then blocks step aside as "~BV…#n[.inf].vecchio", staged
//                blocks then descriptors take the names. A stop leaves a mix the marker covers:
//                the next start (CompletaConfermeInterrotte) goes forward from it; while the
//                marker exists nothing it names is removed.
//   close        the parked old files go, then the marker: a stop leaves parked files the
//                next start's forward step removes.
//   recovery     a set in a folder may have recovery files "BV….par2" and "BV….volAA+NN.par2"
//                (no "#": the set list never sees them). They are written staged
//                ("~BV….par2", through "~BV….par2.tmp") after the blocks, their final names
//                are listed in the marker after the number of blocks, and they go through the
//                commit with the blocks: the old set's step aside first (every one, listed or
//                not), the new ones take their names last. A stop: as for the blocks.
// Data folder (a restore), driven by the journal "ripristino-in-corso.bvj" in the program
// folder (giornale.h):
//   preparazione the journal is written, then each database comes as "~bvripristinoN.tmp" and
//                its folder as "~bvripristinoN.dir" (carrying the mark ".~bvnuova-<token>").
//                A stop leaves only staged names: the next start removes them, data untouched.
//                Before the journal, the data folder gets the mark ".~bvdati-<token>" that
//                the journal names: no mark found, nothing is decided at the next start.
//   conferma     each live database and folder is kept as a safety copy "<name>.cfbNNN"
//                (a second name for the file, or a flushed copy under "<copy>.~bvtmp") and the
//                staged ones take the live names. A stop: the next start finishes every entry.
//   end          the marks go, then the journal, then the data folder's mark (a stop before
//                it leaves a mark without a journal: the next start removes it).
// A journal whose names are not all of these forms, in the data folder the settings name, is
// put aside untouched.
// Temporary folder (the program's "Temp"): the archive "~dati.zip", its rebuild's and libzip's
// temporary names, its encrypted form while it is written ("~~dati.zip.aes", and libzip's
// temporary names of that), numbered work folders carrying ".bvbackup-lavoro", extraction's
// ".~bv<process>-<n>.tmp", the write probe. The start removes those and nothing else.
#pragma once

#include <cstdint>
#include <string>

#include "platform/filesystem.h"

namespace bv::nomi {

// --- Backup destination ---
// The staged form of a name of the set: the prefix only, the descriptors' contents unchanged.
inline constexpr const char* kPrefissoProvvisorio = "~";
// "BV…#n" plus an extension ("" or ".inf").
std::string Blocco(const std::string& nomefile, int32_t n, const char* estensione = "");
// `cartella` (with its final separator) + the staged form of `nome`.
std::string Provvisorio(const std::string& cartella, const std::string& nome);
// The marker of a set's commit, and the name an old block or descriptor is parked under.
std::string Marcatore(const std::string& cartella, const std::string& nomefile);
std::string Parcheggiato(const std::string& percorsoProvvisorio);
// The recovery files of set `nomefile`: the index's name, and whether `nome` is the index or
// a volume of it ("BV….par2", "BV….volAA+NN.par2").
std::string IndiceRecupero(const std::string& nomefile);
bool FileDiRecupero(const std::string& nome, const std::string& nomefile);
// The set a marker's file name belongs to ("~BV….conferma" -> "BV…"), "" for any other name.
std::string SetDelMarcatore(const std::string& nome);
// The set name a leftover of a stopped backup belongs to, "" for any other name.
std::string SetDelResiduo(const std::string& nome);

// --- Any durable write ---
// The name a file is written under before it takes its own: "~<name>.tmp" beside it.
std::string Temporaneo(const std::string& percorso);
// The durable writer with that name (platform's ScriviDurevole).
void ScriviDurevole(const std::string& percorso, uint64_t n, const Sorgente& sorgente);
void ScriviDurevole(const std::string& percorso, const std::string& testo);

// --- Data folder ---
// Entry i's staged database and folder in the data folder `cartella` (with its separator).
std::string DatabaseRipristinato(const std::string& cartella, int i);
std::string CartellaRipristinata(const std::string& cartella, int i);
// Whether the two names are one entry's staged pair.
bool CoppiaRipristinata(const std::string& database, const std::string& cartella);
// The mark the restored folder `cartella` carries until it is in place.
inline constexpr const char* kSegnoNuova = ".~bvnuova-";
std::string SegnoRipristinata(const std::string& cartella, const std::string& gettone);
// The mark a restore leaves in the data folder `cartella` (with its separator) for as long as
// its journal exists: the proof, at the next start, that the folder found under that path is
// the one the restore was working in (not an unmounted drive's empty mount point, not a link
// turned elsewhere). And whether a name of the data folder is such a mark.
inline constexpr const char* kSegnoDati = ".~bvdati-";
std::string SegnoCartellaDati(const std::string& cartella, const std::string& gettone);
bool NomeSegnoDati(const std::string& nome);
// A safety copy's first free name: percorsoFile + "." + estensione + 000, 001, ... (all digits
// from 1000 on); a name any entry holds already is skipped; past 32,767, Overflow. And whether
// `copia` is a ".cfbNNN" copy of `vivo`.
std::string NomeLibero(const std::string& percorsoFile, std::string estensione);
bool CopiaDi(const std::string& copia, const std::string& vivo);
// Whether a name is any safety copy's ("<name>.cfbNNN").
bool CopiaDiSicurezza(const std::string& nome);
// Where a safety copy grows when it cannot be a second name for the live file.
std::string CopiaProvvisoria(const std::string& copia);

// --- Temporary folder ---
inline constexpr const char* kArchivioTemporaneo = "~dati.zip";
// An encrypted archive while libzip writes it, from the plain one, before it takes the
// archive's name.
std::string Cifrato(const std::string& archivio);
// A restore's work folder: a number in the temporary folder `temp` (with its separator), and
// whether a name is one.
std::string CartellaDiLavoro(const std::string& temp, long numero);
bool NomeDiLavoro(const std::string& nome);
// Written into each restore's work folder when it is made.
inline constexpr const char* kSegnoLavoro = ".bvbackup-lavoro";
// A fresh name in `cartella` for a member while it is extracted.
std::string Estrazione(const std::string& cartella);
// Whether an entry of the temporary folder `temp` is one the program made.
bool NostroInTemp(const std::string& temp, const VoceCartella& v);

}  // namespace bv::nomi
