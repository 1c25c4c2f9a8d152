// PE image reader: DOS header, PE headers, section table, resource directory (RT_VERSION),
// VS_VERSIONINFO and its VS_FIXEDFILEINFO.
#include "platform/versione_pe.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/filesystem.h"

namespace bv {

namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kTipoVersione = 16;  // RT_VERSION
constexpr uint32_t kFirmaFissa = 0xFEEF04BD;
constexpr uint32_t kMaxSezioni = 96;  // the loader's own limit
constexpr uint32_t kMaxVoci = 4096;   // entries we are willing to scan in one directory

class Immagine {
  public:
    Immagine(uint64_t dimensione, const LettoreByte& leggi)
        : dimensione_(dimensione), leggi_(leggi) {}

    bool U16(uint64_t off, uint16_t& v) const { return Leggi(off, &v, 2); }
    bool U32(uint64_t off, uint32_t& v) const { return Leggi(off, &v, 4); }
    bool Leggi(uint64_t off, void* dst, size_t n) const {
        if (off > dimensione_ || n > dimensione_ - off) return false;
        if (!leggi_(off, dst, n)) return false;
        if constexpr (std::endian::native == std::endian::big) {
            auto* p = static_cast<unsigned char*>(dst);
            for (size_t i = 0; i < n / 2; ++i) std::swap(p[i], p[n - 1 - i]);
        }
        return true;
    }

