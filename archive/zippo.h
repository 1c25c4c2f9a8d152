// Zippo: the program's only contact with the ZIP format. Add one file to an archive, extract
// every member of an archive; 0 on success, non-zero on failure, and every diagnostic goes
// to the log so that the caller's message can point the user there.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace bv {

namespace zip_interno {
class ScrittoreZip;
}

// Called while a long operation works, with the bytes of data handled so far.
using AvanzamentoZip = std::function<void(uint64_t byte)>;

// Result codes (as the Info-ZIP tools number them).
namespace zip_codice {
inline constexpr int Ok = 0;
inline constexpr int ErroreFormato = 2;  // damaged archive, bad CRC, unsafe member
inline constexpr int ErroreGrave = 3;    // not an archive
inline constexpr int Memoria = 4;
inline constexpr int ArchivioMancante = 9;
inline constexpr int ErroreScrittura = 14;  // writing the archive failed
inline constexpr int ApreArchivio = 15;     // the archive cannot be opened for writing
inline constexpr int ApreFile = 18;         // the file to add cannot be read
inline constexpr int DiscoPieno = 50;
inline constexpr int Annullato = 80;
inline constexpr int ChiaveErrata = 82;  // an encrypted member the key given does not open
}  // namespace zip_codice

// Adds files one after another to one archive kept open between them: thousands of companion
// files cost each its own data, not the archive's directory again. The archive is created when
// missing and a member of the same name is replaced; deflate at the library's default level.
// The archive is a complete ZIP only once Chiudi has returned 0; after a failed addition it is
// fit only to be removed.
class SessioneZip {
  public:
    explicit SessioneZip(std::string archivio);
    ~SessioneZip();
    SessioneZip(const SessioneZip&) = delete;
    SessioneZip& operator=(const SessioneZip&) = delete;

    // Under the file's bare name (no folder part).
    int Comprimi(const std::string& file, const AvanzamentoZip& avanzamento = {});
    // Under the member name given (a companion file under its flattened name, straight from
    // its folder: no scratch copy).
    int ComprimiCome(const std::string& file, const std::string& nomeMembro,
                     const AvanzamentoZip& avanzamento = {});
    // Members encrypted with AES-256 (WinZip AES) under that key, as they are written (the
    // deflate on every core as ever). Names and sizes stay readable, as the format keeps them
    // outside the encryption. Given before the first file; an archive that already had members
    // is instead rewritten once by Chiudi through libzip, every member encrypted as copied.
    void Cifra(std::string chiave) { chiave_ = std::move(chiave); }
    int Chiudi();
    // The bytes of the files added so far, as their sizes were when added.
    uint64_t ByteLetti() const { return byteLetti_; }

  private:
    std::string archivio_;
    uint64_t byteLetti_ = 0;
    std::string chiave_;  // empty: not encrypted
    bool iniziata_ = false;       // a file was added
    bool cifraAllaFine_ = false;  // members written plain, encrypted by Chiudi
    std::unique_ptr<zip_interno::ScrittoreZip> scrittore_;
    int guasto_ = 0;  // the code of a failed addition: the archive is not whole
};

// Extracts every member into the folder, creating sub-folders, overwriting existing files.
// Members that would land outside the folder, and links, are refused before anything is
// written. Each member is written under a temporary name and renamed only when it is complete
// and its CRC checked. Encrypted members are read with `chiave`: one it does not open (or no
// key) is ChiaveErrata, nothing of that member kept.
int Estrai(const std::string& archivio, const std::string& cartella,
           const AvanzamentoZip& avanzamento = {}, const std::string& chiave = {});

// What a comparison of an archive with its sources found.
struct EsitoConfronto {
    bool uguali = true;
    std::string primaDifferenza;  // the first member that differs, is missing or is extra
};

// Compares every member with its source file (`sorgenti`: member name -> path), inflating into
// a buffer and reading the source alongside: nothing is written. Every member is read to its
// end, so a damaged archive (non-zero) is reported before a difference. Each source must be a
// member and each member a source; an empty path (a source that is gone) has its member read
// to its end, its CRC checked, without a comparison. A source that cannot be read throws its
// Errore.
int ConfrontaMembri(const std::string& archivio, const std::map<std::string, std::string>& sorgenti,
                    EsitoConfronto& esito, const AvanzamentoZip& avanzamento = {},
                    const std::string& chiave = {});

// Every member read to its end and its CRC checked, nothing written: whether the archive is
// whole (0) or not.
int ControllaMembri(const std::string& archivio, const AvanzamentoZip& avanzamento = {},
                    const std::string& chiave = {});

// Whether the archive's first bytes (a set's first block) start with an encrypted member.
bool PrimoMembroCifrato(const uint8_t* dati, size_t n);

// The sum of the sizes the members declare, for checking the room before extracting.
int DimensioneMembri(const std::string& archivio, uint64_t& totale);
// Why the extraction would refuse the archive's members ("member: reason"), "" when it would
// not: names that climb out, links, devices, names this system cannot hold, and the like.
std::string MotivoMembroRifiutato(const std::string& archivio);

// Writes the text of a buffer up to its first NUL (and at most `lunghezza` characters, at
// most 32,001) as one timestamped log line. Never throws; returns 0.
int CbStampa(const char* buffer, size_t lunghezza);

}  // namespace bv
