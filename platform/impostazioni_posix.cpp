// Settings on POSIX: kept in the registry stand-in file under the key where the Windows
// settings functions keep them, so both read the very same values.
#include "platform/errore.h"
#include "platform/file_reg.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/registro.h"

namespace bv {

namespace {

std::string Chiave(const std::string& applicazione, const std::string& sezione) {
    return "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\" + applicazione + "\\" +
           sezione;
}

// Creates the missing folders of the file's path.
void CreaCartelle(const std::string& cartella) {
    if (cartella.empty() || Fs().Info(cartella).cartella) return;
    CreaCartelle(CartellaDi(cartella));
    if (!Fs().Info(cartella).cartella) Fs().CreaCartella(cartella);
}

}  // namespace

std::string LeggiImpostazione(const std::string& applicazione, const std::string& sezione,
                              const std::string& chiave, const std::string& predefinito) {
    try {
        const auto doc = DocumentoReg::Analizza(LeggiFileTesto(PercorsoFileRegistro()));
        const auto v = doc.Leggi(Chiave(applicazione, sezione), chiave);
        if (!v || v->tipo != ValoreReg::Tipo::Testo) return predefinito;
        return v->testo;
    } catch (...) {
        return predefinito;
    }
}

void SalvaImpostazione(const std::string& applicazione, const std::string& sezione,
                       const std::string& chiave, const std::string& valore) {
    // A link to the file is followed: its target is what the user keeps.
    std::string percorso = PercorsoFileRegistro();
    if (const std::string reale = PercorsoCanonico(percorso); !reale.empty()) percorso = reale;
    DocumentoReg doc;
    if (Fs().Info(percorso).esiste) {
        doc = DocumentoReg::Analizza(LeggiFileTesto(percorso));
    } else {
        CreaCartelle(CartellaDi(percorso));
    }
    doc.Imposta(Chiave(applicazione, sezione), chiave, valore);
    const std::string contenuto = doc.Contenuto();
    // The new file keeps the old one's permissions (a private file stays private).
    const InfoFile prima = Fs().Info(percorso);
    ScriviFileAtomico(percorso, contenuto.data(), contenuto.size(),
                      prima.esiste ? std::optional<uint32_t>(prima.permessi) : std::nullopt);
}

}  // namespace bv
