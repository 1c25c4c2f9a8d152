// The program's staged and temporary name forms, made and recognised in one place.
#include "sicurezza/nomi_provvisori.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <regex>
#include <string_view>

#include "platform/errore.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "util/koutilita.h"

namespace bv::nomi {

namespace {

bool Cifre(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

constexpr std::string_view kRipristinato = "~bvripristino";

}  // namespace

std::string Blocco(const std::string& nomefile, int32_t n, const char* estensione) {
    return nomefile + "#" + std::to_string(n) + estensione;
}

std::string Provvisorio(const std::string& cartella, const std::string& nome) {
    return cartella + kPrefissoProvvisorio + nome;
}

std::string Marcatore(const std::string& cartella, const std::string& nomefile) {
    return Provvisorio(cartella, nomefile + ".conferma");
}

std::string Parcheggiato(const std::string& percorsoProvvisorio) {
    return percorsoProvvisorio + ".vecchio";
}

std::string IndiceRecupero(const std::string& nomefile) {
    return nomefile + ".par2";
}

bool FileDiRecupero(const std::string& nome, const std::string& nomefile) {
    if (!nome.starts_with(nomefile) || !nome.ends_with(".par2")) return false;
    static const std::regex volume(R"((\.vol[0-9]+\+[0-9]+)?\.par2)");
    return std::regex_match(nome.substr(nomefile.size()), volume);
}

std::string SetDelMarcatore(const std::string& nome) {
    static const std::regex forma(R"(~(BV[0-9]{8})\.conferma)");
    std::smatch m;
    return std::regex_match(nome, m, forma) ? m[1].str() : std::string();
}

std::string SetDelResiduo(const std::string& nome) {
    // Staged blocks and descriptors ("~BV…#n", "~BV…#n.inf"), old ones parked aside
    // (".vecchio"), files cut short while written under a temporary name ("~~BV…#n.tmp" in a
    // folder, "~BV…#n.tmp" on a disk), the marker's own temporary name; staged recovery
    // files, parked or half-written.
    static const std::regex forme(
        R"(~(BV[0-9]{8})#[0-9]+(\.inf)?(\.vecchio|\.tmp)?|~~(BV[0-9]{8})(#[0-9]+(\.inf)?|\.conferma)\.tmp)"
        R"(|~(BV[0-9]{8})(\.vol[0-9]+\+[0-9]+)?\.par2(\.vecchio|\.tmp)?)");
    std::smatch m;
    if (!std::regex_match(nome, m, forme)) return {};
    if (m[1].matched) return m[1].str();
    return m[4].matched ? m[4].str() : m[7].str();
}

std::string Temporaneo(const std::string& percorso) {
    const std::string cartella = CartellaDi(percorso);
    return (cartella.empty() ? "" : cartella + Separatore()) + "~" + NomeDi(percorso) + ".tmp";
}

std::string Cifrato(const std::string& archivio) {
    const std::string cartella = CartellaDi(archivio);
    return (cartella.empty() ? "" : cartella + Separatore()) + "~" + NomeDi(archivio) + ".aes";
}

void ScriviDurevole(const std::string& percorso, uint64_t n, const Sorgente& sorgente) {
    bv::ScriviDurevole(percorso, Temporaneo(percorso), n, sorgente);
}

void ScriviDurevole(const std::string& percorso, const std::string& testo) {
    ScriviDurevole(percorso, testo.size(), [&testo](uint64_t offset, uint8_t* buf, size_t n) {
        std::copy_n(testo.data() + offset, n, buf);
        return n;
    });
}

std::string DatabaseRipristinato(const std::string& cartella, int i) {
    return cartella + std::string(kRipristinato) + std::to_string(i) + ".tmp";
}

std::string CartellaRipristinata(const std::string& cartella, int i) {
    return cartella + std::string(kRipristinato) + std::to_string(i) + ".dir";
}

bool CoppiaRipristinata(const std::string& database, const std::string& cartella) {
    const std::string nome = NomeDi(database);
    if (!nome.starts_with(kRipristinato) || !nome.ends_with(".tmp")) return false;
    const std::string radice = nome.substr(0, nome.size() - 4);
    return Cifre(std::string_view(radice).substr(kRipristinato.size())) &&
           NomeDi(cartella) == radice + ".dir";
}

std::string SegnoRipristinata(const std::string& cartella, const std::string& gettone) {
    return cartella + Separatore() + kSegnoNuova + gettone;
}

std::string SegnoCartellaDati(const std::string& cartella, const std::string& gettone) {
    return cartella + kSegnoDati + gettone;
}

bool NomeSegnoDati(const std::string& nome) {
    const std::string_view resto = std::string_view(nome).substr(
        nome.starts_with(kSegnoDati) ? std::string_view(kSegnoDati).size() : nome.size());
    return resto.size() == 16 && std::all_of(resto.begin(), resto.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string NomeLibero(const std::string& percorsoFile, std::string estensione) {
    if (!estensione.starts_with(".")) estensione = "." + estensione;
    for (int n = 0; n <= 32767; ++n) {
        char numero[16];
        std::snprintf(numero, sizeof numero, "%03d", n);
        std::string candidato = percorsoFile + estensione + numero;
        if (!Fs().Info(candidato).esiste) return candidato;
    }
    throw ErroreStandard(num::Overflow);
}

bool CopiaDi(const std::string& copia, const std::string& vivo) {
    const std::string prefisso = vivo + ".cfb";
    return copia.size() >= prefisso.size() + 3 && copia.starts_with(prefisso) &&
           Cifre(std::string_view(copia).substr(prefisso.size()));
}

bool CopiaDiSicurezza(const std::string& nome) {
    const size_t punto = nome.rfind(".cfb");
    return punto != std::string::npos && punto > 0 && CopiaDi(nome, nome.substr(0, punto));
}

std::string CopiaProvvisoria(const std::string& copia) {
    return copia + ".~bvtmp";
}

std::string CartellaDiLavoro(const std::string& temp, long numero) {
    return temp + std::to_string(numero);
}

bool NomeDiLavoro(const std::string& nome) {
    return Cifre(nome);
}

std::string Estrazione(const std::string& cartella) {
    static std::atomic<unsigned> contatore{0};
    return cartella + Separatore() + ".~bv" + std::to_string(IdProcesso()) + "-" +
           std::to_string(contatore++) + ".tmp";
}

bool NostroInTemp(const std::string& temp, const VoceCartella& v) {
    const std::string& n = v.nome;
    if (v.collegamento) return false;  // never ours: this program makes no links
    if (v.cartella) {
        // A restore's work folder: a number, with the mark written when it was made (an empty
        // one, whose removal stopped before the folder itself, loses nothing either).
        if (!NomeDiLavoro(n)) return false;
        const std::string c = temp + Separatore() + n;
        if (Fs().Info(c + Separatore() + kSegnoLavoro).file) return true;
        try {
            return Fs().Elenca(c).empty();
        } catch (const Errore&) {
            return false;
        }
    }
    if (!v.file) return false;
    // The temporary archive; the rebuild's name for it while it grows; the name libzip writes
    // it under when it rewrites it (six letters or digits after a dot); the write-access probe.
    const std::string archivio = kArchivioTemporaneo;
    if (n == archivio || n == NomeDi(Temporaneo(archivio)) || n == koUtilita::kFileProva)
        return true;
    for (const std::string& scritto : {archivio, NomeDi(Cifrato(archivio))}) {
        if (n == scritto) return true;
        if (n.size() == scritto.size() + 7 && n.starts_with(scritto + ".")) {
            return std::all_of(
                n.begin() + static_cast<std::ptrdiff_t>(scritto.size()) + 1, n.end(),
                [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
        }
    }
    return false;
}

}  // namespace bv::nomi
