// Start of the window program: the one-copy check, translations, the window's life.
#pragma once

namespace bv {

// Runs the window program; returns the process's exit status.
int EseguiFinestra(int argc, char** argv);

}  // namespace bv
