// A minimal PE32 / PE32+ image: headers, a .text section and a .rsrc section whose resource
// tree holds VS_VERSIONINFO (type 16) and, if asked, an icon group and a manifest.
#include "tools/pe_builder.h"

#include <cstring>
#include <string>

namespace bv::strumenti {

namespace {

constexpr uint32_t kAllineamentoFile = 0x200;
constexpr uint32_t kRvaTesto = 0x1000;
constexpr uint32_t kRvaRisorse = 0x2000;

void Metti16(std::vector<uint8_t>& b, size_t off, uint16_t v) {
    if (b.size() < off + 2) b.resize(off + 2);
    b[off] = static_cast<uint8_t>(v);
    b[off + 1] = static_cast<uint8_t>(v >> 8);
}

void Metti32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
    if (b.size() < off + 4) b.resize(off + 4);
    for (int i = 0; i < 4; ++i)
        b[off + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

void Allinea(std::vector<uint8_t>& b, size_t allineamento) {
    b.resize((b.size() + allineamento - 1) / allineamento * allineamento, 0);
}

std::vector<uint8_t> BloccoVersione(const std::array<uint16_t, 4>& v) {
    std::vector<uint8_t> b;
    const std::u16string chiave = u"VS_VERSION_INFO";
    Metti16(b, 2, 52);  // wValueLength
    Metti16(b, 4, 0);   // wType: binary
    size_t off = 6;
    for (char16_t c : chiave) {
        Metti16(b, off, static_cast<uint16_t>(c));
        off += 2;
    }
    Metti16(b, off, 0);
    Allinea(b, 4);
    const size_t fissa = b.size();
    const uint32_t ms = (static_cast<uint32_t>(v[0]) << 16) | v[1];
    const uint32_t ls = (static_cast<uint32_t>(v[2]) << 16) | v[3];
    Metti32(b, fissa + 0, 0xFEEF04BD);
    Metti32(b, fissa + 4, 0x00010000);
    Metti32(b, fissa + 8, ms);
    Metti32(b, fissa + 12, ls);
    Metti32(b, fissa + 16, ms);  // product version: same numbers
    Metti32(b, fissa + 20, ls);
    Metti32(b, fissa + 24, 0x3F);
    Metti32(b, fissa + 28, 0);
    Metti32(b, fissa + 32, 0x00040004);  // VOS_NT_WINDOWS32
    Metti32(b, fissa + 36, 1);           // VFT_APP
    Metti32(b, fissa + 40, 0);
    Metti32(b, fissa + 44, 0);
    Metti32(b, fissa + 48, 0);
    Metti16(b, 0, static_cast<uint16_t>(b.size()));  // wLength
    return b;
}

struct Risorsa {
    uint32_t tipo;
    std::vector<uint8_t> dati;
};

}  // namespace

ImmaginePe CostruisciPe(const OpzioniPe& o) {
    ImmaginePe img;
    std::vector<Risorsa> risorse;
    if (o.altreRisorse) risorse.push_back({3, std::vector<uint8_t>(296, 0x11)});  // RT_ICON
    if (o.versione) risorse.push_back({16, BloccoVersione(*o.versione)});
    if (o.altreRisorse) {
        const std::string manifest = "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"/>";
        risorse.push_back({24, std::vector<uint8_t>(manifest.begin(), manifest.end())});
    }

    // The resource section: root (types) -> one name each -> one language each -> data entry.
    std::vector<uint8_t> rs;
    const size_t n = risorse.size();
    const size_t radice = 0;
    const size_t dirNomi = 16 + 8 * n;
    const size_t dirLingue = dirNomi + n * (16 + 8);
    const size_t voci = dirLingue + n * (16 + 8);
    const size_t dati = voci + n * 16;
    rs.resize(dati, 0);
    Metti16(rs, radice + 14, static_cast<uint16_t>(n));
    std::vector<size_t> offDati;
    for (size_t i = 0; i < n; ++i) {
        const size_t nomi = dirNomi + i * 24;
        const size_t lingue = dirLingue + i * 24;
        const size_t voce = voci + i * 16;
        Metti32(rs, radice + 16 + 8 * i, risorse[i].tipo);
        Metti32(rs, radice + 16 + 8 * i + 4, 0x80000000U | static_cast<uint32_t>(nomi));
        Metti16(rs, nomi + 14, 1);
        Metti32(rs, nomi + 16, 1);  // resource id 1
        Metti32(rs, nomi + 20, 0x80000000U | static_cast<uint32_t>(lingue));
        Metti16(rs, lingue + 14, 1);
        Metti32(rs, lingue + 16, 0x0410);  // Italian
        Metti32(rs, lingue + 20, static_cast<uint32_t>(voce));
        Allinea(rs, 4);
        offDati.push_back(rs.size());
        Metti32(rs, voce, kRvaRisorse + static_cast<uint32_t>(rs.size()));
        Metti32(rs, voce + 4, static_cast<uint32_t>(risorse[i].dati.size()));
        Metti32(rs, voce + 8, 1252);
        rs.insert(rs.end(), risorse[i].dati.begin(), risorse[i].dati.end());
    }
    const uint32_t dimensioneRisorse = static_cast<uint32_t>(rs.size());
    Allinea(rs, kAllineamentoFile);

    // Headers.
    auto& b = img.byte;
    b.assign(0x80, 0);
    b[0] = 'M';
    b[1] = 'Z';
    Metti32(b, 0x3C, 0x80);
    const size_t pe = 0x80;
    Metti32(b, pe, 0x00004550);
    const size_t coff = pe + 4;
    const uint16_t dimOpzionale = o.pe32plus ? 240 : 224;
    Metti16(b, coff + 0, o.pe32plus ? 0x8664 : 0x014C);
    Metti16(b, coff + 2, 2);
    Metti16(b, coff + 16, dimOpzionale);
    Metti16(b, coff + 18, o.pe32plus ? 0x0022 : 0x0102);
    const size_t opz = coff + 20;
    Metti16(b, opz, o.pe32plus ? 0x20B : 0x10B);
    Metti32(b, opz + 16, kRvaTesto);          // entry point
    Metti32(b, opz + 32, 0x1000);             // section alignment
    Metti32(b, opz + 36, kAllineamentoFile);  // file alignment
    Metti16(b, opz + 40, 6);                  // OS version
    Metti16(b, opz + 48, 6);                  // subsystem version
    Metti32(b, opz + 56, kRvaRisorse + 0x1000 * ((dimensioneRisorse + 0xFFF) / 0x1000));
    Metti32(b, opz + 60, 0x400);  // size of headers
    Metti16(b, opz + 68, 2);      // GUI subsystem
    const size_t dirDati = o.pe32plus ? 112 : 96;
    Metti32(b, opz + dirDati - 4, 16);  // NumberOfRvaAndSizes
    img.offsetDirectoryRisorse = opz + dirDati + 2 * 8;
    Metti32(b, img.offsetDirectoryRisorse, risorse.empty() ? 0 : kRvaRisorse);
    Metti32(b, img.offsetDirectoryRisorse + 4, risorse.empty() ? 0 : dimensioneRisorse);
    b.resize(opz + dimOpzionale, 0);

    const size_t sezioni = opz + dimOpzionale;
    auto sezione = [&b, sezioni](int i, const char* nome, uint32_t rva, uint32_t dim, uint32_t ptr,
                                 uint32_t caratteristiche) {
        const size_t s = sezioni + 40 * static_cast<size_t>(i);
        b.resize(s + 40, 0);
        std::memcpy(&b[s], nome, std::strlen(nome));
        Metti32(b, s + 8, dim);
        Metti32(b, s + 12, rva);
        Metti32(b, s + 16, (dim + kAllineamentoFile - 1) / kAllineamentoFile * kAllineamentoFile);
        Metti32(b, s + 20, ptr);
        Metti32(b, s + 36, caratteristiche);
    };
    sezione(0, ".text", kRvaTesto, 0x10, 0x400, 0x60000020);
    sezione(1, ".rsrc", kRvaRisorse, dimensioneRisorse, 0x600, 0x40000040);
    b.resize(0x400, 0);
    // .text: a "ret" and padding
    b.push_back(0xC3);
    b.resize(0x600, 0xCC);
    img.offsetRadiceRisorse = b.size();
    for (size_t i = 0; i < n; ++i) {
        if (risorse[i].tipo == 16) img.offsetVersione = img.offsetRadiceRisorse + offDati[i];
    }
    b.insert(b.end(), rs.begin(), rs.end());
    return img;
}

}  // namespace bv::strumenti
