// Read access to the registry: the host's installation and the user's shell folders.
// On POSIX the registry is a registry export file (see file_reg.h) whose place is given
// by PercorsoFileRegistro().
#pragma once

#include <string>

namespace bv {

enum class RadiceRegistro { LocalMachine, CurrentUser };

struct ValoreRegistro {
    bool trovato = false;
    std::string testo;
};

// A text value of a key ("" = the key's default value). Missing key, value or file, an
// unreadable file or a value longer than 1023 bytes: not found. A REG_EXPAND_SZ value,
// and any other non-text value, is found with empty text.
ValoreRegistro LeggiRegistro(RadiceRegistro radice, const std::string& chiave,
                             const std::string& nome);

// Where the registry stand-in lives: $BVBACKUP_REGISTRY, else
// $XDG_CONFIG_HOME/bvbackup/registry.reg, else ~/.config/bvbackup/registry.reg.
std::string PercorsoFileRegistro();

// The full name of a root key as it stands in the file.
std::string NomeRadice(RadiceRegistro radice);

}  // namespace bv
