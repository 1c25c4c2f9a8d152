// What the window and the command line share about the program: its fixed names, its
// settings and its temporary folder.
#pragma once

#include <string>

#include "util/nomi_host.h"

namespace bv {

inline constexpr const char* kEseguibileHost = "Brelvano.exe";
inline constexpr const char* kVersioneMinima = "1.0.0.0";
// The backup sets of a folder, and the mask that turns a set name into its date.
inline constexpr const char* kModelloSet = "BV????????#*";
inline constexpr const char* kMascheraSet = "DDAAAAAAAA";

// Settings: the program's own ("Dest", "Orig") and the host's data path.
inline constexpr const char* kSezioneBackup = "Backup";
inline constexpr const char* kSezioneDati = "CartellaDati";
// The schedule the window or `bvbackup-cli pianifica` registered.
inline constexpr const char* kSezionePianificazione = "Pianificazione";
std::string ApplicazioneProgramma();  // "KO_BVBackup"
std::string ApplicazioneHost();       // "KO_Brelvano"
// "1": backups are encrypted (the window's "Cifra il backup"), with the key kept on this
// computer (platform/custodia_chiave.h); the key itself is never a setting.
inline constexpr const char* kValoreCifra = "Cifra";

// The program folder followed by "Temp", without a final separator.
std::string CartellaTempProgramma();
// The folder of the registered host, with a final separator, or "".
std::string CartellaInstallazioneHost();

}  // namespace bv
