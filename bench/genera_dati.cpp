// genera_dati: a data folder of database-like files with companion folders, deterministic
// from a seed, for the benchmarks.
//   genera_dati CARTELLA [--db-mb N] [--db-n K] [--compagni-n C] [--compagni-kb S]
//               [--compagni-tipo db|misto] [--seme X]
// K databases sharing N MB (at least one 4 KB page each), each with a companion folder of C
// files of S KB: database-like pages ("db"), or scanned-document-like noise with a small text
// file every fourth ("misto").
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/errore.h"
#include "tools/dati_demo.h"

int main(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        std::cerr << "uso: genera_dati CARTELLA [--db-mb N] [--db-n K] [--compagni-n C] "
                     "[--compagni-kb S] "
                     "[--compagni-tipo db|misto] [--seme X]\n";
        return 2;
    }
    const std::string cartella = argv[1];
    double dbMb = 10;
    int dbN = 3;
    int compagniN = 4;
    double compagniKb = 100;
    std::string tipo = "misto";
    uint64_t seme = 1;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string o = argv[i];
        const char* v = argv[i + 1];
        if (o == "--db-mb")
            dbMb = std::atof(v);
        else if (o == "--db-n")
            dbN = std::atoi(v);
        else if (o == "--compagni-n")
            compagniN = std::atoi(v);
        else if (o == "--compagni-kb")
            compagniKb = std::atof(v);
        else if (o == "--compagni-tipo")
            tipo = v;
        else if (o == "--seme")
            seme = std::strtoull(v, nullptr, 10);
        else {
            std::cerr << "opzione sconosciuta: " << o << '\n';
            return 2;
        }
    }
    try {
        std::filesystem::create_directories(cartella);
        const uint64_t perDb = std::max<uint64_t>(
            4096, static_cast<uint64_t>(dbMb * 1048576.0 / std::max(1, dbN)) / 4096 * 4096);
        const uint64_t perCompagno = static_cast<uint64_t>(compagniKb * 1024.0);
        for (int d = 0; d < dbN; ++d) {
            const std::string nome = "archivio" + std::to_string(d);
            bv::strumenti::GeneraDatabase(cartella + "/" + nome + ".mdb", perDb,
                                          seme * 1000 + static_cast<uint64_t>(d));
            const std::string c = cartella + "/" + nome;
            std::filesystem::create_directories(c);
            for (int f = 0; f < compagniN; ++f) {
                const uint64_t s =
                    seme * 1000003 + static_cast<uint64_t>(d) * 10007 + static_cast<uint64_t>(f);
                if (tipo == "db") {
                    bv::strumenti::GeneraDatabase(c + "/doc" + std::to_string(f) + ".dat",
                                                  perCompagno, s);
                } else if (f % 4 == 3) {
                    bv::strumenti::GeneraTesto(c + "/nota" + std::to_string(f) + ".txt",
                                               std::min<uint64_t>(perCompagno, 8192), s);
                } else {
                    bv::strumenti::GeneraBinario(c + "/scansione" + std::to_string(f) + ".jpg",
                                                 perCompagno, s);
                }
            }
        }
        return 0;
    } catch (const bv::Errore& e) {
        std::cerr << "Errore " << e.Numero() << ": " << e.Descrizione() << '\n';
        return 1;
    }
}
