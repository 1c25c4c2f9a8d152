// The per-user settings store: text values addressed by application, section and key,
// key names matched without regard to letter case.
#pragma once

#include <string>

namespace bv {

// The value, or `predefinito` when it is absent or the store cannot be read.
std::string LeggiImpostazione(const std::string& applicazione, const std::string& sezione,
                              const std::string& chiave, const std::string& predefinito = {});

// Writes the value; throws Errore when the store cannot be written.
void SalvaImpostazione(const std::string& applicazione, const std::string& sezione,
                       const std::string& chiave, const std::string& valore);

}  // namespace bv
