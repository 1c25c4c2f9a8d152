// Removable volumes (USB sticks) known by what they are, not by where the system put them:
// Windows gives a stick whatever drive letter is free, a Linux desktop mounts it under its label.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bv {

struct VolumeRimovibile {
    std::string radice;     // where it is mounted now, with a final separator ("F:\")
    std::string etichetta;  // its label, possibly empty
    // What tells it from every other volume: the serial number on Windows (8 hex digits), the
    // file system's UUID on Linux. Never empty.
    std::string identita;
};

// The removable volume the path lies on (the path itself need not exist); nothing on a fixed
// disk, or when the volume cannot be told.
std::optional<VolumeRimovibile> VolumeRimovibileDi(const std::string& percorso);

// The removable volumes mounted now.
std::vector<VolumeRimovibile> VolumiRimovibili();

// One line of Linux's /proc/self/mountinfo: the device and where it is mounted (the kernel's
// octal escapes of blanks undone). Portable, so that it can be checked anywhere.
struct Montaggio {
    unsigned maggiore = 0;
    unsigned minore = 0;
    std::string punto;  // the mount point, without a final separator
    std::string tipo;   // the file system's type
};
std::vector<Montaggio> LeggiMountinfo(const std::string& testo);

}  // namespace bv
