// Standard error numbers and their Italian texts, and the mapping from errno.
#include "platform/errore.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

namespace bv {

Errore::Errore(int32_t numero, std::string descrizione, std::string dettaglio)
    : std::runtime_error(descrizione),
      numero_(numero),
      descrizione_(std::move(descrizione)),
      dettaglio_(std::move(dettaglio)) {}

std::string Componi(std::string_view testo, std::initializer_list<std::string_view> nomi) {
    std::string r;
    const auto* nome = nomi.begin();
    for (size_t da = 0;;) {
        const size_t segno = testo.find("{}", da);
        if (segno == std::string_view::npos || nome == nomi.end()) {
            r += testo.substr(da);
            return r;
        }
        r += testo.substr(da, segno - da);
        r += *nome++;
        da = segno + 2;
    }
}

std::string TestoErroreStandard(int32_t numero) {
    switch (numero) {
        case num::ArgomentoNonValido:
            return "Chiamata di routine o argomento non validi";
        case num::Overflow:
            return "Overflow";
        case num::MemoriaEsaurita:
            return "Memoria esaurita";
        case num::ErroreInterno:
            return "Errore interno";
        case num::IndiceFuoriIntervallo:
            return "Indice non compreso nell'intervallo";
        case num::TipoNonCorrispondente:
            return "Tipo non corrispondente";
        case num::NomeFileNonValido:
            return "Nome o numero di file non valido";
        case num::FileNonTrovato:
            return "Impossibile trovare il file";
        case num::FileGiaAperto:
            return "File già aperto";
        case num::ErroreIO:
            return "Errore di I/O periferica";
        case num::FileGiaEsistente:
            return "File già esistente";
        case num::DiscoPieno:
            return "Disco pieno";
        case num::PerifericaNonDisponibile:
            return "Periferica non disponibile";
        case num::AutorizzazioneNegata:
            return "Autorizzazione negata";
        case num::DiscoNonPronto:
            return "Disco non pronto";
        case num::AccessoPercorso:
            return "Errore di accesso al percorso/file";
        case num::PercorsoNonTrovato:
            return "Impossibile trovare il percorso ";
        case num::ValoreProprietaNonValido:
            return "Valore della proprietà non valido";
        default:
            return {};
    }
}

Errore ErroreStandard(int32_t numero, std::string dettaglio) {
    return Errore(numero, TestoErroreStandard(numero), std::move(dettaglio));
}

namespace {

int32_t NumeroDaErrno(int codice, Oggetto oggetto) {
    switch (codice) {
        case ENOENT:
        case ENOTDIR:
            return oggetto == Oggetto::File ? num::FileNonTrovato : num::PercorsoNonTrovato;
        case EACCES:
        case EPERM:
        case EROFS:
            return num::AutorizzazioneNegata;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
        case EFBIG:
            return num::DiscoPieno;
        case EIO:
            return num::ErroreIO;
        case EEXIST:
        case ENOTEMPTY:
            return num::FileGiaEsistente;
#ifdef ENOMEDIUM  // Linux's "no medium": absent from other C libraries
        case ENOMEDIUM:
#endif
            return num::DiscoNonPronto;
        case ENODEV:
        case ENXIO:
            return num::PerifericaNonDisponibile;
        case ENAMETOOLONG:
        case EINVAL:
            return num::NomeFileNonValido;
        default:
            return num::AccessoPercorso;
    }
}

// The text of a number with the path after it, as the user reads it.
std::string TestoConPercorso(int32_t numero, const std::string& percorso) {
    std::string testo = TestoErroreStandard(numero);
    if (!percorso.empty()) testo += (testo.ends_with(' ') ? "" : ": ") + percorso;
    return testo;
}

}  // namespace

int32_t NumeroDaCodiceWin32(uint32_t codice, Oggetto oggetto) {
    // Codes of winerror.h, by value: this table builds where <windows.h> is not at hand.
    switch (codice) {
        case 2:  // ERROR_FILE_NOT_FOUND
            return oggetto == Oggetto::File ? num::FileNonTrovato : num::PercorsoNonTrovato;
        case 3:    // ERROR_PATH_NOT_FOUND
        case 53:   // ERROR_BAD_NETPATH
        case 67:   // ERROR_BAD_NET_NAME
        case 267:  // ERROR_DIRECTORY
            return num::PercorsoNonTrovato;
        case 5:   // ERROR_ACCESS_DENIED
        case 19:  // ERROR_WRITE_PROTECT
        case 32:  // ERROR_SHARING_VIOLATION
        case 33:  // ERROR_LOCK_VIOLATION
            return num::AutorizzazioneNegata;
        case 8:   // ERROR_NOT_ENOUGH_MEMORY
        case 14:  // ERROR_OUTOFMEMORY
            return num::MemoriaEsaurita;
        case 15:  // ERROR_INVALID_DRIVE
        case 55:  // ERROR_DEV_NOT_EXIST
            return num::PerifericaNonDisponibile;
        case 21:   // ERROR_NOT_READY
        case 1112: // ERROR_NO_MEDIA_IN_DRIVE
            return num::DiscoNonPronto;
        case 23:    // ERROR_CRC
        case 29:    // ERROR_WRITE_FAULT
        case 30:    // ERROR_READ_FAULT
        case 31:    // ERROR_GEN_FAILURE
        case 1117:  // ERROR_IO_DEVICE
        case 1392:  // ERROR_FILE_CORRUPT
            return num::ErroreIO;
        case 39:   // ERROR_HANDLE_DISK_FULL
        case 112:  // ERROR_DISK_FULL
        case 1295: // ERROR_DISK_QUOTA_EXCEEDED
            return num::DiscoPieno;
        case 80:   // ERROR_FILE_EXISTS
        case 145:  // ERROR_DIR_NOT_EMPTY
        case 183:  // ERROR_ALREADY_EXISTS
            return num::FileGiaEsistente;
        case 87:   // ERROR_INVALID_PARAMETER
        case 123:  // ERROR_INVALID_NAME
        case 161:  // ERROR_BAD_PATHNAME
        case 206:  // ERROR_FILENAME_EXCED_RANGE
            return num::NomeFileNonValido;
        default:
            return num::AccessoPercorso;
    }
}

Errore ErroreDaCodiceWin32(uint32_t codice, const std::string& percorso, Oggetto oggetto,
                           const std::string& operazione, const std::string& testoSistema) {
    const int32_t numero = NumeroDaCodiceWin32(codice, oggetto);
    Errore e(numero, TestoConPercorso(numero, percorso),
             operazione + " '" + percorso + "': " + testoSistema + " (codice " +
                 std::to_string(codice) + ")");
    e.CodiceSistema(static_cast<int>(codice));
    e.TraVolumi(codice == 17);  // ERROR_NOT_SAME_DEVICE
    return e;
}

Errore ErroreDaErrno(int codice, const std::string& percorso, Oggetto oggetto,
                     const std::string& operazione) {
    const int32_t numero = NumeroDaErrno(codice, oggetto);
    std::string testo = TestoConPercorso(numero, percorso);
    std::string dettaglio = operazione + " '" + percorso + "': " + std::strerror(codice) +
                            " (errno " + std::to_string(codice) + ")";
    Errore e(numero, std::move(testo), std::move(dettaglio));
    e.CodiceSistema(codice);
    e.TraVolumi(codice == EXDEV);
    return e;
}

}  // namespace bv

namespace bv {

Errore ErroreCorrente() {
    try {
        throw;
    } catch (const Errore& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return ErroreStandard(num::MemoriaEsaurita);
    } catch (const std::exception& e) {
        return ErroreStandard(num::ErroreInterno, e.what());
    } catch (...) {
        return ErroreStandard(num::ErroreInterno, "eccezione sconosciuta");
    }
}

}  // namespace bv