  private:
    uint64_t dimensione_;
    const LettoreByte& leggi_;
};

struct Sezione {
    uint32_t indirizzo = 0;  // VirtualAddress
    uint32_t dimensioneVirtuale = 0;
    uint32_t dimensioneDati = 0;  // SizeOfRawData
    uint32_t puntatoreDati = 0;   // PointerToRawData
};

// File offset of an RVA that lies in a section's raw data, with room for n bytes.
std::optional<uint64_t> DaRva(const std::vector<Sezione>& sezioni, uint32_t rva, uint64_t n) {
    for (const Sezione& s : sezioni) {
        const uint64_t estensione = std::max(s.dimensioneVirtuale, s.dimensioneDati);
        if (rva >= s.indirizzo && rva - static_cast<uint64_t>(s.indirizzo) < estensione) {
            const uint64_t delta = rva - static_cast<uint64_t>(s.indirizzo);
            if (delta + n > s.dimensioneDati) return std::nullopt;
            return static_cast<uint64_t>(s.puntatoreDati) + delta;
        }
    }
    return std::nullopt;
}

// The first entry of a resource directory whose id matches (or any entry when id is empty).
// Returns the entry's OffsetToData field.
std::optional<uint32_t> VoceDirectory(const Immagine& img, uint64_t base,
                                      uint64_t dimensioneRisorse, uint32_t offDirectory,
                                      std::optional<uint32_t> id) {
    if (offDirectory > dimensioneRisorse || dimensioneRisorse - offDirectory < 16)
        return std::nullopt;
    uint16_t conNome = 0, conId = 0;
    if (!img.U16(base + offDirectory + 12, conNome) || !img.U16(base + offDirectory + 14, conId)) {
        return std::nullopt;
    }
    const uint32_t totale = std::min<uint32_t>(static_cast<uint32_t>(conNome) + conId, kMaxVoci);
    for (uint32_t i = 0; i < totale; ++i) {
        const uint64_t voce = static_cast<uint64_t>(offDirectory) + 16 + 8ULL * i;
        if (voce + 8 > dimensioneRisorse) return std::nullopt;
        uint32_t nome = 0, dati = 0;
        if (!img.U32(base + voce, nome) || !img.U32(base + voce + 4, dati)) return std::nullopt;
        const bool eId = (nome & 0x80000000U) == 0;
        if (!id || (eId && nome == *id)) return dati;
    }
    return std::nullopt;
}

std::optional<VersionePe> Analizza(const Immagine& img) {
    uint16_t mz = 0;
    if (!img.U16(0, mz) || mz != 0x5A4D) return std::nullopt;
    uint32_t lfanew = 0;
    if (!img.U32(0x3C, lfanew)) return std::nullopt;
    uint32_t firma = 0;
    if (!img.U32(lfanew, firma) || firma != 0x00004550) return std::nullopt;
    const uint64_t coff = static_cast<uint64_t>(lfanew) + 4;
    uint16_t numSezioni = 0, dimOpzionale = 0;
    if (!img.U16(coff + 2, numSezioni) || !img.U16(coff + 16, dimOpzionale)) return std::nullopt;
    if (numSezioni == 0 || numSezioni > kMaxSezioni) return std::nullopt;
    const uint64_t opzionale = coff + 20;
    uint16_t magic = 0;
    if (!img.U16(opzionale, magic)) return std::nullopt;
    uint64_t offNumeroDirectory = 0;
    if (magic == kMagicPe32) {
        offNumeroDirectory = 92;
    } else if (magic == kMagicPe32Plus) {
        offNumeroDirectory = 108;
    } else {
        return std::nullopt;
    }
    uint32_t numDirectory = 0;
    if (offNumeroDirectory + 4 > dimOpzionale ||
        !img.U32(opzionale + offNumeroDirectory, numDirectory)) {
        return std::nullopt;
    }
    const uint64_t offRisorse = offNumeroDirectory + 4 + uint64_t{2} * 8;  // data directory 2
    if (numDirectory < 3 || offRisorse + 8 > dimOpzionale) return std::nullopt;
    uint32_t rvaRisorse = 0, dimRisorse = 0;
    if (!img.U32(opzionale + offRisorse, rvaRisorse) ||
        !img.U32(opzionale + offRisorse + 4, dimRisorse) || rvaRisorse == 0 || dimRisorse == 0) {
        return std::nullopt;
    }

    std::vector<Sezione> sezioni(numSezioni);
    const uint64_t tabella = opzionale + dimOpzionale;
    for (uint32_t i = 0; i < numSezioni; ++i) {
        const uint64_t s = tabella + 40ULL * i;
        if (!img.U32(s + 8, sezioni[i].dimensioneVirtuale) ||
            !img.U32(s + 12, sezioni[i].indirizzo) || !img.U32(s + 16, sezioni[i].dimensioneDati) ||
            !img.U32(s + 20, sezioni[i].puntatoreDati)) {
            return std::nullopt;
        }
    }
    const auto base = DaRva(sezioni, rvaRisorse, 16);
    if (!base) return std::nullopt;
    // The directory may claim more than its section holds: trust only what the section has.
    uint64_t dimensione = dimRisorse;
    for (const Sezione& s : sezioni) {
        if (rvaRisorse >= s.indirizzo &&
            rvaRisorse - static_cast<uint64_t>(s.indirizzo) < s.dimensioneDati) {
            dimensione =
                std::min<uint64_t>(dimensione, s.dimensioneDati - (rvaRisorse - s.indirizzo));
        }
    }

    // Type -> name -> language; the two lower levels take their first entry.
    auto livello1 = VoceDirectory(img, *base, dimensione, 0, kTipoVersione);
    if (!livello1 || (*livello1 & 0x80000000U) == 0) return std::nullopt;
    auto livello2 = VoceDirectory(img, *base, dimensione, *livello1 & 0x7FFFFFFFU, std::nullopt);
    if (!livello2 || (*livello2 & 0x80000000U) == 0) return std::nullopt;
    auto livello3 = VoceDirectory(img, *base, dimensione, *livello2 & 0x7FFFFFFFU, std::nullopt);
    if (!livello3 || (*livello3 & 0x80000000U) != 0) return std::nullopt;
    const uint32_t offDati = *livello3;
    if (static_cast<uint64_t>(offDati) + 16 > dimensione) return std::nullopt;
    uint32_t rvaDati = 0, dimDati = 0;
    if (!img.U32(*base + offDati, rvaDati) || !img.U32(*base + offDati + 4, dimDati))
        return std::nullopt;

    // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO\0", padding, fixed info.
    constexpr char16_t kChiave[] = u"VS_VERSION_INFO";
    constexpr uint64_t kFineChiave = 6 + sizeof(kChiave);  // header + key with its NUL
    constexpr uint64_t kInizioFissa = (kFineChiave + 3) & ~3ULL;
    if (dimDati < kInizioFissa + 52) return std::nullopt;
    const auto dati = DaRva(sezioni, rvaDati, kInizioFissa + 52);
    if (!dati) return std::nullopt;
    uint16_t lunghezzaValore = 0;
    if (!img.U16(*dati + 2, lunghezzaValore) || lunghezzaValore < 52) return std::nullopt;
    char16_t chiave[16] = {};
    for (size_t i = 0; i < 16; ++i) {
        uint16_t c = 0;
        if (!img.U16(*dati + 6 + 2 * i, c)) return std::nullopt;
        chiave[i] = static_cast<char16_t>(c);
    }
    if (std::memcmp(chiave, kChiave, sizeof(kChiave)) != 0) return std::nullopt;
    uint32_t firmaFissa = 0, ms = 0, ls = 0;
    if (!img.U32(*dati + kInizioFissa, firmaFissa) || firmaFissa != kFirmaFissa ||
        !img.U32(*dati + kInizioFissa + 8, ms) || !img.U32(*dati + kInizioFissa + 12, ls)) {
        return std::nullopt;
    }
    return VersionePe{static_cast<uint16_t>(ms >> 16), static_cast<uint16_t>(ms & 0xFFFF),
                      static_cast<uint16_t>(ls >> 16), static_cast<uint16_t>(ls & 0xFFFF)};
}

}  // namespace

std::optional<VersionePe> VersioneDaImmagine(uint64_t dimensione, const LettoreByte& leggi) {
    return Analizza(Immagine(dimensione, leggi));
}

std::optional<VersionePe> VersioneDaImmagine(std::span<const uint8_t> immagine) {
    const LettoreByte leggi = [immagine](uint64_t off, void* dst, size_t n) {
        if (off > immagine.size() || n > immagine.size() - off) return false;
        std::memcpy(dst, immagine.data() + off, n);
        return true;
    };
    return VersioneDaImmagine(immagine.size(), leggi);
}

}  // namespace bv
