// The utility object: path, folder, file and version helpers, the error display, the log and
// the settings-file reader that the whole program shares. It keeps no state.
#pragma once

#include <cstdint>
#include <string>

#include "platform/errore.h"
#include "platform/registro.h"

namespace bv {

class koUtilita {
  public:
    // Separators and folders. The path without its surrounding blanks and with a final
    // separator ("" stays ""); CreaPercorsoDirectory writes the changed path back.
    [[nodiscard]] std::string AggiungiSepDir(const std::string& percorso) const;
    std::string EstraiPath(const std::string& filename) const;
    bool IsCartella(const std::string& path) const;
    bool CreaPercorsoDirectory(std::string& path) const;

    // Folders registered in the registry, with a final separator, or "".
    std::string CartellaApplicazione(const std::string& APPLICAZIONE) const;
    std::string CartellaDati() const;

    // File probes.
    bool FileAperto(const std::string& file) const;
    bool WriteAccess(const std::string& strDirName) const;
    // The probe WriteAccess writes and removes in the folder (a crash may leave it behind).
    static constexpr const char* kFileProva = "120asd12.tmp";
    // Throws Errore when a file is missing or unreadable.
    bool ConfrontaFile(const std::string& file1, const std::string& file2) const;

    // Versions: "a.b.c.d", "0.0.0.0" without a version resource; -1, 0, 1.
    std::string GetVersione(const std::string& file) const;
    int32_t ConfrontaVersione(const std::string& VersioneA, const std::string& VersioneB) const;

    // Shows an error in a message box titled "Errore " and its number.
    void PrintErrore(const Errore& errore) const;
    // Where one of the program's own names in its own folders is a link (a reparse point on
    // Windows), removes the link, never what it leads to, and says so in the log: the file is
    // then made anew, not written wherever the link points. True when a link went.
    bool TogliCollegamento(const std::string& percorso) const;
    // Appends a line to the log (default: program folder + executable name + ".log"). A link
    // of the log's name is removed first, as TogliCollegamento does.
    bool ScriviLog(const std::string& testo, const std::string& filename = {}, bool data = true,
                   bool CancellaPrecedente = false) const;

    // One key of an INI-style file, trimmed, or DefaultValore.
    std::string LeggiINI(const std::string& fileINI, const std::string& Sezione,
                         const std::string& chiave, const std::string& DefaultValore) const;
    // The same rules on a file's text already read (a caller that must see a read error).
    std::string LeggiINIDaTesto(std::string contenuto, const std::string& Sezione,
                                const std::string& chiave, const std::string& DefaultValore) const;

    // The folder the user chooses ("" when they cancel); no separator is added. The dialog
    // opens at `partenza` or, when it does not exist, at its nearest existing parent.
    std::string Sfoglia_Cartella(const std::string& sTitle, const std::string& partenza = {}) const;
    // The folder itself when it exists, else its nearest existing parent; "" when none.
    std::string CartellaEsistentePiuVicina(const std::string& percorso) const;
    // Opens a document with its associated program; unless `muto`, a failure is shown.
    bool EseguiEx(const std::string& file, bool muto = true) const;

    // The title PrintErrore gives an error: "Errore  52", "Errore -5".
    static std::string TitoloErrore(int32_t numero);
    // The default log file.
    static std::string FileLog();

  private:
    ValoreRegistro LeggiValoreRegistro(RadiceRegistro radice, const std::string& chiave,
                                       const std::string& nome) const;
};

// The program's shared instance, created on first use.
koUtilita& Utilita();

}  // namespace bv
