// The portable part of the removable volumes: reading the kernel's mount table.
#include "platform/volume.h"

#include <sstream>

namespace bv {

namespace {

// "\040" for a blank, "\011" for a tab, "\134" for a backslash, as the kernel writes them.
std::string SenzaEscape(const std::string& s) {
    std::string r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            r += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            r += s[i];
        }
    }
    return r;
}

}  // namespace

std::vector<Montaggio> LeggiMountinfo(const std::string& testo) {
    std::vector<Montaggio> montaggi;
    std::istringstream righe(testo);
    std::string riga;
    while (std::getline(righe, riga)) {
        // id parent major:minor root mount-point options [optional fields...] - type source ...
        std::istringstream campi(riga);
        std::string id, genitore, dispositivo, radice, punto, opzioni, campo;
        if (!(campi >> id >> genitore >> dispositivo >> radice >> punto >> opzioni)) continue;
        while (campi >> campo && campo != "-") {
        }
        Montaggio m;
        if (campo != "-" || !(campi >> m.tipo)) continue;
        const size_t due = dispositivo.find(':');
        if (due == std::string::npos || due == 0 || due > 9 || due + 1 >= dispositivo.size() ||
            dispositivo.size() - due > 10 ||
            dispositivo.find_first_not_of("0123456789:") != std::string::npos)
            continue;
        m.maggiore = static_cast<unsigned>(std::stoul(dispositivo.substr(0, due)));
        m.minore = static_cast<unsigned>(std::stoul(dispositivo.substr(due + 1)));
        m.punto = SenzaEscape(punto);
        while (m.punto.size() > 1 && m.punto.back() == '/') m.punto.pop_back();
        montaggi.push_back(std::move(m));
    }
    return montaggi;
}

}  // namespace bv
