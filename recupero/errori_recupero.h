// The recovery files' own errors. Numbers 12001-12099 belong to this library:
//   12001  a PAR2 file or set that cannot be used (no valid description of the set)
//   12002  not enough recovery data for the damage found
//   12003  a name recorded in the set that cannot be used as a file name here
//   12004  parameters that the format cannot hold (slice size, counts)
//   12005  a repair whose result does not match the recorded checksums
//   12006  the writer used out of order (data outside a file, a file left open)
#pragma once

#include <cstdint>
#include <string>

#include "platform/errore.h"

namespace bv::recupero {

inline constexpr int32_t ErrInsiemeNonValido = 12001;
inline constexpr int32_t ErrRecuperoInsufficiente = 12002;
inline constexpr int32_t ErrNomeNonValido = 12003;
inline constexpr int32_t ErrParametri = 12004;
inline constexpr int32_t ErrRiparazione = 12005;
inline constexpr int32_t ErrUso = 12006;

inline Errore InsiemeNonValido(std::string dettaglio) {
    return Errore(ErrInsiemeNonValido, "File di recupero non utilizzabili.", std::move(dettaglio));
}
// `mancano`: how many more recovery slices the repair would need.
inline Errore RecuperoInsufficiente(uint64_t danneggiate, uint64_t disponibili) {
    return Errore(ErrRecuperoInsufficiente,
                  "Dati di recupero insufficienti: " + std::to_string(danneggiate) +
                      " blocchi danneggiati, " + std::to_string(disponibili) +
                      " blocchi di recupero disponibili, ne mancano " +
                      std::to_string(danneggiate - disponibili) + ".");
}
inline Errore NomeNonValido(const std::string& nome) {
    return Errore(ErrNomeNonValido, "Nome di file non valido nei dati di recupero.", nome);
}
inline Errore ParametriNonValidi(std::string dettaglio) {
    return Errore(ErrParametri, "Parametri dei dati di recupero non validi.", std::move(dettaglio));
}
inline Errore RiparazioneNonRiuscita(std::string dettaglio) {
    return Errore(ErrRiparazione, "Riparazione non riuscita.", std::move(dettaglio));
}
inline Errore UsoNonValido(std::string dettaglio) {
    return Errore(ErrUso, "Errore interno nei dati di recupero.", std::move(dettaglio));
}

}  // namespace bv::recupero
