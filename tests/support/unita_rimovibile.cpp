// The simulated removable drive.
#include "tests/support/unita_rimovibile.h"

#include "tests/support/variabili.h"

#include <cerrno>
#include <filesystem>

namespace bv::test {

namespace fs = std::filesystem;

UnitaRimovibile::UnitaRimovibile(std::string unita, std::string base, uint64_t capacita, int dischi)
    : unita_(std::move(unita)), base_(std::move(base)), capacita_(capacita), dischi_(dischi) {
    fs::create_directories(unita_);
    for (int k = 1; k < dischi_; ++k) fs::create_directories(Disco(k));
    // The drive is the removable one: a set there asks for its disks (a folder of a fixed
    // disk does not).
    ImpostaVariabile("BVBACKUP_FLOPPY", unita_);
}

UnitaRimovibile::~UnitaRimovibile() {
    TogliVariabile("BVBACKUP_FLOPPY");
}

std::string UnitaRimovibile::Disco(int k) const {
    return k == inserito_ ? unita_ : base_ + "/disco" + std::to_string(k + 1);
}

void UnitaRimovibile::Inserisci(int k) {
    if (k == inserito_) return;
    // Out: the drive's files go to the disk's own folder; in: the new disk's files come in.
    if (inserito_ >= 0) {
        const std::string fuori = base_ + "/disco" + std::to_string(inserito_ + 1);
        fs::create_directories(fuori);
        for (const auto& e : fs::directory_iterator(unita_))
            fs::rename(e.path(), fuori / e.path().filename());
    }
    if (k >= 0) {
        const std::string dentro = base_ + "/disco" + std::to_string(k + 1);
        fs::create_directories(dentro);
        for (const auto& e : fs::directory_iterator(dentro))
            fs::rename(e.path(), unita_ / e.path().filename());
    }
    inserito_ = k;
}

uint64_t UnitaRimovibile::Usato() const {
    uint64_t usato = 0;
    for (const auto& e : fs::directory_iterator(unita_)) {
        if (e.is_regular_file()) usato += e.file_size();
    }
    return usato;
}

bool UnitaRimovibile::NellUnita(const std::string& percorso) const {
    return percorso == unita_ || percorso.starts_with(unita_ + "/");
}

void UnitaRimovibile::Collega(FsGuasto& guasto) {
    guasto.spazio = [this](const std::string& p) -> int64_t {
        if (!NellUnita(p)) return FsDiSistema().SpazioLibero(p);
        if (inserito_ < 0) return -1;  // no disk in the drive
        return static_cast<int64_t>(capacita_ - std::min(capacita_, Usato()));
    };
    guasto.erroreScrittura = [this](const std::string& p, size_t n) {
        return NellUnita(p) && Usato() + n > capacita_ ? ENOSPC : 0;
    };
}

}  // namespace bv::test
