// The restore's journal (the states and names: sicurezza/nomi_provvisori.h): what a restore is about to
// replace, written and flushed in the program folder before the data folder changes, so that a
// restore stopped at any point (a failure, a crash, a power cut) is finished or undone, never left
// half done.
//
// A restore first brings every restored file into the data folder under a staged name
// (nothing live changes: phase "preparazione"), then puts each database and folder in place
// with atomic renames, keeping the old ones as safety copies (phase "conferma"). Each step
// can be repeated from whatever state the files are in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bv {

struct VoceGiornale {
    std::string database;        // the live name
    std::string nuovoDatabase;   // the restored file, staged beside it
    std::string copiaDatabase;   // the safety copy's name, "" when no database was there
    std::string cartella;        // the companion folder's live name
    std::string nuovaCartella;   // the restored folder, staged
    std::string copiaCartella;   // the safety copy's name, "" when no folder was there
    uint64_t identitaNuova = 0;  // journals of earlier versions: the staged folder's identity
    // A random token: the staged folder carries a mark file named after it (kSegnoNuova +
    // gettone) until it is in place, which tells it from the old folder after an exchange of
    // names, whatever the volume's device number after a remount.
    std::string gettone;
};

struct Giornale {
    enum class Fase { Preparazione, Conferma };
    Fase fase = Fase::Preparazione;
    std::string cartellaDati;    // the data folder every entry lies in
    std::string cartellaLavoro;  // the restore's work folder in the temporary folder
    std::vector<VoceGiornale> voci;
    // The token of the data folder's mark (nomi::SegnoCartellaDati); "" in journals of earlier
    // versions, whose data folder is recognised by the entries' own staged names and marks.
    std::string gettoneDati;
};

// In the program folder.
std::string PercorsoGiornale();
// Written atomically and flushed.
void ScriviGiornale(const Giornale& g);
// The journal left by an interrupted restore; nullopt when there is none. Throws Errore when
// one exists but cannot be read.
std::optional<Giornale> LeggiGiornale();
void RimuoviGiornale();

// Puts the restored database and folder in place, keeping the old ones as safety copies;
// from any state a previous attempt left.
void CompletaVoce(const VoceGiornale& v);
// Once every entry is in place: the restored folder loses its mark (until then an undo can tell
// it from the old one).
void ConcludiVoce(const VoceGiornale& v);
// Puts the old database and folder back and removes the restored ones. Before the
// confirmation (`confermata` false) only the staged names are removed.
void AnnullaVoce(const VoceGiornale& v, bool confermata);

// Why the journal cannot be trusted with the data folder `dati` (the one the settings name) and
// the program's temporary folder `temp`, "" when every entry is provably the restore's own:
// each path a name of the restore's forms directly in the data folder (no "..", no link; the
// same folder however its path is spelled), the work folder a numbered folder in `temp` that
// carries the restore's mark, and no entry that would replace a live database without keeping
// it (no safety copy named, or one named that is another, older file).
std::string MotivoGiornaleNonAffidabile(const Giornale& g, const std::string& dati,
                                        const std::string& temp);

// The data folder's mark: made and flushed before the journal is first written, removed after
// the journal.
void CreaSegnoDati(const Giornale& g);
void RimuoviSegnoDati(const Giornale& g);
// Whether the folder now at the journal's data path is provably the one the restore was
// working in: its mark is there (or, for journals without one, some entry's staged name, mark
// or safety copy is).
bool CartellaDelGiornale(const Giornale& g);
// The databases of the journal that another program holds open now, as the restore itself
// checks them before it changes anything.
std::vector<std::string> DatabaseDelGiornaleInUso(const Giornale& g);

// Whether the journal left, if any, can be read and trusted (else the start could not set it
// aside, and the user must be told which file it is).
bool GiornaleUtilizzabile(const std::string& dati, const std::string& temp);

// Whether a journal waits to be finished.
bool RipristinoInSospeso();

}  // namespace bv
