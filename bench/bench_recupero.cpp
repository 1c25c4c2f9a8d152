// Speed of the recovery files: the region loop dst ^= c * src in each form this processor
// has, and the one-pass writer over a set with 10 % recovery data (one and two threads).
//   build/bin/bench_recupero [megabyte, default 96]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "recupero/gf16.h"
#include "recupero/scrittore.h"

using namespace bv::recupero;
using Orologio = std::chrono::steady_clock;

static double Secondi(Orologio::time_point da) {
    return std::chrono::duration<double>(Orologio::now() - da).count();
}

int main(int argc, char** argv) {
    const size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 96;
    std::mt19937 rng(1);
    std::vector<uint8_t> src(256 << 10), dst(256 << 10);
    for (auto& b : src) b = static_cast<uint8_t>(rng());
    for (const gf16::Variante v : gf16::VariantiDisponibili()) {
        size_t fatti = 0;
        const auto t0 = Orologio::now();
        while (Secondi(t0) < 1.0) {
            for (int i = 0; i < 64; ++i)
                gf16::MoltiplicaAccumula(v, static_cast<uint16_t>(0x1234 + i), src.data() + 1, dst.data(),
                                         src.size() - 2);
            fatti += 64 * (src.size() - 2);
        }
        std::printf("regione %-6s %9.0f MB/s\n", gf16::NomeVariante(v), fatti / Secondi(t0) / 1e6);
    }

    const uint64_t fetta = 256 << 10;
    const size_t blocco = 16 << 20;  // the set's blocks of 16 MB
    const uint64_t totale = uint64_t{mb} << 20;
    const auto recupero = static_cast<uint32_t>((totale / fetta + 9) / 10);
    std::vector<uint8_t> dati(1 << 20);
    for (auto& b : dati) b = static_cast<uint8_t>(rng());
    const std::filesystem::path cartella = std::filesystem::temp_directory_path() / "bench_recupero";
    std::filesystem::create_directories(cartella);
    for (const bool parallelo : {false, true}) {
        ScrittoreRecupero s(fetta, recupero);
        s.InParallelo(parallelo);
        const auto t0 = Orologio::now();
        for (uint64_t fatti = 0, n = 0; fatti < totale; ++n) {
            s.IniziaFile("BV20261209#" + std::to_string(n));
            for (size_t b = 0; b < blocco && fatti < totale; b += dati.size(), fatti += dati.size())
                s.Aggiungi(dati.data(), dati.size());
            s.FineFile();
        }
        const double calcolo = Secondi(t0);
        s.Scrivi(cartella.string(), "set", 4);
        std::printf("scrittore %zu MB, %u fette di recupero da %llu KiB, %d thread: calcolo %.2f s "
                    "(%.0f MB/s), con la scrittura %.2f s\n",
                    mb, recupero, static_cast<unsigned long long>(fetta >> 10), parallelo ? 2 : 1, calcolo,
                    totale / calcolo / 1e6, Secondi(t0));
    }
    std::filesystem::remove_all(cartella);
}
