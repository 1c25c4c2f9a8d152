// Faults on request, passed to the real file system otherwise.
#include "tests/support/fs_guasto.h"

#include <algorithm>

#include "platform/errore.h"

namespace bv::test {

void FsGuasto::Prima(const char* operazione, const std::string& percorso) {
    ++operazioni;
    if (!prima) return;
    if (const int e = prima(operazione, percorso); e != 0) {
        throw ErroreDaErrno(e, percorso, Oggetto::File,
                            std::string(operazione) + " (guasto di prova)");
    }
}

size_t FsGuasto::Leggi(int h, void* buf, size_t n) {
    Prima("read", percorsi_[h]);
    if (registraLetture) letture.push_back("leggi:" + percorsi_[h]);
    return reale_.Leggi(h, buf, n);
}

size_t FsGuasto::LeggiDa(int h, uint64_t o, void* buf, size_t n) {
    Prima("pread", percorsi_[h]);
    if (registraLetture) letture.push_back("leggi:" + percorsi_[h]);
    return reale_.LeggiDa(h, o, buf, n);
}

void FsGuasto::ScartaCache(int h) {
    if (registraLetture) letture.push_back("scarta:" + percorsi_[h]);
    reale_.ScartaCache(h);
}

int FsGuasto::Apri(const std::string& percorso, ModoApertura modo) {
    Prima("open", percorso);
    if (erroreApertura) {
        if (const int e = erroreApertura(percorso, modo); e != 0) {
            throw ErroreDaErrno(e, percorso, Oggetto::File, "open (guasto di prova)");
        }
    }
    const int h = reale_.Apri(percorso, modo);
    percorsi_[h] = percorso;
    return h;
}

int FsGuasto::ControllaScrittura(int h, size_t n) {
    if (!erroreScrittura) return 0;
    const auto it = percorsi_.find(h);
    return it == percorsi_.end() ? 0 : erroreScrittura(it->second, n);
}

size_t FsGuasto::Scrivi(int h, const void* buf, size_t n) {
    Prima("write", percorsi_[h]);
    ++scritture;
    if (scritture == scritturaCheFallisce) {
        throw ErroreDaErrno(errnoScrittura, "", Oggetto::File, "write (guasto di prova)");
    }
    if (massimoPerScrittura != 0) n = std::min(n, massimoPerScrittura);
    if (const int e = ControllaScrittura(h, n); e != 0) {
        throw ErroreDaErrno(e, percorsi_[h], Oggetto::File, "write (guasto di prova)");
    }
    return reale_.Scrivi(h, buf, n);
}

size_t FsGuasto::ScriviDa(int h, uint64_t o, const void* buf, size_t n) {
    Prima("pwrite", percorsi_[h]);
    ++scritture;
    if (scritture == scritturaCheFallisce) {
        throw ErroreDaErrno(errnoScrittura, "", Oggetto::File, "pwrite (guasto di prova)");
    }
    if (massimoPerScrittura != 0) n = std::min(n, massimoPerScrittura);
    if (const int e = ControllaScrittura(h, n); e != 0) {
        throw ErroreDaErrno(e, percorsi_[h], Oggetto::File, "pwrite (guasto di prova)");
    }
    return reale_.ScriviDa(h, o, buf, n);
}

void FsGuasto::Sincronizza(int h) {
    Prima("fsync", percorsi_[h]);
    if (errnoSincronizza != 0) {
        throw ErroreDaErrno(errnoSincronizza, "", Oggetto::File, "fsync (guasto di prova)");
    }
    reale_.Sincronizza(h);
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
    if (errnoRinomina != 0)
        throw ErroreDaErrno(errnoRinomina, da, Oggetto::File, "rename (guasto di prova)");
    if (erroreRinomina) {
        if (const int e = erroreRinomina(da, a); e != 0) {
            throw ErroreDaErrno(e, da, Oggetto::File, "rename (guasto di prova)");
        }
    }
    reale_.Rinomina(da, a);
}

}  // namespace bv::test
