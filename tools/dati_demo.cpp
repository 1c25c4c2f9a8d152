// Generators of database-like data and of the demo environment.
#include "tools/dati_demo.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_reg.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "tools/pe_builder.h"

namespace bv::strumenti {

namespace {

constexpr size_t kPagina = 4096;

class Casuale {
  public:
    explicit Casuale(uint64_t seme) : stato_(seme * 0x9E3779B97F4A7C15ULL + 1) {}
    uint64_t Prossimo() {  // splitmix64
        uint64_t z = (stato_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    size_t Sotto(size_t n) { return static_cast<size_t>(Prossimo() % n); }
    template <size_t N>
    const char* Tra(const std::array<const char*, N>& a) {
        return a[Sotto(N)];
    }

  private:
    uint64_t stato_;
};

constexpr std::array<const char*, 20> kCognomi = {
    "Rossi",   "Russo",  "Ferrari",  "Esposito", "Bianchi",  "Romano", "Colombo",
    "Ricci",   "Marino", "Greco",    "Bruno",    "Gallo",    "Conti",  "De Luca",
    "Mancini", "Costa",  "Giordano", "Rizzo",    "Lombardi", "Moretti"};
constexpr std::array<const char*, 20> kNomi = {
    "Giuseppe", "Maria", "Giovanni", "Anna",      "Antonio",   "Giuseppina", "Mario",
    "Rosa",     "Luigi", "Angela",   "Francesco", "Giovanna",  "Angelo",     "Teresa",
    "Vincenzo", "Lucia", "Pietro",   "Carmela",   "Salvatore", "Caterina"};
constexpr std::array<const char*, 12> kVie = {
    "Via Roma",    "Via Garibaldi", "Corso Italia", "Via Mazzini",
    "Via Verdi",   "Piazza Dante",  "Via Cavour",   "Viale Europa",
    "Via Manzoni", "Via Dante",     "Via Marconi",  "Corso Vittorio Emanuele"};
constexpr std::array<const char*, 12> kCitta = {"Milano",  "Roma",    "Napoli",  "Torino",
                                                "Palermo", "Genova",  "Bologna", "Firenze",
                                                "Bari",    "Catania", "Venezia", "Verona"};
constexpr std::array<const char*, 16> kParole = {
    "fattura",  "pagamento", "cliente",  "fornitore", "ordine", "consegna", "saldo", "acconto",
    "scadenza", "magazzino", "articolo", "quantità",  "prezzo", "sconto",   "nota",  "riferimento"};

void Metti32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// One record: fixed-width fields, as a database lays out text columns.
size_t Record(Casuale& r, uint32_t id, char* out, size_t spazio) {
    char buf[256];
    const int n = std::snprintf(
        buf, sizeof buf, "%08u%-20s%-16s%-28s%5zu%05zu%-12s%02zu/%02zu/%04zu%12zu.%02zu%c", id,
        r.Tra(kCognomi), r.Tra(kNomi), r.Tra(kVie), r.Sotto(200) + 1, r.Sotto(99999), r.Tra(kCitta),
        r.Sotto(28) + 1, r.Sotto(12) + 1, 1990 + r.Sotto(35), r.Sotto(100000), r.Sotto(100),
        static_cast<char>(r.Sotto(3)));
    const size_t len = n > 0 ? static_cast<size_t>(n) : 0;
    if (len > spazio) return 0;
    std::memcpy(out, buf, len);
    return len;
}

void PaginaDati(Casuale& r, uint32_t numero, uint32_t& prossimoId, unsigned char* p) {
    std::memset(p, 0, kPagina);
    Metti32(p, numero);
    p[4] = 1;  // data page
    size_t off = 16;
    uint16_t conta = 0;
    // Pages are filled to a varying degree, leaving empty space at their end.
    const size_t limite = kPagina - r.Sotto(kPagina / 3);
    while (off < limite) {
        const size_t n = Record(r, prossimoId, reinterpret_cast<char*>(p + off), limite - off);
        if (n == 0) break;
        off += n;
        ++prossimoId;
        ++conta;
    }
    p[6] = static_cast<unsigned char>(conta);
    p[7] = static_cast<unsigned char>(conta >> 8);
}

void PaginaIndice(Casuale& r, uint32_t numero, uint32_t primoId, unsigned char* p) {
    std::memset(p, 0, kPagina);
    Metti32(p, numero);
    p[4] = 2;  // index page: sorted keys with page pointers
    uint32_t chiave = primoId;
    for (size_t off = 16; off + 12 <= kPagina; off += 12) {
        chiave += 1 + static_cast<uint32_t>(r.Sotto(4));
        Metti32(p + off, chiave);
        Metti32(p + off + 4, static_cast<uint32_t>(chiave / 40));
        Metti32(p + off + 8, static_cast<uint32_t>(r.Sotto(65536)));
    }
}

void PaginaMemo(Casuale& r, uint32_t numero, unsigned char* p) {
    std::memset(p, ' ', kPagina);
    Metti32(p, numero);
    p[4] = 3;  // memo page: free text
    size_t off = 16;
    while (off + 16 < kPagina) {
        const char* w = r.Tra(kParole);
        const size_t n = std::min(std::strlen(w), kPagina - off - 1);
        std::memcpy(p + off, w, n);
        off += n + 1;
    }
}

void Scrivi(const std::string& percorso, uint64_t dimensione, uint64_t seme,
            void (*pagina)(Casuale&, uint32_t, uint32_t&, unsigned char*)) {
    Casuale r(seme);
    File f(percorso, ModoApertura::Scrittura);
    std::vector<unsigned char> buf(kPagina * 64);
    uint64_t scritti = 0;
    uint32_t numero = 0;
    uint32_t id = 1;
    while (scritti < dimensione) {
        size_t riempiti = 0;
        while (riempiti < buf.size()) {
            pagina(r, numero++, id, buf.data() + riempiti);
            riempiti += kPagina;
        }
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), dimensione - scritti));
        f.ScriviTutto(buf.data(), n);
        scritti += n;
    }
    f.Chiudi();
}

void PaginaDatabase(Casuale& r, uint32_t numero, uint32_t& id, unsigned char* p) {
    if (numero == 0) {  // the header page
        std::memset(p, 0, kPagina);
        std::memcpy(p + 4, "Standard Jet DB", 15);
        return;
    }
    const size_t tipo = r.Sotto(100);
    if (tipo < 62) {
        PaginaDati(r, numero, id, p);
    } else if (tipo < 75) {
        PaginaIndice(r, numero, id, p);
    } else if (tipo < 82) {
        PaginaMemo(r, numero, p);
    } else {
        std::memset(p, 0, kPagina);  // free page
    }
}

void PaginaRumore(Casuale& r, uint32_t /*numero*/, uint32_t& /*id*/, unsigned char* p) {
    for (size_t i = 0; i < kPagina; i += 8) {
        const uint64_t v = r.Prossimo();
        std::memcpy(p + i, &v, 8);
    }
}

void PaginaTesto(Casuale& r, uint32_t /*numero*/, uint32_t& /*id*/, unsigned char* p) {
    size_t off = 0;
    while (off < kPagina) {
        std::string frase = std::string(r.Tra(kNomi)) + " " + r.Tra(kCognomi) + ", " + r.Tra(kVie) +
                            ", " + r.Tra(kCitta) + ": " + r.Tra(kParole) + " " + r.Tra(kParole) +
                            ".\r\n";
        const size_t n = std::min(frase.size(), kPagina - off);
        std::memcpy(p + off, frase.data(), n);
        off += n;
    }
}

}  // namespace

