// The cryptographic building blocks of the encrypted archives, from the system's library
// (OpenSSL's libcrypto on POSIX, BCrypt on Windows), never written by hand: AES-256 on whole
// blocks, HMAC-SHA1 and PBKDF2-HMAC-SHA1. The archive's own format (counter mode, key layout)
// is built on them elsewhere. Every failure of the library throws Errore (ErroreInterno).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace bv {

inline constexpr size_t kBloccoAes = 16;
inline constexpr size_t kChiaveAes256 = 32;
inline constexpr size_t kHmacSha1 = 20;

// AES-256 encryption of independent blocks (ECB), in bulk: the keystream of a counter mode is
// the counter blocks so encrypted, many per call.
class CifraAes256 {
  public:
    explicit CifraAes256(const uint8_t* chiave);  // kChiaveAes256 bytes
    ~CifraAes256();
    CifraAes256(const CifraAes256&) = delete;
    CifraAes256& operator=(const CifraAes256&) = delete;

    // `n` a multiple of kBloccoAes; `in` and `out` may be the same buffer.
    void CifraBlocchi(const uint8_t* in, uint8_t* out, size_t n);

    struct Stato;

  private:
    std::unique_ptr<Stato> s_;
};

// HMAC-SHA1 of what is added, in as many calls as wanted.
class HmacSha1 {
  public:
    HmacSha1(const uint8_t* chiave, size_t n);
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    void Aggiungi(const uint8_t* dati, size_t n);
    // The code (kHmacSha1 bytes); nothing may be added afterwards.
    void Fine(uint8_t* codice);

    struct Stato;

  private:
    std::unique_ptr<Stato> s_;
};

// PBKDF2 with HMAC-SHA1 (RFC 2898): `n` bytes derived from the password and the salt.
void Pbkdf2HmacSha1(const std::string& password, const uint8_t* sale, size_t nSale,
                    uint32_t iterazioni, uint8_t* uscita, size_t n);

}  // namespace bv
