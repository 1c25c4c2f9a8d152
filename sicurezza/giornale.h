// The restore's journal (the states and names: sicurezza/nomi.h): what a restore is about to
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
// each path a name of the restore's forms directly in the data folder (no "..", no link), the
// work folder a numbered folder in `temp`.
std::string MotivoGiornaleNonAffidabile(const Giornale& g, const std::string& dati,
                                        const std::string& temp);

// Whether a journal waits to be finished.
bool RipristinoInSospeso();

}  // namespace bv
