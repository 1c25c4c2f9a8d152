// Arithmetic in GF(2^16) as the PAR2 format defines it: generator polynomial
// x^16 + x^12 + x^3 + x + 1 (0x1100B), words of two bytes, little-endian in the files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bv::recupero::gf16 {

uint16_t Moltiplica(uint16_t a, uint16_t b);
// a must not be 0.
uint16_t Inverso(uint16_t a);
uint16_t Potenza(uint16_t a, uint64_t e);
// The most input slices one set may have: one constant each.
inline constexpr uint32_t kMaxFetteIngresso = 32768;
// The constant of the input slice with that global index (< kMaxFetteIngresso): the index-th
// power of two whose order is the whole group (2^n with n not a multiple of 3, 5, 17 or 257).
uint16_t CostanteIngresso(uint32_t indice);
// CostanteIngresso(indice) raised to the recovery slice's exponent.
uint16_t Coefficiente(uint32_t indice, uint32_t esponente);

// The ways the region loop can run on this machine.
enum class Variante { Semplice, Ssse3, Avx2 };
const char* NomeVariante(Variante v);
std::vector<Variante> VariantiDisponibili();
Variante VarianteMigliore();

// dst ^= c * src over n bytes (n even) of 16-bit words; buffers need no alignment.
void MoltiplicaAccumula(uint16_t c, const uint8_t* src, uint8_t* dst, size_t n);
void MoltiplicaAccumula(Variante v, uint16_t c, const uint8_t* src, uint8_t* dst, size_t n);

}  // namespace bv::recupero::gf16
