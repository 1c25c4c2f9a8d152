// Start of the window program: the one-copy check, translations, the window's life.
#pragma once

namespace bv {

// Runs the window program; returns the process's exit status.
int EseguiFinestra(int argc, char** argv);

// Installs Qt's Italian texts for the standard buttons (Sì, No, Riprova, Annulla), whatever
// the user's locale; false when the translation is not installed.
bool CaricaTraduzioni();

}  // namespace bv
