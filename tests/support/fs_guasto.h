// A file system that fails on request in front of the real one: the N-th write with ENOSPC,
// a rename with EXDEV, a flush with EIO, an open of chosen paths, short writes, and a free
// space of the test's choosing. Installed for as long as it lives. Safe to call from several
// threads (extraction and comparison work on every core): its counters, records and the
// test's callbacks are used under one lock.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/errore.h"
#include "platform/filesystem.h"

namespace bv::test {

class FsGuasto final : public FileSystem {
  public:
    FsGuasto() : uso_(*this) {}

    // 1-based number of the write that fails (0: none), counted from installation.
    int scritturaCheFallisce = 0;
    int errnoScrittura = 28;  // ENOSPC
    int scritture = 0;
    // Writes at most this many bytes per call (0: no limit).
    size_t massimoPerScrittura = 0;
    int errnoRinomina = 0;
    // errno for renaming one name to another, 0 to let it through.
    std::function<int(const std::string& da, const std::string& a)> erroreRinomina;
    int errnoSincronizza = 0;
    // errno for opening (or creating) a path, 0 to let it through.
    std::function<int(const std::string&, ModoApertura)> erroreApertura;
    // errno for creating a folder, 0 to let it through.
    std::function<int(const std::string&)> erroreCreaCartella;
    std::function<int64_t(const std::string&)> spazio;
    // errno for writing n bytes into the file at a path, 0 to let it through (a disk that fills).
    std::function<int(const std::string& percorso, size_t n)> erroreScrittura;
    // What a query of a path reports, from what the real one found (a file seen larger).
    std::function<InfoFile(const std::string& percorso, InfoFile reale)> info;
    // Called before every operation that can fail (open, read, write, flush, rename, remove,
    // make or remove a folder, link, exchange), counted in `operazioni`: an errno fails it.
    // The fault and crash loops fail, or end the process at, the N-th one.
    std::function<int(const char* operazione, const std::string& percorso)> prima;
    int operazioni = 0;
    // A FAT volume's renames under a power cut: the new name's entry holds no data until that
    // name is flushed (SincronizzaVoce, or a flush of a file opened under it); TagliaCorrente
    // then does what the cut would, leaving each such file empty.
    bool comeFat = false;
    void TagliaCorrente();
    // Every cache drop and read, in order ("scarta:<path>", "leggi:<path>"), when asked.
    bool registraLetture = false;
    std::vector<std::string> letture;

    int Apri(const std::string& percorso, ModoApertura modo) override;
    size_t Leggi(int h, void* buf, size_t n) override;
    size_t LeggiDa(int h, uint64_t o, void* buf, size_t n) override;
    size_t Scrivi(int h, const void* buf, size_t n) override;
    size_t ScriviDa(int h, uint64_t o, const void* buf, size_t n) override;
    void Posiziona(int h, uint64_t o) override { reale_.Posiziona(h, o); }
    void Sincronizza(int h) override;
    uint64_t Dimensione(int h) override { return reale_.Dimensione(h); }
    void Chiudi(int h) override {
        {
            std::lock_guard<std::recursive_mutex> l(mutex_);
            percorsi_.erase(h);
        }
        reale_.Chiudi(h);
    }
    InfoFile Info(const std::string& p) override {
        InfoFile i = reale_.Info(p);
        // Locked only for a test that asks: the window's thread queries names while a worker
        // may wait on it inside another callback, under the lock.
        if (!info) return i;
        std::lock_guard<std::recursive_mutex> l(mutex_);
        return info(p, i);
    }
    std::vector<VoceCartella> Elenca(const std::string& c) override { return reale_.Elenca(c); }
    void CreaCartella(const std::string& p) override;
    void RimuoviCartella(const std::string& p) override {
        Prima("rmdir", p);
        reale_.RimuoviCartella(p);
    }
    void Rinomina(const std::string& da, const std::string& a) override;
    void Rimuovi(const std::string& p) override {
        Prima("unlink", p);
        reale_.Rimuovi(p);
    }
    void SincronizzaVoce(const std::string& p) override;
    void SincronizzaCartella(const std::string& c) override {
        Prima("fsync-dir", c);
        reale_.SincronizzaCartella(c);
    }
    bool SincronizzaVolume(const std::string& p) override {
        Prima("syncfs", p);
        if (errnoSincronizza != 0)
            throw ErroreDaErrno(errnoSincronizza, p, Oggetto::Cartella, "syncfs (guasto di prova)");
        return !volumeSenzaFlush && reale_.SincronizzaVolume(p);
    }
    // The volume cannot be flushed in one call (as on Windows): files are flushed one by one.
    bool volumeSenzaFlush = false;
    int64_t SpazioLibero(const std::string& p) override {
        return spazio ? spazio(p) : reale_.SpazioLibero(p);
    }
    void ImpostaDataModifica(const std::string& p, int64_t s) override {
        reale_.ImpostaDataModifica(p, s);
    }
    void ImpostaPermessi(const std::string& p, uint32_t m) override {
        Prima("chmod", p);
        reale_.ImpostaPermessi(p, m);
    }
    void CollegaFisso(const std::string& e, const std::string& n) override {
        Prima("link", n);
        if (erroreCollega != 0)
            throw ErroreDaErrno(erroreCollega, e, Oggetto::File, "link (guasto di prova)");
        reale_.CollegaFisso(e, n);
    }
    bool ScambiaNomi(const std::string& a, const std::string& b) override {
        Prima("exchange", a);
        return !scambioNonSupportato && reale_.ScambiaNomi(a, b);
    }
    void ScartaCache(int h) override;
    // errno for every hard link (a volume without them); the exchange of names refused.
    int erroreCollega = 0;
    bool scambioNonSupportato = false;

  private:
    int ControllaScrittura(int h, size_t n);
    bool ContaScrittura();  // counts a write; true for the one that must fail
    void Registra(const std::string& voce);
    void Prima(const char* operazione, const std::string& percorso);

    std::string Percorso(int h);

    std::recursive_mutex mutex_;
    std::map<int, std::string> percorsi_;
    std::set<std::string> vociVuote_;  // renamed on the FAT model, not flushed since
    FileSystem& reale_ = FsDiSistema();
    SostituzioneFs uso_;
};

}  // namespace bv::test
