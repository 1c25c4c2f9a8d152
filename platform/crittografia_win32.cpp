// The cryptographic building blocks on Windows: BCrypt (Windows 7 and later), which takes the
// processor's AES instructions where it has them.
#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>

#include <climits>

#include "platform/crittografia.h"
#include "platform/errore.h"

namespace bv {

namespace {

[[noreturn]] void Fallito(const char* chiamata) {
    throw ErroreStandard(num::ErroreInterno, chiamata);
}

void Verifica(NTSTATUS stato, const char* chiamata) {
    if (!BCRYPT_SUCCESS(stato)) Fallito(chiamata);
}

PUCHAR Byte(const void* p) {
    return static_cast<PUCHAR>(const_cast<void*>(p));  // BCrypt's parameters lack const
}

// An algorithm provider opened once for the whole program: BCrypt lets threads share one, while
// keys and hashes stay each with its own thread.
struct Fornitore {
    BCRYPT_ALG_HANDLE h = nullptr;
    Fornitore(LPCWSTR algoritmo, ULONG flag) {
        Verifica(BCryptOpenAlgorithmProvider(&h, algoritmo, nullptr, flag),
                 "BCryptOpenAlgorithmProvider");
    }
    ~Fornitore() { BCryptCloseAlgorithmProvider(h, 0); }
    Fornitore(const Fornitore&) = delete;
    Fornitore& operator=(const Fornitore&) = delete;
};

// The AES provider in ECB mode: set once, before any key is made from it.
struct FornitoreAes : Fornitore {
    FornitoreAes() : Fornitore(BCRYPT_AES_ALGORITHM, 0) {
        Verifica(BCryptSetProperty(h, BCRYPT_CHAINING_MODE, Byte(BCRYPT_CHAIN_MODE_ECB),
                                   sizeof(BCRYPT_CHAIN_MODE_ECB), 0),
                 "BCryptSetProperty ECB");
    }
};

BCRYPT_ALG_HANDLE Aes() {
    static const FornitoreAes f;
    return f.h;
}

BCRYPT_ALG_HANDLE HmacSha1Alg() {
    static const Fornitore f(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
    return f.h;
}

}  // namespace

struct CifraAes256::Stato {
    BCRYPT_KEY_HANDLE chiave = nullptr;
    Stato() = default;
    ~Stato() {
        if (chiave != nullptr) BCryptDestroyKey(chiave);
    }
    Stato(const Stato&) = delete;
    Stato& operator=(const Stato&) = delete;
};

CifraAes256::CifraAes256(const uint8_t* chiave) : s_(std::make_unique<Stato>()) {
    Verifica(BCryptGenerateSymmetricKey(Aes(), &s_->chiave, nullptr, 0, Byte(chiave),
                                        static_cast<ULONG>(kChiaveAes256), 0),
             "BCryptGenerateSymmetricKey");
}

CifraAes256::~CifraAes256() = default;

void CifraAes256::CifraBlocchi(const uint8_t* in, uint8_t* out, size_t n) {
    // In runs a ULONG can count, whole blocks each.
    constexpr size_t kPasso = size_t{1} << 30;
    while (n > 0) {
        const size_t passo = n < kPasso ? n : kPasso;
        ULONG fatti = 0;
        Verifica(BCryptEncrypt(s_->chiave, Byte(in), static_cast<ULONG>(passo), nullptr, nullptr, 0,
                               out, static_cast<ULONG>(passo), &fatti, 0),
                 "BCryptEncrypt");
        if (fatti != passo) Fallito("BCryptEncrypt");
        in += passo;
        out += passo;
        n -= passo;
    }
}

struct HmacSha1::Stato {
    BCRYPT_HASH_HANDLE hash = nullptr;
    Stato() = default;
    ~Stato() {
        if (hash != nullptr) BCryptDestroyHash(hash);
    }
    Stato(const Stato&) = delete;
    Stato& operator=(const Stato&) = delete;
};

HmacSha1::HmacSha1(const uint8_t* chiave, size_t n) : s_(std::make_unique<Stato>()) {
    if (n > ULONG_MAX) Fallito("BCryptCreateHash");
    Verifica(BCryptCreateHash(HmacSha1Alg(), &s_->hash, nullptr, 0, Byte(chiave),
                              static_cast<ULONG>(n), 0),
             "BCryptCreateHash");
}

HmacSha1::~HmacSha1() = default;

void HmacSha1::Aggiungi(const uint8_t* dati, size_t n) {
    constexpr size_t kPasso = size_t{1} << 30;
    while (n > 0) {
        const size_t passo = n < kPasso ? n : kPasso;
        Verifica(BCryptHashData(s_->hash, Byte(dati), static_cast<ULONG>(passo), 0),
                 "BCryptHashData");
        dati += passo;
        n -= passo;
    }
}

void HmacSha1::Fine(uint8_t* codice) {
    Verifica(BCryptFinishHash(s_->hash, codice, static_cast<ULONG>(kHmacSha1), 0),
             "BCryptFinishHash");
}

void Pbkdf2HmacSha1(const std::string& password, const uint8_t* sale, size_t nSale,
                    uint32_t iterazioni, uint8_t* uscita, size_t n) {
    if (password.size() > ULONG_MAX || nSale > ULONG_MAX || n > ULONG_MAX)
        Fallito("BCryptDeriveKeyPBKDF2");
    Verifica(BCryptDeriveKeyPBKDF2(HmacSha1Alg(), Byte(password.data()),
                                   static_cast<ULONG>(password.size()), Byte(sale),
                                   static_cast<ULONG>(nSale), iterazioni, uscita,
                                   static_cast<ULONG>(n), 0),
             "BCryptDeriveKeyPBKDF2");
}

}  // namespace bv
