// The recovery key ("chiave di ripristino") of encrypted sets: made by the program, never
// chosen by the user, as the format's key derivation is weak against guessing. 30 symbols of an
// alphabet of 32 (letters and digits without 0/O and 1/I, easy to copy), 150 random bits, shown
// in six groups of five: "ABCDE-FGHJK-...". That form, dashes included, is the archive's
// password, as typed into any AES ZIP reader.
#pragma once

#include <optional>
#include <string>

namespace bv::chiave {

inline constexpr const char* kAlfabeto = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";
inline constexpr size_t kSimboli = 30;
inline constexpr size_t kGruppo = 5;

// A new key from the system's random generator.
std::string Genera();
// The key a user typed or pasted, in its one form: spaces and dashes anywhere, any letter
// case; nothing when it is not 30 symbols of the alphabet.
std::optional<std::string> Normalizza(const std::string& testo);
// The text file the user keeps the key in, and the key read back from one (the first line that
// is a key); throws ChiaveNonValida for a file without one.
std::string TestoDelFile(const std::string& chiave);
std::string LeggiDaFile(const std::string& percorso);

}  // namespace bv::chiave
