// The cryptographic building blocks on POSIX: OpenSSL's libcrypto through its EVP interface,
// which takes the processor's AES and SHA instructions where it has them.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <climits>

#include "platform/crittografia.h"
#include "platform/errore.h"

namespace bv {

namespace {

[[noreturn]] void Fallito(const char* chiamata) {
    throw ErroreStandard(num::ErroreInterno, chiamata);
}

// Fetched once for the whole program: the lookup takes the library's lock.
EVP_CIPHER* Aes256Ecb() {
    static EVP_CIPHER* const c = EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr);
    if (c == nullptr) Fallito("EVP_CIPHER_fetch AES-256-ECB");
    return c;
}

EVP_MAC* Hmac() {
    static EVP_MAC* const m = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    if (m == nullptr) Fallito("EVP_MAC_fetch HMAC");
    return m;
}

}  // namespace

struct CifraAes256::Stato {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    Stato() = default;
    ~Stato() { EVP_CIPHER_CTX_free(ctx); }
    Stato(const Stato&) = delete;
    Stato& operator=(const Stato&) = delete;
};

CifraAes256::CifraAes256(const uint8_t* chiave) : s_(std::make_unique<Stato>()) {
    if (s_->ctx == nullptr ||
        EVP_EncryptInit_ex2(s_->ctx, Aes256Ecb(), chiave, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(s_->ctx, 0) != 1)
        Fallito("EVP_EncryptInit_ex2");
}

CifraAes256::~CifraAes256() = default;

void CifraAes256::CifraBlocchi(const uint8_t* in, uint8_t* out, size_t n) {
    // In runs an int can count.
    constexpr size_t kPasso = size_t{1} << 30;
    while (n > 0) {
        const size_t passo = n < kPasso ? n : kPasso;
        int fatti = 0;
        if (EVP_EncryptUpdate(s_->ctx, out, &fatti, in, static_cast<int>(passo)) != 1 ||
            static_cast<size_t>(fatti) != passo)
            Fallito("EVP_EncryptUpdate");
        in += passo;
        out += passo;
        n -= passo;
    }
}

struct HmacSha1::Stato {
    EVP_MAC_CTX* ctx = EVP_MAC_CTX_new(Hmac());
    Stato() = default;
    ~Stato() { EVP_MAC_CTX_free(ctx); }
    Stato(const Stato&) = delete;
    Stato& operator=(const Stato&) = delete;
};

HmacSha1::HmacSha1(const uint8_t* chiave, size_t n) : s_(std::make_unique<Stato>()) {
    char digest[] = "SHA1";
    const OSSL_PARAM parametri[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_end()};
    if (s_->ctx == nullptr || EVP_MAC_init(s_->ctx, chiave, n, parametri) != 1)
        Fallito("EVP_MAC_init HMAC-SHA1");
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::Aggiungi(const uint8_t* dati, size_t n) {
    if (n > 0 && EVP_MAC_update(s_->ctx, dati, n) != 1) Fallito("EVP_MAC_update");
}

void HmacSha1::Fine(uint8_t* codice) {
    size_t n = 0;
    if (EVP_MAC_final(s_->ctx, codice, &n, kHmacSha1) != 1 || n != kHmacSha1)
        Fallito("EVP_MAC_final");
}

void Pbkdf2HmacSha1(const std::string& password, const uint8_t* sale, size_t nSale,
                    uint32_t iterazioni, uint8_t* uscita, size_t n) {
    if (password.size() > INT_MAX || nSale > INT_MAX || iterazioni > INT_MAX || n > INT_MAX ||
        PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), sale,
                          static_cast<int>(nSale), static_cast<int>(iterazioni), EVP_sha1(),
                          static_cast<int>(n), uscita) != 1)
        Fallito("PKCS5_PBKDF2_HMAC");
}

}  // namespace bv
