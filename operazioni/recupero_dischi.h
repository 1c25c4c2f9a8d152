// A set over removable disks with a disk the user says is missing or unreadable: the blocks of
// the other disks gathered into a work folder (ClsSpan::RaccogliSeMancante), the recovery
// disk's files beside them, the missing blocks rebuilt and the blocks joined into the archive.
// Shared by the restore and the verification of a set.
#pragma once

#include <cstdint>
#include <string>

#include "recupero/lettore.h"
#include "util/interazione.h"

namespace bv {

class RecuperoDaDischi {
  public:
    // `origine`: the drive; `cartella`: where the blocks are gathered; `titolo`: the prompts'.
    RecuperoDaDischi(std::string origine, std::string nomeSet, std::string cartella,
                     std::string titolo, Interazione& domande);

    // After disk `mancante` (0-based) was said missing: the recovery disk asked for and its
    // files copied; returns how many blocks the set has. Throws OperazioneAnnullata.
    int32_t ChiediDiscoDiRecupero(int32_t mancante);
    // The gathered blocks checked against the recovery data; while these are not enough a
    // further recovery disk is asked for (`chiediAltri`); the check as it stands at the end.
    recupero::Verifica Controlla(bool chiediAltri);
    // The damaged blocks rebuilt in place; the numbers of those rebuilt.
    std::vector<int32_t> Ripara(const recupero::Verifica& v);
    // The blocks joined into `archivio` (a staged name, then renamed); throws 10006 when their
    // total is not `dichiarata` (the descriptors' SIZE_FILE, -1 unknown).
    void Unisci(const std::string& archivio, int64_t dichiarata) const;

    const recupero::InsiemeRecupero& Insieme() const { return insieme_; }

  private:
    bool CopiaDisco();

    std::string origine_;
    std::string nomeSet_;
    std::string cartella_;
    std::string titolo_;
    Interazione& domande_;
    recupero::InsiemeRecupero insieme_;
};

}  // namespace bv
