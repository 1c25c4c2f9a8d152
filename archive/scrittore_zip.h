// Appends members to a ZIP archive in place: new members are written where the central
// directory stood, and the directory, kept in memory meanwhile, is written once after the last
// of them. Adding n files so costs their data plus one directory, instead of rewriting the
// archive, or even the directory, at every addition.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/zippo.h"
#include "platform/filesystem.h"

namespace bv::zip_interno {

enum class EsitoAccoda {
    Fatto,
    NonGestito,  // an archive this writer does not handle (ZIP64, comment, same name): use libzip
};

struct Compressori;  // the deflate helpers and buffers kept from one member to the next
struct InAttesa;     // a member deflating, written in its turn
class LettorePezzi;  // a file read in the pieces the helpers deflate

// One archive open for additions. Between the first Accoda and Chiudi the archive on disk is
// not a complete ZIP (its directory is written by Chiudi), and small files may still be
// deflating, their data written by a later call: an abandoned writer, or one whose call
// failed, leaves a file only fit to be removed. Every method throws Errore for file-system failures
// and for an archive that is not a ZIP file.
class ScrittoreZip {
  public:
    // Opens (or creates) the archive and reads its directory; NonGestito() tells whether the
    // archive is one this writer can append to. With a key, every member it adds is encrypted
    // (WinZip AES, AE-2) as it is written.
    explicit ScrittoreZip(const std::string& archivio, std::string chiave = {});
    ~ScrittoreZip();
    ScrittoreZip(const ScrittoreZip&) = delete;
    ScrittoreZip& operator=(const ScrittoreZip&) = delete;

    bool NonGestito() const { return nonGestito_; }
    // Adds the file under the name given; NonGestito (nothing written) for a name already in
    // the archive or when the archive would outgrow 32-bit offsets.
    EsitoAccoda Accoda(const std::string& file, const std::string& nome,
                       const AvanzamentoZip& avanzamento);
    // The same, with what the caller already knows of the file (its size, date, permissions).
    EsitoAccoda Accoda(const std::string& file, const std::string& nome, const InfoFile& info,
                       const AvanzamentoZip& avanzamento);
    // Writes the directory and closes the archive: a complete ZIP again.
    void Chiudi();

  private:
    // Whether a member of that name and size keeps the archive within 32-bit offsets and
    // 65,535 entries, counting the members still waiting at the most they can take.
    bool CiSta(const std::string& nome, uint64_t dimensione) const;
    InAttesa NuovoMembro(const std::string& file, const std::string& nome,
                         const InfoFile& info) const;
    // What a member's headers and data take beyond its deflated bytes and its name, twice.
    uint64_t Aggiunta() const;
    void AffidaUnPezzo(InAttesa m, const AvanzamentoZip& avanzamento);
    void ScriviAPezzi(InAttesa& m, LettorePezzi& lettore, const AvanzamentoZip& avanzamento);
    static std::vector<uint8_t> IntestazioneLocale(const InAttesa& m);
    static std::vector<uint8_t> Campi(uint32_t crc, uint64_t compressi, uint64_t letti);
    // The member's entry in the directory kept in memory.
    void Registra(const InAttesa& m, const std::vector<uint8_t>& campi, uint64_t inizio);
    // Writes the members waiting, oldest first, until `restanti` are left.
    void ScriviInAttesa(size_t restanti);

    std::string archivio_;
    std::string chiave_;  // empty: members written plain
    File a_;
    bool nonGestito_ = false;
    bool modificato_ = false;
    std::vector<uint8_t> directory_;
    std::unordered_set<std::string> nomi_;
    uint32_t voci_ = 0;
    uint64_t fineDati_ = 0;   // where the next member goes, and the directory after the last
    uint64_t riservati_ = 0;  // the most the members waiting can take
    std::unique_ptr<Compressori> compressori_;
};

}  // namespace bv::zip_interno
