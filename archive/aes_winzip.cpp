// WinZip AES of one member (see aes_winzip.h).
#include "archive/aes_winzip.h"

#include <algorithm>
#include <cstring>

#include "platform/casuale.h"

namespace bv::zip_interno {

namespace {

constexpr uint32_t kIterazioni = 1000;
// Keystream made per call: enough for the cipher's bulk speed, little for a small member.
constexpr size_t kBlocchiPerVolta = 4096;

// Keys must not linger in memory freed: the writes are made through a volatile pointer, which
// the compiler may not drop.
void Cancella(uint8_t* p, size_t n) {
    volatile uint8_t* v = p;
    for (size_t i = 0; i < n; ++i) v[i] = 0;
}

}  // namespace

FlussoAes::FlussoAes(const std::string& password, const uint8_t* sale) {
    uint8_t chiavi[2 * kChiaveAes256 + kVerificatoreAes];
    Pbkdf2HmacSha1(password, sale, kSaleAes, kIterazioni, chiavi, sizeof chiavi);
    try {
        aes_ = std::make_unique<CifraAes256>(chiavi);
        hmac_ = std::make_unique<HmacSha1>(chiavi + kChiaveAes256, kChiaveAes256);
    } catch (...) {
        Cancella(chiavi, sizeof chiavi);
        throw;
    }
    std::copy_n(chiavi + 2 * kChiaveAes256, kVerificatoreAes, verificatore_);
    Cancella(chiavi, sizeof chiavi);
}

FlussoAes::~FlussoAes() {
    if (!flusso_.empty()) Cancella(flusso_.data(), flusso_.size());
}

void FlussoAes::Applica(uint8_t* dati, size_t n) {
    while (n > 0) {
        if (usati_ == flusso_.size()) {
            // The next counter blocks: the counter little-endian in the first eight bytes.
            const size_t blocchi = std::min(kBlocchiPerVolta, (n + kBloccoAes - 1) / kBloccoAes);
            flusso_.assign(blocchi * kBloccoAes, 0);
            for (size_t b = 0; b < blocchi; ++b, ++contatore_)
                for (size_t i = 0; i < 8; ++i)
                    flusso_[b * kBloccoAes + i] = static_cast<uint8_t>(contatore_ >> (8 * i));
            aes_->CifraBlocchi(flusso_.data(), flusso_.data(), flusso_.size());
            usati_ = 0;
        }
        const size_t k = std::min(n, flusso_.size() - usati_);
        const uint8_t* chiave = flusso_.data() + usati_;
        size_t i = 0;
        for (; i + 8 <= k; i += 8) {  // eight bytes a step
            uint64_t a = 0;
            uint64_t b = 0;
            std::memcpy(&a, dati + i, 8);
            std::memcpy(&b, chiave + i, 8);
            a ^= b;
            std::memcpy(dati + i, &a, 8);
        }
        for (; i < k; ++i) dati[i] ^= chiave[i];
        usati_ += k;
        dati += k;
        n -= k;
    }
}

void FlussoAes::Cifra(uint8_t* dati, size_t n) {
    Applica(dati, n);
    hmac_->Aggiungi(dati, n);
}

void FlussoAes::Decifra(uint8_t* dati, size_t n) {
    hmac_->Aggiungi(dati, n);
    Applica(dati, n);
}

void FlussoAes::Codice(uint8_t* codice) {
    uint8_t intero[kHmacSha1];
    hmac_->Fine(intero);
    std::copy_n(intero, kCodiceAes, codice);
}

std::unique_ptr<FlussoAes> NuovoFlussoAes(const std::string& password, uint8_t* testa) {
    ByteCasuali(testa, kSaleAes);
    auto f = std::make_unique<FlussoAes>(password, testa);
    std::copy_n(f->Verificatore(), kVerificatoreAes, testa + kSaleAes);
    return f;
}

}  // namespace bv::zip_interno
