// The key's store on POSIX: a file of mode 0600 in the user's configuration folder (where the
// registry stand-in is), written under a temporary name created with that mode, so the key is
// never readable by others, not even for a moment.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/custodia_chiave.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/registro.h"

namespace bv {

std::string PercorsoCustodiaChiave() {
    return CartellaDi(PercorsoFileRegistro()) + "/chiave-ripristino";
}

std::string LeggiChiaveCustodita() {
    const int h = ::open(PercorsoCustodiaChiave().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (h < 0) return {};
    std::string testo;
    char buf[256];
    ssize_t r = 0;
    while ((r = ::read(h, buf, sizeof buf)) > 0 && testo.size() < 4096)
        testo.append(buf, static_cast<size_t>(r));
    ::close(h);
    while (!testo.empty() && (testo.back() == '\n' || testo.back() == '\r')) testo.pop_back();
    return testo;
}

void CustodisciChiave(const std::string& chiave) {
    const std::string percorso = PercorsoCustodiaChiave();
    const std::string cartella = CartellaDi(percorso);
    if (!Fs().Info(cartella).cartella) Fs().CreaCartella(cartella);
    const std::string temporaneo = percorso + ".tmp";
    ::unlink(temporaneo.c_str());
    const int h =
        ::open(temporaneo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (h < 0) throw ErroreDaErrno(errno, temporaneo, Oggetto::File, "open");
    const std::string testo = chiave + "\n";
    const bool scritto = ::write(h, testo.data(), testo.size()) == static_cast<ssize_t>(testo.size()) &&
                         ::fsync(h) == 0;
    const int errore = errno;
    ::close(h);
    if (!scritto || ::rename(temporaneo.c_str(), percorso.c_str()) != 0) {
        const int e = scritto ? errno : errore;
        ::unlink(temporaneo.c_str());
        throw ErroreDaErrno(e, percorso, Oggetto::File, "write");
    }
}

}  // namespace bv
