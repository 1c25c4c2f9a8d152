// A registry export file (".reg", format version 5.00) read and edited in place: the
// stand-in for the registry where there is no registry. Edits change only their own value
// and keep every other line, comment and key as they were.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bv {

struct ValoreReg {
    enum class Tipo { Testo, TestoEspandibile, Altro };
    Tipo tipo = Tipo::Testo;
    std::string testo;  // only for Tipo::Testo
};

class DocumentoReg {
  public:
    // An empty document with the format's header line.
    DocumentoReg();
    // Reads UTF-8 (with or without BOM) or UTF-16LE with BOM, CR LF or LF line ends.
    // Lines it cannot understand are skipped on read and kept on write.
    static DocumentoReg Analizza(std::string_view contenuto);

    // Key paths ("HKEY_CURRENT_USER\Software\...", HKCU and HKLM accepted) and value names
    // ("" = the key's default value) match without regard to letter case, as the registry
    // does. Where a value stands more than once the last one wins, as on import.
    std::optional<ValoreReg> Leggi(std::string_view chiave, std::string_view nome) const;
    // Sets a text value, creating the key when missing.
    void Imposta(std::string_view chiave, std::string_view nome, std::string_view testo);

    // Every text value in file order (a later one of the same key and name wins, as on import):
    // what an import into a real registry writes.
    struct ValoreTesto {
        std::string chiave;  // the full key path, root spelled out
        std::string nome;    // "" = the key's default value
        std::string testo;
    };
    std::vector<ValoreTesto> ValoriTesto() const;

    // The file's bytes, in the encoding and line ends it was read with.
    std::string Contenuto() const;

  private:
    struct Voce;
    std::vector<Voce> Voci() const;

    std::vector<std::string> righe_;
    std::string fineRiga_ = "\r\n";
    bool utf16_ = false;
    bool bom_ = false;
};

}  // namespace bv
