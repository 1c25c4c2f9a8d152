// The member-name policy.
#include "archive/nomi_membri.h"

#include <algorithm>
#include <map>

#include "platform/codifica.h"
#include "platform/percorsi.h"

namespace bv {

bool HaCaratteriDiControllo(const std::string& nome) {
    for (const char c : nome)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

// A component Windows reserves for a device (CON, NUL.txt, COM1): such a file cannot be made
// there, and on other systems must not be.
bool NomeRiservatoAUnDispositivo(const std::string& nome) {
    size_t inizio = 0;
    while (inizio <= nome.size()) {
        size_t fine = nome.find_first_of("/\\", inizio);
        if (fine == std::string::npos) fine = nome.size();
        std::string parte = Maiuscolo(nome.substr(inizio, fine - inizio));
        if (const auto punto = parte.find('.'); punto != std::string::npos) parte.resize(punto);
        while (!parte.empty() && parte.back() == ' ') parte.pop_back();
        static const char* const riservati[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
        for (const char* r : riservati)
            if (parte == r) return true;
        if (parte.size() == 4 && (parte.starts_with("COM") || parte.starts_with("LPT")) &&
            parte[3] >= '1' && parte[3] <= '9')
            return true;
        inizio = fine + 1;
    }
    return false;
}

bool BordoNonAmmesso(const std::string& componente) {
    if (componente.empty() || componente == "." || componente == "..") return false;
    return componente.front() == ' ' || componente.back() == ' ' || componente.back() == '.';
}

namespace {

// The path a member is extracted to, relative to the target, with "/" alone: "\" read as
// "/", "." and empty components dropped ("./a", ".//a" and "a" are one file).
std::string PercorsoNormale(const std::string& nome) {
    std::string percorso;
    for (size_t inizio = 0; inizio <= nome.size();) {
        const size_t fine = std::min(nome.find_first_of("/\\", inizio), nome.size());
        const std::string parte = nome.substr(inizio, fine - inizio);
        if (!parte.empty() && parte != ".") percorso += (percorso.empty() ? "" : "/") + parte;
        inizio = fine + 1;
    }
    return percorso;
}

}  // namespace

bool NomeMembroSicuro(const std::string& nome) {
    if (nome.empty() || nome.find('\0') != std::string::npos) return false;
    if (nome[0] == '/' || nome[0] == '\\') return false;
    if (nome.size() >= 2 && nome[1] == ':') return false;  // a drive letter
    size_t inizio = 0;
    while (inizio <= nome.size()) {
        size_t fine = nome.find_first_of("/\\", inizio);
        if (fine == std::string::npos) fine = nome.size();
        if (nome.compare(inizio, fine - inizio, "..") == 0) return false;
        inizio = fine + 1;
    }
    return true;
}

std::string MotivoRifiuto(const std::vector<MembroDaControllare>& membri) {
    // upper case -> the path and the name as written
    std::map<std::string, std::pair<std::string, std::string>> file;
    std::map<std::string, std::string> cartelle;  // every folder a member implies
    for (const MembroDaControllare& m : membri) {
        const std::string& n = m.nome;
        if (!NomeMembroSicuro(n)) return n + ": porterebbe fuori dalla cartella di destinazione";
        if (HaCaratteriDiControllo(n) || HaCaratteriDiControllo(m.grezzo))
            return n + ": contiene caratteri di controllo";
        if (NomeRiservatoAUnDispositivo(n)) return n + ": nome riservato a un dispositivo";
        {
            std::string componenti = n;
            std::replace(componenti.begin(), componenti.end(), '\\', '/');
            for (size_t inizio = 0; inizio <= componenti.size();) {
                const size_t fine = std::min(componenti.find('/', inizio), componenti.size());
                const std::string parte = componenti.substr(inizio, fine - inizio);
                // First: refused on every system alike, and told alike.
                if (BordoNonAmmesso(parte))
                    return n + ": un nome inizia o finisce con uno spazio, o finisce con un punto";
                // "." names no file of its own: extraction drops it (a duplicate is told below).
                if (!parte.empty() && parte != "." && !NomeAmmessoDalSistema(parte))
                    return n + ": nome non ammesso da questo sistema";
                inizio = fine + 1;
            }
        }
        if (m.collegamento) return n + ": e' un collegamento simbolico";
        if (m.nonOrdinario) return n + ": non e' un file ordinario";
        const bool cartella = n.back() == '/' || n.back() == '\\';
        const std::string percorso = PercorsoNormale(n);
        if (percorso.empty()) {
            if (cartella) continue;  // the target folder itself
            return n + ": nome vuoto";
        }
        for (size_t p = percorso.find('/'); p != std::string::npos; p = percorso.find('/', p + 1))
            cartelle.emplace(Maiuscolo(percorso.substr(0, p)), percorso.substr(0, p));
        if (cartella) {
            cartelle.emplace(Maiuscolo(percorso), percorso);
            continue;
        }
        const auto [it, nuovo] = file.emplace(Maiuscolo(percorso), std::pair{percorso, n});
        if (nuovo) continue;
        const auto& [altro, altroScritto] = it->second;
        // The same file under another spelling ("./a.mdb" beside "a.mdb") would silently take
        // the place of the first one extracted.
        std::string scritto = n;
        std::string altroComeScritto = altroScritto;
        std::replace(scritto.begin(), scritto.end(), '\\', '/');
        std::replace(altroComeScritto.begin(), altroComeScritto.end(), '\\', '/');
        if (Maiuscolo(scritto) != Maiuscolo(altroComeScritto))
            return n + " e " + altroScritto + ": nomi dello stesso file";
        return n + " e " + altro + ": nomi uguali a meno di maiuscole";
    }
    for (const auto& [chiave, nome] : file) {
        if (const auto it = cartelle.find(chiave); it != cartelle.end())
            return nome.first + ": un file e una cartella con lo stesso nome";
    }
    return {};
}

}  // namespace bv
