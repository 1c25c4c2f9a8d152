// The version of a file on POSIX: read from its version resource by the portable PE reader.
#include "platform/filesystem.h"
#include "platform/versione_pe.h"

namespace bv {

std::optional<VersionePe> LeggiVersioneFile(const std::string& percorso) {
    const InfoFile info = Fs().Info(percorso);
    if (!info.file) return std::nullopt;
    File f(percorso, ModoApertura::Lettura);
    const LettoreByte leggi = [&f](uint64_t off, void* dst, size_t n) {
        return f.LeggiDa(off, dst, n) == n;
    };
    return VersioneDaImmagine(f.Dimensione(), leggi);
}

}  // namespace bv
