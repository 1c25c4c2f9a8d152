// Path conventions on POSIX.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

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

std::string PercorsoAssoluto(const std::string& percorso) {
    if (percorso.empty() || percorso[0] == '/') return percorso;
    char buf[PATH_MAX];
    if (::getcwd(buf, sizeof buf) == nullptr) return percorso;
    std::vector<std::string> parti;
    const auto aggiungi = [&parti](const std::string& testo, bool fisico, size_t& fisiche) {
        size_t i = 0;
        while (i <= testo.size()) {
            const size_t fine = std::min(testo.find('/', i), testo.size());
            const std::string parte = testo.substr(i, fine - i);
            i = fine + 1;
            if (parte.empty() || parte == ".") continue;
            // The current folder has no links in it: a ".." there is its parent. After a name
            // the user wrote, which may be a link, the system decides.
            if (parte == ".." && parti.size() == fisiche) {
                if (!parti.empty()) {
                    parti.pop_back();
                    --fisiche;
                }
                continue;
            }
            parti.push_back(parte);
            if (fisico) ++fisiche;
        }
    };
    size_t fisiche = 0;
    aggiungi(buf, true, fisiche);
    aggiungi(percorso, false, fisiche);
    std::string assoluto;
    for (const std::string& parte : parti) assoluto += "/" + parte;
    if (assoluto.empty() || percorso.back() == '/') assoluto += '/';
    return assoluto;
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
