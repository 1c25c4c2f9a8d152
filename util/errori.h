// The program's own errors that more than one part raises: each number with its Italian text
// in one place. The numbers and texts are what the window, the command line and the scripts
// that read "Errore N:" rely on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/errore.h"

namespace bv::errori {

inline constexpr int32_t InEsecuzione = 9983;
inline constexpr int32_t DestinazioneNonValida = 9984;
inline constexpr int32_t Compressione = 9986;
inline constexpr int32_t SelezionareUnBackup = 9991;
inline constexpr int32_t BackupNonTrovato = 9241;
inline constexpr int32_t Annullata = 10003;
inline constexpr int32_t SpazioInsufficiente = 10015;
inline constexpr int32_t DatabaseNonLeggibile = 9994;

// 9983: the host or one of its modules holds a database open; `operazione` is "backup" or
// "ripristino"; `database`, when known, is named.
Errore HostInEsecuzione(const std::string& operazione, const std::string& database = {});
// 9994: a database that cannot be read (permissions): closing the host would not help.
Errore DatabaseIlleggibile(const std::string& database, const Errore& causa);
// 9984: a folder that is missing, or a drive without a disk.
Errore DestinazioneNonValidaODiscoNonPronto();
// 9986: the archive could not be made, or read back.
Errore ErroreCompressione(std::string dettaglio = {});
Errore ErroreDecompressione(std::string dettaglio = {});
// 9241: no set of that name in the folder.
Errore BackupNonTrovatoIn(const std::string& cartella);
// 10003: the user cancelled (a disk request, a confirmation).
Errore OperazioneAnnullata();
// 10015: not room enough on the disk.
Errore SpazioDiscoInsufficiente(std::string dettaglio = {});
// 10015 for the program's temporary folder, which holds the archive while it is made: where it
// is, the most the archive may take and what is free (negative: unknown).
Errore TempSenzaSpazio(const std::string& cartella, uint64_t servono, int64_t liberi);

}  // namespace bv::errori
