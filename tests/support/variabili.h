// Environment variables a test sets for the program under test and removes again.
#pragma once

#include <string>

namespace bv::test {

void ImpostaVariabile(const std::string& nome, const std::string& valore);
void TogliVariabile(const std::string& nome);

// Whether the tests run as Windows executables (under Wine here): cases that need a POSIX
// feature skip there, saying which.
constexpr bool kSuWindows =
#ifdef _WIN32
    true;
#else
    false;
#endif

}  // namespace bv::test

// A case that holds only on POSIX (its paths, its registry stand-in file, its tools): skipped
// in the Windows build with the reason, where the Windows cases cover the same ground.
#define BV_SOLO_POSIX(motivo) \
    if (::bv::test::kSuWindows) GTEST_SKIP() << (motivo)
