// Cost of building the backup's archive in one session: 1,000 files of 100 KB against one file
// of the same 100 MB. The appender keeps the first within a small factor of the second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/zippo.h"
#include "tools/dati_demo.h"

namespace {

// One file in a session of its own, as a backup of a single database makes its archive.
int Aggiungi(const std::string& file, const std::string& archivio) {
    bv::SessioneZip s(archivio);
    if (const int r = s.Comprimi(file); r != 0) return r;
    return s.Chiudi();
}

constexpr uint64_t kTotale = 100ULL << 20;

std::string Cartella() {
    static const std::string c = [] {
        std::string m = (std::filesystem::temp_directory_path() / "bvbench-XXXXXX").string();
        if (::mkdtemp(m.data()) == nullptr) std::abort();
        bv::strumenti::GeneraDatabase(m + "/grande.mdb", kTotale, 1);
        std::filesystem::create_directories(m + "/piccoli");
        for (int i = 0; i < 1000; ++i) {
            bv::strumenti::GeneraDatabase(m + "/piccoli/f" + std::to_string(i), kTotale / 1000,
                                          100 + i);
        }
        std::atexit([] { std::filesystem::remove_all(Cartella()); });
        return m;
    }();
    return c;
}

void BM_ComprimiUnFile(benchmark::State& stato) {
    const std::string c = Cartella();
    for (auto _ : stato) {
        std::filesystem::remove(c + "/a.zip");
        if (Aggiungi(c + "/grande.mdb", c + "/a.zip") != 0) stato.SkipWithError("Comprimi");
    }
    stato.SetBytesProcessed(static_cast<int64_t>(stato.iterations() * kTotale));
}

void BM_ComprimiMilleFile(benchmark::State& stato) {
    const std::string c = Cartella();
    for (auto _ : stato) {
        std::filesystem::remove(c + "/a.zip");
        bv::SessioneZip s(c + "/a.zip");
        int r = 0;
        for (int i = 0; i < 1000 && r == 0; ++i)
            r = s.Comprimi(c + "/piccoli/f" + std::to_string(i));
        if (r != 0 || s.Chiudi() != 0) stato.SkipWithError("Comprimi");
    }
    stato.SetBytesProcessed(static_cast<int64_t>(stato.iterations() * kTotale));
}

void BM_Estrai(benchmark::State& stato) {
    const std::string c = Cartella();
    std::filesystem::remove(c + "/e.zip");
    Aggiungi(c + "/grande.mdb", c + "/e.zip");
    for (auto _ : stato) {
        if (bv::Estrai(c + "/e.zip", c + "/estratti") != 0) stato.SkipWithError("Estrai");
    }
    stato.SetBytesProcessed(static_cast<int64_t>(stato.iterations() * kTotale));
}

}  // namespace

BENCHMARK(BM_ComprimiUnFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ComprimiMilleFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Estrai)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
