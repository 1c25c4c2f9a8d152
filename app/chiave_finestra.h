// The window's dialogues about the recovery key, through the interaction: its set-up the first
// time "Cifra il backup" is chosen, and the key asked for a set the kept one does not open.
#pragma once

#include <string>

#include "util/interazione.h"

namespace bv {

// A new key shown to the user, offered to be saved as a text file, and typed back once; the
// key when all of it was done, "" when the user gave up.
std::string ImpostaNuovaChiave(Interazione& i);
// A key typed by the user for a set the key kept does not open; "" when they cancel.
std::string ChiediChiaveDelSet(Interazione& i);

}  // namespace bv
