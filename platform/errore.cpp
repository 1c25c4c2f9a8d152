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
        case EDQUOT:
        case EFBIG:
            return num::DiscoPieno;
        case EIO:
            return num::ErroreIO;
        case EEXIST:
        case ENOTEMPTY:
            return num::FileGiaEsistente;
        case ENOMEDIUM:
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

}  // namespace

Errore ErroreDaErrno(int codice, const std::string& percorso, Oggetto oggetto,
                     const std::string& operazione) {
    const int32_t numero = NumeroDaErrno(codice, oggetto);
    std::string testo = TestoErroreStandard(numero);
    if (!percorso.empty()) {
        testo += (testo.ends_with(' ') ? "" : ": ") + percorso;
    }
    std::string dettaglio = operazione + " '" + percorso + "': " + std::strerror(codice) +
                            " (errno " + std::to_string(codice) + ")";
    Errore e(numero, std::move(testo), std::move(dettaglio));
    e.CodiceSistema(codice);
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
