// Database-like sample data and the demo environment: a registered host with a version,
// a data folder of databases with their companion folders, and an empty destination.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bv::strumenti {

// A deterministic file of 4 KB pages: record pages (Italian names, addresses, dates,
// amounts), index pages and free space, compressing about as well as a real database.
void GeneraDatabase(const std::string& percorso, uint64_t dimensione, uint64_t seme);

// A file of noise that hardly compresses, like a scanned document.
void GeneraBinario(const std::string& percorso, uint64_t dimensione, uint64_t seme);

// A small Italian text file.
void GeneraTesto(const std::string& percorso, uint64_t dimensione, uint64_t seme);

enum class StatoDemo { Completo, SenzaDati, NonInstallato };

struct AmbienteDemo {
    std::string registro;      // the registry stand-in file (on Windows, a copy of what was registered)
    std::string eseguibile;    // the host's Brelvano.exe
    std::string dati;          // the data folder, with a final separator
    std::string destinazione;  // the empty backup folder, with a final separator
};

// A registry value of the demo: a text under its key's full path.
struct ValoreDemo {
    std::string chiave;
    std::string nome;
    std::string testo;
};

// Puts the values in the system's registry where it has one (Windows: the host's App Paths
// entry in the 32-bit view, as a 32-bit host registers); nothing elsewhere, where the
// environment's registry.reg is the registry.
void RegistraNelSistema(const std::vector<ValoreDemo>& valori);

// Makes the demo environment in `cartella` (created when missing).
AmbienteDemo CreaAmbienteDemo(const std::string& cartella, StatoDemo stato,
                              uint64_t dimensioneDatabase = 3 << 20);

}  // namespace bv::strumenti
