// Reads one member of a ZIP archive in order, as zip_fread does, but inflates a large member
// written by this program's writer on every core: its pieces were deflated one by one and
// joined by empty stored blocks, so each can be inflated on its own. Any other member, and any
// piece this way cannot read, is inflated as one stream: the bytes given are the same. A
// WinZip AES member (AES-256 over deflate) is decrypted here too, in bulk (libzip's own
// decryption goes one block at a time), its authentication code checked before its end is
// told, whatever its size.
#pragma once

#include <zip.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace bv::zip_interno {

class LettoreMembro {
  public:
    // Opens member `indice` of `z` (whose details are `st`); Aperto() tells whether it could.
    // `parallelo` false: one stream, as zip_fread gives it (the answer any failure of the
    // pieces is checked against). `chiave`: the password of an encrypted member.
    LettoreMembro(zip_t* z, zip_uint64_t indice, const zip_stat_t& st, bool parallelo = true,
                  const std::string& chiave = {});
    ~LettoreMembro();
    LettoreMembro(const LettoreMembro&) = delete;
    LettoreMembro& operator=(const LettoreMembro&) = delete;

    bool Aperto() const;
    // Up to n bytes of the member; 0 at its end, -1 on an error (damaged data, a wrong CRC).
    zip_int64_t Leggi(void* buf, size_t n);
    // Why it could not be opened or read, in libzip's words.
    std::string TestoErrore() const;
    // Whether the pieces are inflated on every core (for tests).
    bool InParallelo() const;
    // Whether it was opened to read pieces: a failure is then only final once one stream,
    // read again from the start, fails too.
    bool PerPezzi() const;
    // Whether it could not be opened for want of the right key.
    bool ChiaveErrata() const;

    struct Stato;

  private:
    std::unique_ptr<Stato> s_;
};

// How a whole reading of a member ended.
// ChiaveErrata: an encrypted member the key given (or none) does not open.
enum class FineLettura { Letto, Fermato, Fallito, ChiaveErrata };

// Reads member `indice` whole, the one way the comparison and the extraction read: in pieces
// first, and a member that fails so is read again as one stream, whose answer is the one given.
// Before each reading `inizia()` starts the caller's work afresh; `consuma(dati, n)` takes each
// run of bytes and returns why it refuses them ("" when it does not), which fails the reading as
// a read error would. `fatti` counts the bytes read (a second reading counts only what is new);
// `fermato()`, asked after each run, ends the reading early. On Fallito, `errore` says why.
// `chiave` opens an encrypted member. What `inizia` or `consuma` throw goes to the caller.
FineLettura LeggiMembroIntero(zip_t* z, zip_uint64_t indice, const zip_stat_t& st,
                              const std::function<void()>& inizia,
                              const std::function<std::string(const uint8_t*, size_t)>& consuma,
                              const std::function<bool()>& fermato, std::atomic<uint64_t>& fatti,
                              std::string& errore, const std::string& chiave = {});

}  // namespace bv::zip_interno
