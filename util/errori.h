// The program's own errors: every number it raises, by name, with its Italian text in one
// table (errori.cpp). The numbers and texts are what the window, the command line and the
// scripts that read "Errore N:" rely on. A text's "{}" stands for what the message names (a
// path, a file); a number whose messages are written where they are raised, since each says
// in detail what is wrong, has here the general sense of them all.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/errore.h"
#include "platform/errori_piattaforma.h"  // the locks' numbers, which the platform raises

namespace bv::errori {

// Start-up.
inline constexpr int32_t UtenteLimitato = 3001;  // the program folder cannot be written
inline constexpr int32_t TempNonCreata = 3002;   // the temporary folder cannot be created
// 3003 BloccoNonUtilizzabile, 3004 OperazioneInCorso, 10019 PianificazioneNonRegistrata:
// platform/errori_piattaforma.h.
inline constexpr int32_t VersioneHost = 3012;  // the host older than 1.0.0.0
// Spanned sets.
inline constexpr int32_t FilenameMancante = 9232;
inline constexpr int32_t FilenameInesistente = 9233;
inline constexpr int32_t FileNonCaricato = 9234;
inline constexpr int32_t ScritturaNegata = 9235;
inline constexpr int32_t DimensioneZero = 9236;
inline constexpr int32_t UnitaNonValida = 9237;
inline constexpr int32_t PercorsoNonValido = 9238;
inline constexpr int32_t SpazioNonDeterminabile = 9240;
inline constexpr int32_t BackupNonTrovato = 9241;
// The backup and restore commands.
inline constexpr int32_t DestinazioneMancante = 9982;
inline constexpr int32_t InEsecuzione = 9983;
inline constexpr int32_t DestinazioneNonValida = 9984;
inline constexpr int32_t DatiNonPresenti = 9985;
inline constexpr int32_t Compressione = 9986;
inline constexpr int32_t VerificaFallita = 9987;
inline constexpr int32_t NessunDato = 9988;
inline constexpr int32_t HostNonInstallato = 9989;
inline constexpr int32_t AccessoNegato = 9990;
inline constexpr int32_t SelezionareUnBackup = 9991;
inline constexpr int32_t NomeNonAmmesso = 9992;  // a name the restore could not give back
inline constexpr int32_t NomiUguali = 9993;      // two names that would be one in the set
inline constexpr int32_t DatabaseNonLeggibile = 9994;
// Spanned sets and their rebuild.
inline constexpr int32_t Annullata = 10003;
inline constexpr int32_t FormatoNonValido = 10004;
inline constexpr int32_t BloccoDanneggiato = 10005;
inline constexpr int32_t SetCorrotto = 10006;
inline constexpr int32_t BackupDiversi = 10007;
inline constexpr int32_t AltroProgramma = 10014;
inline constexpr int32_t SpazioInsufficiente = 10015;
inline constexpr int32_t RipristinoInSospeso = 10016;
inline constexpr int32_t BloccoMancante = 10017;
inline constexpr int32_t SpazioCartella = 10018;
// Date conversion.
inline constexpr int32_t FormatoDataNonSupportato = 11004;
inline constexpr int32_t FormatoDataNonValido = 11005;
// Encrypted sets.
inline constexpr int32_t ChiaveErrata = 10020;      // the key does not open the set
inline constexpr int32_t ChiaveMancante = 10021;    // encryption asked, no key to encrypt with
inline constexpr int32_t ChiaveNonValida = 10022;   // a text that is not a recovery key

struct Voce {
    int32_t numero;
    const char* nome;
    const char* testo;
};

// The table, one entry per number.
std::span<const Voce> Tabella();
// The text of a number of the table, "" for any other.
std::string_view Testo(int32_t numero);

// The error with its number's text; with `nomi`, each "{}" of it replaced by the next.
Errore Crea(int32_t numero, std::string dettaglio = {});
Errore CreaCon(int32_t numero, std::initializer_list<std::string_view> nomi,
               std::string dettaglio = {});

// 9983: the host or one of its modules holds a database open; `operazione` is "backup" or
// "ripristino"; `database`, when known, is named.
Errore HostInEsecuzione(const std::string& operazione, const std::string& database = {});
// 9994: a database that cannot be read (permissions): closing the host would not help.
Errore DatabaseIlleggibile(const std::string& database, const Errore& causa);
// 9984: a folder that is missing, or a drive without a disk.
Errore DestinazioneNonValidaODiscoNonPronto();
// 9986: the archive could not be made, or read back, or holds a member this system cannot
// hold (`motivo`).
Errore ErroreCompressione(std::string dettaglio = {});
Errore ErroreDecompressione(std::string dettaglio = {});
Errore MembroRifiutato(const std::string& motivo, std::string dettaglio);
// 9988: no database in the data folder; or that folder, named in the host's settings, is not
// there; or none in the set a restore extracted.
Errore NessunDatoDaSalvare();
Errore CartellaDatiAssente(const std::string& cartella);
Errore NessunDatoNelBackup();
// 9241: no set of that name in the folder.
Errore BackupNonTrovatoIn(const std::string& cartella);
// 10017: a set in a folder of a fixed disk lacks a block: no disk to ask for, the block named.
Errore BloccoMancanteIn(const std::string& cartella, const std::string& blocco);
// 9984: the destination went while the backup wrote to it (a stick pulled out).
Errore DestinazioneScomparsa(const std::string& cartella, const Errore& causa);
// 10018: a destination folder of a fixed disk without room for the set: how much is needed and
// free (no disk to change there).
Errore SpazioCartellaInsufficiente(const std::string& cartella, uint64_t servono, int64_t liberi);
// 10003: the user cancelled (a disk request, a confirmation).
Errore OperazioneAnnullata();
// 10015: not room enough on the disk.
Errore SpazioDiscoInsufficiente(std::string dettaglio = {});
// 10015 for the program's temporary folder, which holds the archive while it is made: where it
// is, the most the archive may take and what is free (negative: unknown).
Errore TempSenzaSpazio(const std::string& cartella, uint64_t servono, int64_t liberi);

// 10020: the set is encrypted and the key given (or the one kept) does not open it.
Errore ChiaveNonCorretta(std::string dettaglio = {});

}  // namespace bv::errori
