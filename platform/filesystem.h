// The one file-system layer of the core. Every file operation goes through the current
// FileSystem, so a test can put a faulty one in front (a disk that fills, a rename that
// fails) and check that the program reports it and loses nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bv {

struct InfoFile {
    bool esiste = false;
    bool cartella = false;
    bool file = false;      // a regular file
    bool nascosto = false;  // hidden by the platform's convention
    uint64_t dimensione = 0;
    int64_t modifica = 0;      // last modification, seconds since 1970
    uint32_t permessi = 0644;  // POSIX permission bits
    uint64_t identita = 0;     // tells one file or folder from another on its volume
    bool collegamento = false;  // the name itself is a link (symbolic, junction), even dangling
};

struct VoceCartella {
    std::string nome;
    bool cartella = false;
    bool file = false;  // a regular file (links are followed)
    bool nascosto = false;
    bool collegamento = false;  // a symbolic link (cartella and file tell what it leads to)
};

// The modes that write never follow a link (on Windows a name-surrogate reparse point: a
// symbolic link, a junction) of the last name: they fail instead. Links among the folders above
// are followed.
enum class ModoApertura {
    Lettura,
    Scrittura,           // create or truncate
    ScritturaEsclusiva,  // create, fail when it exists
    Accoda,              // create when missing, append
    LetturaScrittura,    // an existing file, read and written in place
};

// Failures are thrown as Errore with the standard number (see errore.h).
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual int Apri(const std::string& percorso, ModoApertura modo) = 0;
    // Reads up to n bytes; 0 at the end of the file.
    virtual size_t Leggi(int h, void* buf, size_t n) = 0;
    // Reads up to n bytes at an offset, without moving the file position.
    virtual size_t LeggiDa(int h, uint64_t offset, void* buf, size_t n) = 0;
    // Writes up to n bytes; may write fewer (callers loop, see File::ScriviTutto).
    virtual size_t Scrivi(int h, const void* buf, size_t n) = 0;
    // Writes up to n bytes at an offset, without moving the file position.
    virtual size_t ScriviDa(int h, uint64_t offset, const void* buf, size_t n) = 0;
    // Moves the file position (where the next Scrivi writes) to an offset.
    virtual void Posiziona(int h, uint64_t offset) = 0;
    // Flushes to the device. A failure is final: the data may be lost.
    virtual void Sincronizza(int h) = 0;
    virtual uint64_t Dimensione(int h) = 0;
    virtual void Chiudi(int h) = 0;

    // Never fails: a name that cannot be queried reads as not existing.
    virtual InfoFile Info(const std::string& percorso) = 0;
    virtual std::vector<VoceCartella> Elenca(const std::string& cartella) = 0;
    virtual void CreaCartella(const std::string& percorso) = 0;
    virtual void RimuoviCartella(const std::string& percorso) = 0;
    virtual void Rinomina(const std::string& da, const std::string& a) = 0;
    virtual void Rimuovi(const std::string& percorso) = 0;
    // Makes a created, removed or renamed entry of the folder durable.
    virtual void SincronizzaCartella(const std::string& cartella) = 0;
    // Makes the record of a just renamed name durable where the volume keeps a file's size and
    // first cluster in the folder's entry (FAT, exFAT: USB sticks, floppies): there a rename
    // writes a new entry that only a flush of the file itself fills in, and a power cut after
    // the folder's flush alone leaves the name with no data. Nothing on other volumes.
    virtual void SincronizzaVoce(const std::string& percorso) = 0;
    // Flushes to the device everything written on the volume of the path, in one call; false,
    // with nothing done, where the platform has no such call (callers flush each file).
    virtual bool SincronizzaVolume(const std::string& percorso) = 0;
    // Bytes the user may still write on the volume of the path; -1 when the query fails.
    virtual int64_t SpazioLibero(const std::string& percorso) = 0;
    virtual void ImpostaDataModifica(const std::string& percorso, int64_t secondi) = 0;
    virtual void ImpostaPermessi(const std::string& percorso, uint32_t permessi) = 0;
    // A second name for an existing file on the same volume (a hard link); fails where the
    // volume has none (then a flushed copy serves).
    virtual void CollegaFisso(const std::string& esistente, const std::string& nuovo) = 0;
    // Swaps two existing names in one atomic step; false, with nothing changed, where the
    // platform or the volume cannot (callers then use two renames).
    virtual bool ScambiaNomi(const std::string& a, const std::string& b) = 0;
    // Drops what the system caches of an open file, so the next read comes from the medium.
    virtual void ScartaCache(int h) = 0;
};

