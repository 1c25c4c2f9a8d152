// A simulated drive of removable disks for the tests: the drive is one folder; each disk is
// a folder of its own, with a capacity, moved into the drive when it is inserted. Free space
// is the capacity less what is written on the disk in the drive, and writing beyond it fails
// with ENOSPC, as on a real disk.
#pragma once

#include <string>
#include <vector>

#include "tests/support/fs_guasto.h"

namespace bv::test {

class UnitaRimovibile {
  public:
    // `unita` is the drive's folder (created); `base` a folder where disks wait outside it.
    UnitaRimovibile(std::string unita, std::string base, uint64_t capacita, int dischi);
    ~UnitaRimovibile();
    UnitaRimovibile(const UnitaRimovibile&) = delete;
    UnitaRimovibile& operator=(const UnitaRimovibile&) = delete;

    // Moves the disk in the drive out and disk k (0-based) in; -1 leaves the drive empty.
    void Inserisci(int k);
    int Inserito() const { return inserito_; }
    // The folder that holds disk k's files now.
    std::string Disco(int k) const;
    uint64_t Usato() const;
    void Collega(FsGuasto& fs);

    const std::string& Cartella() const { return unita_; }

  private:
    bool NellUnita(const std::string& percorso) const;

    std::string unita_;
    std::string base_;
    uint64_t capacita_;
    int dischi_;
    int inserito_ = 0;
};

}  // namespace bv::test
