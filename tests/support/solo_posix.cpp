// The Windows build leaves out the test files that stand on POSIX features; each is listed
// here as a skipped case with its reason, so the report says what did not run and why.
#include <gtest/gtest.h>

namespace {

struct FileSoloPosix {
    const char* file;
    const char* motivo;
};

class SoloPosix : public ::testing::TestWithParam<FileSoloPosix> {};

TEST_P(SoloPosix, NonEseguitoSuWindows) {
    GTEST_SKIP() << GetParam().file << ": " << GetParam().motivo;
}

INSTANTIATE_TEST_SUITE_P(
    File, SoloPosix,
    ::testing::Values(
        FileSoloPosix{"platform/test_file_aperto.cpp",
                      "leases e processi con fork(); su Windows: tests/windows (apertura esclusiva)"},
        FileSoloPosix{"operazioni/test_guasti.cpp",
                      "un processo figlio (fork) ucciso a ogni operazione sui file"},
        FileSoloPosix{"operazioni/test_recupero.cpp",
                      "giornali e residui scritti con percorsi POSIX, collegamenti simbolici"},
        FileSoloPosix{"cli/test_e2e.cpp",
                      "tmpfs montati e terminali simulati; su Windows: tests/windows/e2e.sh"}),
    [](const auto& info) {
        std::string n = info.param.file;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

}  // namespace