void GeneraDatabase(const std::string& percorso, uint64_t dimensione, uint64_t seme) {
    Scrivi(percorso, dimensione, seme, PaginaDatabase);
}

void GeneraBinario(const std::string& percorso, uint64_t dimensione, uint64_t seme) {
    Scrivi(percorso, dimensione, seme, PaginaRumore);
}

void GeneraTesto(const std::string& percorso, uint64_t dimensione, uint64_t seme) {
    Scrivi(percorso, dimensione, seme, PaginaTesto);
}

namespace {

// With its parents: the demo may go anywhere, in a folder not made yet.
void CreaCartella(const std::string& percorso) {
    if (Fs().Info(percorso).cartella) return;
    std::string genitore = percorso;
    while (!genitore.empty() && genitore.back() == Separatore()) genitore.pop_back();
    genitore = CartellaDi(genitore);
    if (!genitore.empty() && genitore != percorso && !Fs().Info(genitore).esiste)
        CreaCartella(genitore);
    Fs().CreaCartella(percorso);
}

}  // namespace

AmbienteDemo CreaAmbienteDemo(const std::string& cartella, StatoDemo stato,
                              uint64_t dimensioneDatabase) {
    AmbienteDemo a;
    const std::string base = cartella.back() == Separatore() ? cartella : cartella + Separatore();
    CreaCartella(base);
    const std::string host = base + "Brelvano" + Separatore();
    CreaCartella(host);
    a.eseguibile = host + "Brelvano.exe";
    const auto pe = CostruisciPe(
        {.pe32plus = false, .versione = std::array<uint16_t, 4>{1, 2, 0, 0}, .altreRisorse = true});
    ScriviFileAtomico(a.eseguibile, pe.byte.data(), pe.byte.size());

    a.dati = base + "dati" + Separatore();
    CreaCartella(a.dati);
    struct Db {
        const char* file;
        const char* compagna;
        uint64_t parti;  // size in quarters of the base size
    };
    const std::array<Db, 3> db = {{{"anagrafe.mdb", "anagrafe", 4},
                                   {"contabilita.mdb", "contabilita", 5},
                                   {"Magazzino.mdb", "magazzino", 3}}};
    uint64_t seme = 1;
    for (const Db& d : db) {
        GeneraDatabase(a.dati + d.file, dimensioneDatabase * d.parti / 4, seme++);
        const std::string c = a.dati + d.compagna + Separatore();
        CreaCartella(c);
        GeneraBinario(c + "logo.bmp", 24 * 1024, seme++);
        GeneraTesto(c + "note.txt", 6 * 1024, seme++);
        GeneraBinario(c + "Scansione 001.jpg", 48 * 1024, seme++);
        GeneraTesto(c + "LEGGIMI", 2 * 1024, seme++);  // a file without an extension
    }
    a.destinazione = base + "backup" + Separatore();
    CreaCartella(a.destinazione);
    CreaCartella(base + "AppData");

    const std::string vb = "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\";
    std::vector<ValoreDemo> valori;
    if (stato != StatoDemo::NonInstallato) {
        valori.push_back({"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
                          "Paths\\Brelvano.exe",
                          "", a.eseguibile});
    }
    valori.push_back(
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
         "AppData", base + "AppData"});
    if (stato == StatoDemo::Completo) valori.push_back({vb + "KO_Brelvano\\CartellaDati", "Path", a.dati});
    valori.push_back({vb + "KO_BVBackup\\Backup", "Dest", a.destinazione});
    valori.push_back({vb + "KO_BVBackup\\Backup", "Orig", a.destinazione});

    DocumentoReg reg;
    for (const ValoreDemo& v : valori) reg.Imposta(v.chiave, v.nome, v.testo);
    a.registro = base + "registry.reg";
    const std::string testo = reg.Contenuto();
    ScriviFileAtomico(a.registro, testo.data(), testo.size());
    RegistraNelSistema(valori);
    return a;
}

}  // namespace bv::strumenti
