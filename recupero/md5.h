// MD5 (RFC 1321): the PAR2 format names packets, files and slices by it. Portable, no
// dependency on a system library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace bv::recupero {

using Md5 = std::array<uint8_t, 16>;

class CalcoloMd5 {
  public:
    CalcoloMd5();
    void Aggiungi(const void* dati, size_t n);
    // Ends the computation; the object is then reset for a new one.
    Md5 Fine();

  private:
    void Blocco(const uint8_t* p);
    uint32_t stato_[4];
    uint8_t buffer_[64];
    uint64_t lunghezza_ = 0;  // bytes added so far
};

Md5 CalcolaMd5(const void* dati, size_t n);
std::string Esadecimale(const Md5& h);

}  // namespace bv::recupero
