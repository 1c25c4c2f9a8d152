// Removable volumes on Linux: the kernel's mount table, the block devices' "removable" flag (or
// a USB bus above them: a USB disk is not flagged removable), and udev's names of the file
// systems' UUIDs and labels.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/volume.h"

namespace bv {

namespace {

std::string LeggiTestoFile(const std::string& percorso) {
    std::ifstream f(percorso);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool DispositivoRimovibile(unsigned maggiore, unsigned minore) {
    const std::string collegamento =
        "/sys/dev/block/" + std::to_string(maggiore) + ":" + std::to_string(minore);
    std::unique_ptr<char, decltype(&std::free)> reale(realpath(collegamento.c_str(), nullptr), &std::free);
    if (!reale) return false;
    std::string disco = reale.get();
    if (disco.find("/usb") != std::string::npos) return true;
    // A partition's flag is its disk's.
    struct stat st {};
    if (::stat((disco + "/partition").c_str(), &st) == 0) disco = disco.substr(0, disco.rfind('/'));
    return LeggiTestoFile(disco + "/removable").starts_with("1");
}

// udev writes unusual characters of a label as "\x20".
std::string SenzaEscapeUdev(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(s[i + 2])) != 0 &&
            std::isxdigit(static_cast<unsigned char>(s[i + 3])) != 0) {
            r += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            r += s[i];
        }
    }
    return r;
}

// The name under /dev/disk/<cartella> that leads to the device.
std::string NomeUdev(const char* cartella, dev_t dispositivo) {
    const auto chiudi = [](DIR* x) { closedir(x); };
    std::unique_ptr<DIR, decltype(chiudi)> d(opendir(cartella), chiudi);
    if (!d) return {};
    while (const dirent* v = readdir(d.get())) {
        const std::string nome = v->d_name;
        if (nome == "." || nome == "..") continue;
        struct stat st {};
        if (::stat((std::string(cartella) + "/" + nome).c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
            st.st_rdev == dispositivo)
            return SenzaEscapeUdev(nome);
    }
    return {};
}

std::optional<VolumeRimovibile> VolumeDi(const Montaggio& m) {
    if (!DispositivoRimovibile(m.maggiore, m.minore)) return std::nullopt;
    const dev_t dispositivo = makedev(m.maggiore, m.minore);
    VolumeRimovibile v;
    v.identita = NomeUdev("/dev/disk/by-uuid", dispositivo);
    if (v.identita.empty()) return std::nullopt;
    v.etichetta = NomeUdev("/dev/disk/by-label", dispositivo);
    v.radice = m.punto == "/" ? m.punto : m.punto + "/";
    return v;
}

std::vector<Montaggio> Montaggi() { return LeggiMountinfo(LeggiTestoFile("/proc/self/mountinfo")); }

}  // namespace

std::optional<VolumeRimovibile> VolumeRimovibileDi(const std::string& percorso) {
    // The nearest folder that exists tells the volume.
    std::string esistente = percorso;
    struct stat st {};
    while (!esistente.empty() && ::stat(esistente.c_str(), &st) != 0) {
        const size_t sep = esistente.find_last_of('/', esistente.size() > 1 ? esistente.size() - 2 : 0);
        if (sep == std::string::npos) return std::nullopt;
        esistente = esistente.substr(0, sep == 0 ? 1 : sep);
    }
    std::unique_ptr<char, decltype(&std::free)> reale(realpath(esistente.c_str(), nullptr), &std::free);
    if (!reale) return std::nullopt;
    const std::string canonico = reale.get();
    // The mount of that device nearest the path (a stick may be mounted twice).
    const Montaggio* scelto = nullptr;
    const std::vector<Montaggio> montaggi = Montaggi();
    for (const Montaggio& m : montaggi) {
        if (makedev(m.maggiore, m.minore) != st.st_dev) continue;
        const bool sotto = m.punto == "/" || canonico == m.punto || canonico.starts_with(m.punto + "/");
        if (sotto && (scelto == nullptr || m.punto.size() >= scelto->punto.size())) scelto = &m;
    }
    if (scelto == nullptr) return std::nullopt;
    std::optional<VolumeRimovibile> v = VolumeDi(*scelto);
    // Kept in the form the user gave, so that the rest of the path follows it.
    if (v && !percorso.starts_with(v->radice) && percorso != scelto->punto) return std::nullopt;
    return v;
}

std::vector<VolumeRimovibile> VolumiRimovibili() {
    std::vector<VolumeRimovibile> volumi;
    for (const Montaggio& m : Montaggi()) {
        if (auto v = VolumeDi(m)) volumi.push_back(std::move(*v));
    }
    return volumi;
}

}  // namespace bv