// A rename whose new name keeps the file's data through a power cut once its folder is flushed
// (SincronizzaVoce after Rinomina).
void RinominaDurevole(const std::string& da, const std::string& a);

// The real file system of the platform.
FileSystem& FsDiSistema();

// The file system the core uses now.
FileSystem& Fs();

// Puts another file system in front for as long as it lives (tests).
class SostituzioneFs {
  public:
    explicit SostituzioneFs(FileSystem& nuovo);
    ~SostituzioneFs();
    SostituzioneFs(const SostituzioneFs&) = delete;
    SostituzioneFs& operator=(const SostituzioneFs&) = delete;

  private:
    FileSystem* precedente_;
};

// An open file. Closed on destruction, errors ignored there: writers call Chiudi() themselves
// so that a failed close is reported.
class File {
  public:
    File(const std::string& percorso, ModoApertura modo);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& altro) noexcept;
    File& operator=(File&& altro) noexcept;

    size_t Leggi(void* buf, size_t n);
    // Reads until n bytes or the end of the file; returns the bytes read.
    size_t LeggiTutto(void* buf, size_t n);
    size_t LeggiDa(uint64_t offset, void* buf, size_t n);
    // Writes all n bytes, looping on short writes.
    void ScriviTutto(const void* buf, size_t n);
    void ScriviTutto(const std::string& testo) { ScriviTutto(testo.data(), testo.size()); }
    // Writes all n bytes at an offset.
    void ScriviTuttoDa(uint64_t offset, const void* buf, size_t n);
    void Posiziona(uint64_t offset);
    void Sincronizza();
    // Drops the cached pages, so what is read next comes from the medium.
    void ScartaCache();
    uint64_t Dimensione();
    void Chiudi();
    const std::string& Percorso() const { return percorso_; }

  private:
    std::string percorso_;
    int h_ = -1;
};

// Helpers built on the layer.
std::vector<uint8_t> LeggiFile(const std::string& percorso);
std::string LeggiFileTesto(const std::string& percorso);
// The one durable writer: `n` bytes from `sorgente` (which fills a buffer from an offset and
// returns how many it gave) go to `temporaneo`, which is flushed and only then renamed over
// `percorso`; the folder is flushed last. A file of that name is so either the old one or the
// whole new one, never a part. On a failure the temporary file goes. `permessi`, when given,
// are set before the file takes its name.
using Sorgente = std::function<size_t(uint64_t offset, uint8_t* buf, size_t n)>;
void ScriviDurevole(const std::string& percorso, const std::string& temporaneo, uint64_t n,
                    const Sorgente& sorgente, std::optional<uint32_t> permessi = std::nullopt);
// The same for a file of the program folder held in memory (settings, the restore's journal),
// which two copies of the program may write at once: the temporary name carries the process.
void ScriviFileAtomico(const std::string& percorso, const void* dati, size_t n,
                       std::optional<uint32_t> permessi = std::nullopt);
// Copies a file; `durevole` flushes the copy to the device (not needed for scratch copies).
void CopiaFile(const std::string& da, const std::string& a, bool durevole = true);
// Moves a file durably: flushed, then renamed; where the two names lie on different file
// systems, copied, flushed and only then removed from the source. A failed copy leaves no
// partial file behind.
void SpostaFile(const std::string& da, const std::string& a);
// Moves many files (source, destination) durably, as SpostaFile does each, but flushing once:
// every file renamed (copied across file systems), then the data flushed for the whole volume
// where the platform can (else file by file), then each destination folder once. Thousands of
// small files so cost a few flushes, not two each. On a failure the files already moved stay
// at their destination (the caller's staged names), none half-copied.
void SpostaFiles(const std::vector<std::pair<std::string, std::string>>& coppie);
// Removes a folder with everything in it (the program's own temporary folders).
void RimuoviAlbero(const std::string& cartella);
// The folder part of a path and its last name (platform separators).
std::string CartellaDi(const std::string& percorso);
std::string NomeDi(const std::string& percorso);
// A folder named with its final separator, without it ("/a/b/" -> "/a/b"); a root keeps its
// separator ("/", "C:\").
std::string CartellaSenzaSeparatore(const std::string& cartella);

}  // namespace bv
