// A destination on a USB stick found again when the stick comes back under another drive letter
// (or mount point): the same volume, told by its serial number or UUID, never another one.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/volume.h"

namespace bv {

struct DestinazioneRitrovata {
    std::string cartella;     // the destination where the stick is now
    VolumeRimovibile volume;  // the stick as it is mounted now
};

// The destination moved to where its remembered volume is mounted now. Nothing when the
// folder is there, when the destination does not lie under the remembered mount, when that
// volume is not mounted elsewhere, or when the folder is not on it there either.
std::optional<DestinazioneRitrovata> RitrovaDestinazione(const std::string& destinazione,
                                                        const VolumeRimovibile& ricordato,
                                                        const std::vector<VolumeRimovibile>& montati);

// The same against the volumes mounted now.
std::optional<DestinazioneRitrovata> RitrovaDestinazione(const std::string& destinazione,
                                                        const std::optional<VolumeRimovibile>& ricordato);

// "La cartella E:\BACKUP\ non c'è: la stessa chiavetta «CHIAVE» si trova ora in F:\ e il backup
// va in F:\BACKUP\."
std::string TestoDestinazioneRitrovata(const std::string& destinazione, const DestinazioneRitrovata& d);

// The volume of a destination kept with it in a section of the settings ("DestVolume",
// "DestRadice", "DestEtichetta"); cleared when the destination is not on a removable volume.
void RicordaVolumeDestinazione(const std::string& sezione, const std::string& destinazione);
// The volume the settings keep for a destination: the schedule's, else the Backup tab's, when
// the destination lies under its mount.
std::optional<VolumeRimovibile> VolumeRicordatoPer(const std::string& destinazione);

// The system's volumes; a test puts its own in front for as long as the replacement lives.
class Volumi {
  public:
    virtual ~Volumi() = default;
    virtual std::optional<VolumeRimovibile> Di(const std::string& percorso) = 0;
    virtual std::vector<VolumeRimovibile> Montati() = 0;
};
Volumi& VolumiCorrenti();
class SostituzioneVolumi {
  public:
    explicit SostituzioneVolumi(Volumi& nuovi);
    ~SostituzioneVolumi();
    SostituzioneVolumi(const SostituzioneVolumi&) = delete;
    SostituzioneVolumi& operator=(const SostituzioneVolumi&) = delete;

  private:
    Volumi* precedenti_;
};

}  // namespace bv
