// Runs a fuzz target over the files of its corpus, as a test of the normal build: every input
// that was ever found interesting keeps being checked, without the fuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t n);

int main(int argc, char** argv) {
    int eseguiti = 0;
    const auto esegui = [&eseguiti](const std::filesystem::path& p) {
        std::ifstream f(p, std::ios::binary);
        const std::vector<char> d((std::istreambuf_iterator<char>(f)),
                                  std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(d.data()), d.size());
        ++eseguiti;
    };
    for (int i = 1; i < argc; ++i) {
        if (!std::filesystem::is_directory(argv[i])) {
            esegui(argv[i]);
            continue;
        }
        for (const auto& e : std::filesystem::recursive_directory_iterator(argv[i]))
            if (e.is_regular_file()) esegui(e.path());
    }
    std::printf("%d input eseguiti\n", eseguiti);
    return eseguiti > 0 ? 0 : 1;
}
