// The running program: its folder and its name.
#pragma once

#include <string>

namespace bv {

// The full path of the running executable ("" when the system does not tell).
std::string PercorsoEseguibile();
// The folder of the running executable, without a final separator (unless it is the root).
std::string CartellaProgramma();
// The executable's name without extension, or the name a front end gave the program.
std::string NomeProgramma();
// Gives the program a name of its own: the command line calls itself like the window, so that
// both write to the same log.
void ImpostaNomeProgramma(const std::string& nome);
// The running process's number, for names of temporary files no other copy will choose.
long IdProcesso();

// Whether standard input, and standard error, are a terminal a person sits at.
bool IngressoDaTerminale();
bool ErroriSuTerminale();

// Makes another folder count as the program's folder ("" goes back to the real one): the
// tests run the program's start-up in folders of their own.
void ImpostaCartellaProgramma(const std::string& cartella);

}  // namespace bv
