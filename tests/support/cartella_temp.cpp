// Temporary folders and fixture file helpers.
#include "tests/support/cartella_temp.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bv::test {

CartellaTemp::CartellaTemp() {
    const char* base = std::getenv("TMPDIR");
    std::string modello =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/bvtest-XXXXXX";
    if (::mkdtemp(modello.data()) == nullptr) throw std::runtime_error("mkdtemp");
    percorso_ = modello;
}

CartellaTemp::~CartellaTemp() {
    std::error_code ec;
    // Folders a test made read-only must be removable again.
    for (auto it = std::filesystem::recursive_directory_iterator(percorso_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(percorso_, ec);
}

void ScriviFile(const std::string& percorso, const std::string& contenuto) {
    std::ofstream f(percorso, std::ios::binary | std::ios::trunc);
    f << contenuto;
    if (!f) throw std::runtime_error("scrittura di " + percorso);
}

std::string LeggiTesto(const std::string& percorso) {
    std::ifstream f(percorso, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool Esiste(const std::string& percorso) {
    return std::filesystem::exists(percorso);
}

void CreaCartelle(const std::string& percorso) {
    std::filesystem::create_directories(percorso);
}

}  // namespace bv::test
