// WinZip AES (AE-2, AES-256) of one member, on the platform's primitives: a random salt per
// member, PBKDF2-HMAC-SHA1 (1000 rounds) giving the AES key, the HMAC key and a two-byte
// verifier; AES in counter mode with a little-endian counter from 1; HMAC-SHA1 of the
// encrypted bytes, its first ten bytes after them. The member's data: salt, verifier,
// encrypted deflate stream, authentication code. Its headers say method 99 and carry the
// extra field below, which names the real method (deflate); the CRC is kept, as libzip keeps it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/crittografia.h"

namespace bv::zip_interno {

inline constexpr size_t kSaleAes = 16;  // AES-256's
inline constexpr size_t kVerificatoreAes = 2;
inline constexpr size_t kCodiceAes = 10;
// What the encryption adds to a member's deflated bytes.
inline constexpr size_t kAggiuntaAes = kSaleAes + kVerificatoreAes + kCodiceAes;
inline constexpr uint16_t kMetodoAes = 99;
inline constexpr uint16_t kVersioneAes = 51;  // the version needed to extract it
// The extra field: id 0x9901, 7 bytes: vendor version 2 (AE-2), vendor "AE", strength 3
// (256 bits), actual method 8 (deflate).
inline constexpr uint8_t kCampoAes[] = {0x01, 0x99, 0x07, 0x00, 0x02, 0x00,
                                        'A',  'E',  0x03, 0x08, 0x00};

// One member's keys and counter, for encrypting or for decrypting its bytes in order.
class FlussoAes {
  public:
    FlussoAes(const std::string& password, const uint8_t* sale);  // kSaleAes bytes
    ~FlussoAes();
    FlussoAes(const FlussoAes&) = delete;
    FlussoAes& operator=(const FlussoAes&) = delete;

    // The kVerificatoreAes bytes stored after the salt: a different one means another password.
    const uint8_t* Verificatore() const { return verificatore_; }
    // In place: the next n bytes encrypted, and authenticated as they come out.
    void Cifra(uint8_t* dati, size_t n);
    // In place: the next n bytes authenticated as they are, then decrypted.
    void Decifra(uint8_t* dati, size_t n);
    // The kCodiceAes bytes of the code of everything encrypted or decrypted; once, at the end.
    void Codice(uint8_t* codice);

  private:
    void Applica(uint8_t* dati, size_t n);

    std::unique_ptr<CifraAes256> aes_;
    std::unique_ptr<HmacSha1> hmac_;
    uint8_t verificatore_[kVerificatoreAes] = {};
    uint64_t contatore_ = 1;
    std::vector<uint8_t> flusso_;  // keystream made ahead, many blocks per call
    size_t usati_ = 0;
};

// A new member's salt and verifier (kSaleAes + kVerificatoreAes bytes into `testa`), the
// salt from the system's random generator, and the stream that encrypts its data.
std::unique_ptr<FlussoAes> NuovoFlussoAes(const std::string& password, uint8_t* testa);

}  // namespace bv::zip_interno
