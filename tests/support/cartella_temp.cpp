// Temporary folders and fixture file helpers.
#include "tests/support/cartella_temp.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace bv::test {

CartellaTemp::CartellaTemp() {
    // A new folder of a random name in the system's temporary folder ($TMPDIR, %TEMP%).
    static std::random_device casuale;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int tentativo = 0; tentativo < 100; ++tentativo) {
        const auto nome = "bvtest-" + std::to_string(casuale()) + std::to_string(tentativo);
        std::error_code ec;
        if (std::filesystem::create_directory(base / nome, ec)) {
            percorso_ = (base / nome).string();
            while (percorso_.size() > 1 && (percorso_.back() == '/' || percorso_.back() == '\\'))
                percorso_.pop_back();
            return;
        }
    }
    throw std::runtime_error("cartella temporanea");
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
