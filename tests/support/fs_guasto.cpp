// Faults on request, passed to the real file system otherwise.
#include "tests/support/fs_guasto.h"

#include <algorithm>
#include <filesystem>

#include "platform/errore.h"

namespace bv::test {

std::string FsGuasto::Percorso(int h) {
    std::lock_guard<std::recursive_mutex> l(mutex_);
    return percorsi_[h];
}

void FsGuasto::Prima(const char* operazione, const std::string& percorso) {
    std::lock_guard<std::recursive_mutex> l(mutex_);
    ++operazioni;
    if (!prima) return;
    if (const int e = prima(operazione, percorso); e != 0) {
        throw ErroreDaErrno(e, percorso, Oggetto::File,
                            std::string(operazione) + " (guasto di prova)");
    }
}

size_t FsGuasto::Leggi(int h, void* buf, size_t n) {
    Prima("read", Percorso(h));
    if (registraLetture) Registra("leggi:" + Percorso(h));
    return reale_.Leggi(h, buf, n);
}

size_t FsGuasto::LeggiDa(int h, uint64_t o, void* buf, size_t n) {
    Prima("pread", Percorso(h));
    if (registraLetture) Registra("leggi:" + Percorso(h));
    return reale_.LeggiDa(h, o, buf, n);
}

void FsGuasto::ScartaCache(int h) {
    if (registraLetture) Registra("scarta:" + Percorso(h));
    reale_.ScartaCache(h);
}

int FsGuasto::Apri(const std::string& percorso, ModoApertura modo) {
    Prima("open", percorso);
    std::unique_lock<std::recursive_mutex> l(mutex_);
    if (erroreApertura) {
        if (const int e = erroreApertura(percorso, modo); e != 0) {
            throw ErroreDaErrno(e, percorso, Oggetto::File, "open (guasto di prova)");
        }
    }
    l.unlock();
    const int h = reale_.Apri(percorso, modo);
    l.lock();
    percorsi_[h] = percorso;
    return h;
}

bool FsGuasto::ContaScrittura() {
    std::lock_guard<std::recursive_mutex> l(mutex_);
    return ++scritture == scritturaCheFallisce;
}

void FsGuasto::Registra(const std::string& voce) {
    std::lock_guard<std::recursive_mutex> l(mutex_);
    letture.push_back(voce);
}

int FsGuasto::ControllaScrittura(int h, size_t n) {
    std::lock_guard<std::recursive_mutex> l(mutex_);
    if (!erroreScrittura) return 0;
    const auto it = percorsi_.find(h);
    return it == percorsi_.end() ? 0 : erroreScrittura(it->second, n);
}

size_t FsGuasto::Scrivi(int h, const void* buf, size_t n) {
    Prima("write", Percorso(h));
    if (ContaScrittura()) {
        throw ErroreDaErrno(errnoScrittura, "", Oggetto::File, "write (guasto di prova)");
    }
    if (massimoPerScrittura != 0) n = std::min(n, massimoPerScrittura);
    if (const int e = ControllaScrittura(h, n); e != 0) {
        throw ErroreDaErrno(e, Percorso(h), Oggetto::File, "write (guasto di prova)");
    }
    return reale_.Scrivi(h, buf, n);
}

size_t FsGuasto::ScriviDa(int h, uint64_t o, const void* buf, size_t n) {
    Prima("pwrite", Percorso(h));
    if (ContaScrittura()) {
        throw ErroreDaErrno(errnoScrittura, "", Oggetto::File, "pwrite (guasto di prova)");
    }
    if (massimoPerScrittura != 0) n = std::min(n, massimoPerScrittura);
    if (const int e = ControllaScrittura(h, n); e != 0) {
        throw ErroreDaErrno(e, Percorso(h), Oggetto::File, "pwrite (guasto di prova)");
    }
    return reale_.ScriviDa(h, o, buf, n);
}

void FsGuasto::Sincronizza(int h) {
    Prima("fsync", Percorso(h));
    if (errnoSincronizza != 0) {
        throw ErroreDaErrno(errnoSincronizza, "", Oggetto::File, "fsync (guasto di prova)");
    }
    reale_.Sincronizza(h);
    std::lock_guard<std::recursive_mutex> l(mutex_);
    vociVuote_.erase(Percorso(h));
}

void FsGuasto::SincronizzaVoce(const std::string& p) {
    Prima("fsync-voce", p);
    reale_.SincronizzaVoce(p);
    std::lock_guard<std::recursive_mutex> l(mutex_);
    vociVuote_.erase(p);
}

void FsGuasto::TagliaCorrente() {
    std::lock_guard<std::recursive_mutex> l(mutex_);
    for (const std::string& p : vociVuote_) {
        std::error_code e;
        if (std::filesystem::is_regular_file(p, e)) std::filesystem::resize_file(p, 0, e);
    }
    vociVuote_.clear();
}

void FsGuasto::CreaCartella(const std::string& p) {
    Prima("mkdir", p);
    if (erroreCreaCartella) {
        if (const int e = erroreCreaCartella(p); e != 0) {
            throw ErroreDaErrno(e, p, Oggetto::Cartella, "mkdir (guasto di prova)");
        }
    }
    reale_.CreaCartella(p);
}

void FsGuasto::Rinomina(const std::string& da, const std::string& a) {
    Prima("rename", a);
    std::unique_lock<std::recursive_mutex> l(mutex_);
    if (errnoRinomina != 0)
        throw ErroreDaErrno(errnoRinomina, da, Oggetto::File, "rename (guasto di prova)");
    if (erroreRinomina) {
        if (const int e = erroreRinomina(da, a); e != 0) {
            throw ErroreDaErrno(e, da, Oggetto::File, "rename (guasto di prova)");
        }
    }
    l.unlock();
    reale_.Rinomina(da, a);
    l.lock();
    if (comeFat) {
        vociVuote_.erase(da);
        vociVuote_.insert(a);
    }
}

}  // namespace bv::test
