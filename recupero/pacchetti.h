// The PAR2 packets: a 64-byte header (magic, length, MD5 of the rest, recovery set, type) and
// a body, little-endian, every length a multiple of four. Building them, and finding the valid
// ones in bytes that may be damaged anywhere.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recupero/md5.h"

namespace bv::recupero {

using TipoPacchetto = std::array<uint8_t, 16>;

inline constexpr size_t kIntestazione = 64;
constexpr TipoPacchetto TipoDa(const char (&s)[17]) {
    TipoPacchetto t{};
    for (size_t i = 0; i < 16; ++i) t[i] = static_cast<uint8_t>(s[i]);
    return t;
}
// The set: slice size and files.
inline constexpr TipoPacchetto kTipoPrincipale = TipoDa("PAR 2.0\0Main\0\0\0\0");
// One file: name, length, hashes.
inline constexpr TipoPacchetto kTipoDescrizione = TipoDa("PAR 2.0\0FileDesc");
// One file: each slice's MD5 and CRC32.
inline constexpr TipoPacchetto kTipoSomme = TipoDa("PAR 2.0\0IFSC\0\0\0\0");
// One recovery slice.
inline constexpr TipoPacchetto kTipoRecupero = TipoDa("PAR 2.0\0RecvSlic");
// The program that made the file.
inline constexpr TipoPacchetto kTipoCreatore = TipoDa("PAR 2.0\0Creator\0");

// Little-endian fields of a body.
void Aggiungi32(std::vector<uint8_t>& b, uint32_t v);
void Aggiungi64(std::vector<uint8_t>& b, uint64_t v);
void AggiungiMd5(std::vector<uint8_t>& b, const Md5& h);
// Text padded with zeros to a multiple of four.
void AggiungiTesto(std::vector<uint8_t>& b, const std::string& s);
uint32_t Leggi32(const uint8_t* p);
uint64_t Leggi64(const uint8_t* p);

// A whole packet around a body whose length is a multiple of four.
std::vector<uint8_t> CreaPacchetto(const Md5& insieme, const TipoPacchetto& tipo,
                                   const std::vector<uint8_t>& corpo);
// The header alone, for a body of `lunghezza` bytes whose packet hash (over set, type and
// body) the caller has computed, as for a recovery slice kept elsewhere.
std::vector<uint8_t> IntestazionePacchetto(const Md5& insieme, const TipoPacchetto& tipo,
                                           uint64_t lunghezza, const Md5& hash);
// The packet hash starts with the set and the type: the computation ready for the body.
CalcoloMd5 InizioHashPacchetto(const Md5& insieme, const TipoPacchetto& tipo);

// A packet found intact.
struct Pacchetto {
    Md5 insieme{};
    TipoPacchetto tipo{};
    uint64_t offsetCorpo = 0;  // where the body starts in its file
    uint64_t lunghezzaCorpo = 0;
    // The body, for every type but recovery slices, of which only the exponent is kept
    // (the data is read again when needed).
    std::vector<uint8_t> corpo;
};

struct Scansione {
    std::vector<Pacchetto> pacchetti;
    uint64_t scartati = 0;  // packet starts found whose length or hash did not hold
};

// Reads up to n bytes at an offset; fewer (even 0) where the medium cannot be read.
using LettoreDa = std::function<size_t(uint64_t offset, uint8_t* buf, size_t n)>;
Scansione Scandisci(uint64_t dimensione, const LettoreDa& leggi);
// A file through the file layer; a file that cannot be opened gives no packets.
Scansione ScandisciFile(const std::string& percorso);

}  // namespace bv::recupero
