// Path conventions on POSIX.
#include <climits>
#include <cstdlib>

#include "platform/codifica.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"

namespace bv {

char Separatore() {
    return '/';
}

std::string UnitaDi(const std::string& percorso) {
    if (percorso.empty() || percorso[0] != '/') return {};
    // Like "A:" on Windows, the drive carries no final separator.
    std::string unita = percorso;
    while (unita.size() > 1 && unita.back() == '/') unita.pop_back();
    return unita;
}

bool UnitaValida(const std::string& unita) {
    return !unita.empty() && unita[0] == '/';
}

bool NomeAmmessoDalSistema(const std::string& /*nome*/) {
    return true;
}

bool PercorsoAmmessoDalSistema(const std::string& percorso, bool cartellaDaCreare) {
    return percorso.size() <= LunghezzaMassimaPercorso(cartellaDaCreare);
}

size_t LunghezzaMassimaPercorso(bool /*cartellaDaCreare*/) {
    return PATH_MAX - 1;  // the final null is counted
}

std::string CartellaDaArgomento(const std::string& argomento) {
    return argomento;
}

std::string PercorsoPerMessaggio(const std::string& percorso) {
    return percorso;
}

std::string TrovaNome(const std::string& cartella, const std::string& nome) {
    std::string esatto = cartella + nome;
    if (Fs().Info(esatto).esiste) return esatto;
    try {
        const std::string m = Maiuscolo(nome);
        for (const VoceCartella& v : Fs().Elenca(cartella.empty() ? "." : cartella)) {
            if (Maiuscolo(v.nome) == m) return cartella + v.nome;
        }
    } catch (...) {  // an unreadable folder holds nothing to find
    }
    return esatto;
}

std::string PercorsoCanonico(const std::string& percorso) {
    char buf[PATH_MAX];
    if (::realpath(percorso.c_str(), buf) == nullptr) return {};
    return buf;
}

bool SuUnitaRimovibile(const std::string& percorso) {
    std::string floppy = CartellaFloppy();
    while (floppy.size() > 1 && floppy.back() == '/') floppy.pop_back();
    std::string p = percorso;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p == floppy || p.starts_with(floppy + "/");
}

std::string CartellaFloppy() {
    const char* v = std::getenv("BVBACKUP_FLOPPY");
    std::string c = (v != nullptr && *v != '\0') ? std::string(v) : std::string("/media/floppy0");
    if (c.back() != '/') c += '/';
    return c;
}

}  // namespace bv
