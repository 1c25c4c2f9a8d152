#include "util/errori.h"

#include "util/koutilita.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/percorsi.h"
#include "util/nomi_host.h"

namespace bv::errori {

namespace {

constexpr const char* kUtenteSenzaLimitazioni =
    "Per poter eseguire il modulo è necessario usare un utente senza limitazioni.";

constexpr std::array kTabella{
    Voce{UtenteLimitato, "UtenteLimitato", kUtenteSenzaLimitazioni},
    Voce{TempNonCreata, "TempNonCreata", kUtenteSenzaLimitazioni},
    Voce{BloccoNonUtilizzabile, "BloccoNonUtilizzabile", kTestoBloccoNonUtilizzabile},
    Voce{OperazioneInCorso, "OperazioneInCorso", kTestoOperazioneInCorso},
    Voce{VersioneHost, "VersioneHost",
         "Il modulo di backup è applicabile unicamente alla versione 1.0.0.0 o versione "
         "successiva di Brelvano."},
    Voce{FilenameMancante, "FilenameMancante", "E' necessario impostare il filename."},
    Voce{FilenameInesistente, "FilenameInesistente",
         "E' necessario impostare un filename esistente."},
    Voce{FileNonCaricato, "FileNonCaricato", "E' necessario prima caricare il file assegnato."},
    Voce{ScritturaNegata, "ScritturaNegata", "{}: accesso in scrittura negato."},
    Voce{DimensioneZero, "DimensioneZero", "{}: dimensione zero byte."},
    Voce{UnitaNonValida, "UnitaNonValida", "unità non valida."},
    Voce{PercorsoNonValido, "PercorsoNonValido", "{}: percorso non valido."},
    Voce{SpazioNonDeterminabile, "SpazioNonDeterminabile",
         "{} impossibile determinare lo spazio disco."},
    Voce{BackupNonTrovato, "BackupNonTrovato", "{}: backup non trovato."},
    Voce{DestinazioneMancante, "DestinazioneMancante", "E' necessario indicare la destinazione."},
    Voce{InEsecuzione, "InEsecuzione",
         "Impossibile effettuare il {} se Brelvano o un modulo aggiuntivo è in esecuzione."},
    Voce{DestinazioneNonValida, "DestinazioneNonValida",
         "Destinazione non valida o disco non pronto."},
    Voce{DatiNonPresenti, "DatiNonPresenti",
         "Impossibile procedere con il backup. Dati non presenti o Brelvano non installato."},
    Voce{Compressione, "Compressione",
         "Errore durante la compressione. Impossibile procedere. Vedere il file log per "
         "maggiori dettagli."},
    Voce{VerificaFallita, "VerificaFallita", "Verifica fallita."},
    Voce{NessunDato, "NessunDato", "Nessun file data presente. Impossibile effettuare il backup."},
    Voce{HostNonInstallato, "HostNonInstallato",
         "Impossibile procedere con il ripristino. Brelvano non installato."},
    Voce{AccessoNegato, "AccessoNegato",
         "Impossibile procedere con il ripristino. Accesso in scrittura non permesso."},
    Voce{SelezionareUnBackup, "SelezionareUnBackup",
         "E' necessario selezionare un backup dalla lista."},
    Voce{NomeNonAmmesso, "NomeNonAmmesso", "Nome di file non ammesso nel backup."},
    Voce{NomiUguali, "NomiUguali",
         "I file {} e {} avrebbero lo stesso nome nel backup e non potrebbero essere ripristinati "
         "entrambi. Rinominarne uno e ripetere il backup."},
    Voce{DatabaseNonLeggibile, "DatabaseNonLeggibile",
         "Impossibile leggere il database {} ({}). Verificare che l'utente abbia il permesso di "
         "leggere il file e ripetere il backup."},
    Voce{Annullata, "Annullata", "Operazione annullata."},
    Voce{FormatoNonValido, "FormatoNonValido", "Formato non valido."},
    Voce{BloccoDanneggiato, "BloccoDanneggiato",
         "Dimensione non corretta. Il backup potrebbe essere danneggiato."},
    Voce{SetCorrotto, "SetCorrotto", "Dimensione errata. Il backup potrebbe essere corrotto."},
    Voce{BackupDiversi, "BackupDiversi",
         "I blocchi appartengono a backup diversi. Il backup non può essere ripristinato."},
    Voce{AltroProgramma, "AltroProgramma", "Il set di backup appartiene ad un altro programma."},
    Voce{SpazioInsufficiente, "SpazioInsufficiente", "Spazio disco insufficiente."},
    Voce{BloccoMancante, "BloccoMancante",
         "Il backup in {} è incompleto: manca il blocco {} (o il suo descrittore .inf). Ricopiare "
         "nella cartella il blocco mancante o ripristinare un altro backup. I dati non sono stati "
         "modificati."},
    Voce{SpazioCartella, "SpazioCartella",
         "Spazio insufficiente nella cartella {}: il backup richiede circa {} e ne restano liberi "
         "{}. Liberare spazio o scegliere un'altra destinazione, poi ripetere il backup."},
    Voce{RipristinoInSospeso, "RipristinoInSospeso",
         "Un ripristino interrotto non è ancora stato completato."},
    Voce{FormatoDataNonSupportato, "FormatoDataNonSupportato", "To_Date: formato non supportato."},
    Voce{FormatoDataNonValido, "FormatoDataNonValido", "To_Date: formato non valido."},
    Voce{ChiaveErrata, "ChiaveErrata",
         "Il backup è cifrato e la chiave di ripristino indicata non lo apre. Indicare la chiave "
         "di ripristino con cui è stato fatto. I dati non sono stati modificati."},
    Voce{ChiaveMancante, "ChiaveMancante",
         "Nessuna chiave di ripristino per cifrare il backup: impostarla dalla finestra "
         "(\"Cifra il backup\") o indicarne il file."},
    Voce{ChiaveNonValida, "ChiaveNonValida",
         "{} non contiene una chiave di ripristino valida."},
    Voce{PianificazioneNonRegistrata, "PianificazioneNonRegistrata",
         kTestoPianificazioneNonRegistrata},
};

}  // namespace

std::span<const Voce> Tabella() {
    return kTabella;
}

std::string_view Testo(int32_t numero) {
    const auto* v = std::find_if(kTabella.begin(), kTabella.end(),
                                 [numero](const Voce& x) { return x.numero == numero; });
    return v == kTabella.end() ? std::string_view() : std::string_view(v->testo);
}

Errore Crea(int32_t numero, std::string dettaglio) {
    return Errore(numero, std::string(Testo(numero)), std::move(dettaglio));
}

Errore CreaCon(int32_t numero, std::initializer_list<std::string_view> nomi,
               std::string dettaglio) {
    return Errore(numero, Componi(Testo(numero), nomi), std::move(dettaglio));
}

Errore HostInEsecuzione(const std::string& operazione, const std::string& database) {
    std::string testo = Componi(Testo(InEsecuzione), {operazione});
    if (!database.empty()) testo += " Il database " + PercorsoPerMessaggio(database) + " è aperto.";
    return Errore(InEsecuzione, testo);
}

Errore DatabaseIlleggibile(const std::string& database, const Errore& causa) {
    return CreaCon(DatabaseNonLeggibile, {PercorsoPerMessaggio(database), causa.Descrizione()},
                   causa.Dettaglio());
}

Errore DestinazioneNonValidaODiscoNonPronto() {
    return Crea(DestinazioneNonValida);
}

namespace {
std::string Mega(uint64_t byte) {  // rounded up
    return std::to_string(byte / 1048576 + (byte % 1048576 != 0 ? 1 : 0)) + " MB";
}

// "Vedere il file log": where it is, and that nothing was changed (the archive is made and read
// apart from the data; a restore touches the data folder only once the archive is read whole).
std::string DoveIlLog() {
    return " Il file log è " + PercorsoPerMessaggio(koUtilita::FileLog()) +
           ". I dati non sono stati modificati.";
}
}  // namespace

Errore ErroreCompressione(std::string dettaglio) {
    return Errore(Compressione, std::string(Testo(Compressione)) + DoveIlLog(),
                  std::move(dettaglio));
}

Errore ErroreDecompressione(std::string dettaglio) {
    return Errore(Compressione,
                  "Errore durante la decompressione. Impossibile procedere. Vedere il file log "
                  "per maggiori dettagli." +
                      DoveIlLog(),
                  std::move(dettaglio));
}

Errore MembroRifiutato(const std::string& motivo, std::string dettaglio) {
    return Errore(Compressione,
                  "Il backup non può essere ripristinato su questo sistema: " + motivo +
                      ". I dati non sono stati modificati.",
                  std::move(dettaglio));
}

Errore NessunDatoDaSalvare() {
    return Crea(NessunDato);
}

Errore CartellaDatiAssente(const std::string& cartella) {
    return Errore(NessunDato, std::string(Testo(NessunDato)) +
                                  " La cartella dei dati indicata nelle impostazioni di " + kHost +
                                  ", " + PercorsoPerMessaggio(cartella) +
                                  ", non esiste: collegare l'unità che la contiene o correggere "
                                  "il percorso in " +
                                  kHost + ", poi ripetere il backup.");
}

Errore NessunDatoNelBackup() {
    return Errore(NessunDato,
                  "Nessun file data presente nel backup. Impossibile effettuare il ripristino.");
}

Errore BloccoMancanteIn(const std::string& cartella, const std::string& blocco) {
    return CreaCon(BloccoMancante, {PercorsoPerMessaggio(cartella), blocco}, cartella + blocco);
}

Errore DestinazioneScomparsa(const std::string& cartella, const Errore& causa) {
    return Errore(DestinazioneNonValida,
                  std::string(Testo(DestinazioneNonValida)) + " La destinazione " +
                      PercorsoPerMessaggio(cartella) +
                      " non è più raggiungibile (il disco o la chiavetta è stato scollegato?): "
                      "ricollegarla e ripetere il backup.",
                  "Errore " + std::to_string(causa.Numero()) + ": " + causa.Descrizione() + " " +
                      causa.Dettaglio());
}

Errore SpazioCartellaInsufficiente(const std::string& cartella, uint64_t servono, int64_t liberi) {
    return CreaCon(SpazioCartella,
                   {PercorsoPerMessaggio(cartella), Mega(servono),
                    Mega(static_cast<uint64_t>(std::max<int64_t>(liberi, 0)))},
                   cartella);
}

Errore BackupNonTrovatoIn(const std::string& cartella) {
    return CreaCon(BackupNonTrovato, {PercorsoPerMessaggio(cartella)});
}

Errore OperazioneAnnullata() {
    return Crea(Annullata);
}

Errore SpazioDiscoInsufficiente(std::string dettaglio) {
    return Crea(SpazioInsufficiente, std::move(dettaglio));
}

Errore TempSenzaSpazio(const std::string& cartella, uint64_t servono, int64_t liberi) {
    std::string testo = std::string(Testo(SpazioInsufficiente)) +
                        " La cartella temporanea del programma " + PercorsoPerMessaggio(cartella) +
                        ", dove il backup prepara l'archivio, non ha più spazio: l'archivio può "
                        "occupare fino a " +
                        Mega(servono);
    if (liberi >= 0)
        testo += " e sul disco ne restano liberi " + Mega(static_cast<uint64_t>(liberi));
    testo += ". Liberare spazio su quel disco e ripetere il backup.";
    return Errore(SpazioInsufficiente, testo, cartella);
}

Errore ChiaveNonCorretta(std::string dettaglio) {
    return Crea(ChiaveErrata, std::move(dettaglio));
}

}  // namespace bv::errori
