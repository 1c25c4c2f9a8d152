// Fuzz target: the registry stand-in's reader. Any file is read without crashing, and a value
// written into it is read back as written, with every other value kept.
#include <string_view>

#include "fuzz/comune.h"
#include "platform/file_reg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n) {
    using namespace bv;
    const std::string_view testo(reinterpret_cast<const char*>(dati), n);
    DocumentoReg doc = DocumentoReg::Analizza(testo);
    const char* chiave = "HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati";
    const auto prima = doc.Leggi(chiave, "Path");
    const char* nostra =
        "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\KO_BVBackup\\Backup";
    const std::string valore = "/media/disco \"A\"\\\n\t/";
    doc.Imposta(nostra, "Dest", valore);
    const DocumentoReg riletto = DocumentoReg::Analizza(doc.Contenuto());
    const auto dest = riletto.Leggi(nostra, "Dest");
    if (!dest || dest->tipo != ValoreReg::Tipo::Testo || dest->testo != valore)
        fuzz::Viola("il valore scritto non si rilegge uguale");
    const auto dopo = riletto.Leggi(chiave, "Path");
    if (prima.has_value() != dopo.has_value() ||
        (prima && (prima->tipo != dopo->tipo || prima->testo != dopo->testo)))
        fuzz::Viola("un altro valore e' cambiato");
    return 0;
}
