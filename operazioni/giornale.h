// The restore's journal: what a restore is about to replace, written and flushed in the
// program folder before the data folder changes, so that a restore stopped at any point
// (a failure, a crash, a power cut) is finished or undone, never left half done.
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
    uint64_t identitaNuova = 0;  // tells the staged folder from the old one after an exchange
};

struct Giornale {
    enum class Fase { Preparazione, Conferma };
    Fase fase = Fase::Preparazione;
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
// Puts the old database and folder back and removes the restored ones. Before the
// confirmation (`confermata` false) only the staged names are removed.
void AnnullaVoce(const VoceGiornale& v, bool confermata);

// At start-up, under the one-copy lock: finishes (after the confirmation) or undoes (before
// it) a restore that was interrupted. Returns what to tell the user, "" when there was none.
std::string RecuperaRipristinoInterrotto();

}  // namespace bv
