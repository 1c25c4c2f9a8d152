// The registry on POSIX: values read from the registry stand-in file.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/file_reg.h"
#include "platform/filesystem.h"
#include "platform/registro.h"

namespace bv {

namespace {
// The buffer a value is read into: longer values are not read (the settings are folders,
// well within it).
constexpr size_t kBufferValore = 1024;

std::string Ambiente(const char* nome) {
    const char* v = std::getenv(nome);
    return v != nullptr ? std::string(v) : std::string();
}
}  // namespace

std::string PercorsoFileRegistro() {
    if (auto p = Ambiente("BVBACKUP_REGISTRY"); !p.empty()) return p;
    if (auto p = Ambiente("XDG_CONFIG_HOME"); !p.empty()) return p + "/bvbackup/registry.reg";
    std::string casa = Ambiente("HOME");
    if (casa.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
            casa = pw->pw_dir;
        }
    }
    return casa + "/.config/bvbackup/registry.reg";
}

std::string NomeRadice(RadiceRegistro radice) {
    return radice == RadiceRegistro::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

ValoreRegistro LeggiRegistro(RadiceRegistro radice, const std::string& chiave,
                             const std::string& nome) {
    try {
        const auto doc = DocumentoReg::Analizza(LeggiFileTesto(PercorsoFileRegistro()));
        const auto v = doc.Leggi(NomeRadice(radice) + "\\" + chiave, nome);
        if (!v) return {};
        if (v->tipo != ValoreReg::Tipo::Testo) return {true, {}};
        if (v->testo.size() + 1 > kBufferValore) return {};
        return {true, v->testo};
    } catch (...) {  // a missing or unreadable file means "not found"
        return {};
    }
}

}  // namespace bv
