// span_memoria: splits an archive of the given size into a folder, or rebuilds it, so that
// /usr/bin/time -v can measure the peak memory of each step on its own.
//   span_memoria span CARTELLA MB     writes CARTELLA/archivio.zip of MB megabytes and splits it
//   span_memoria ricostruisci CARTELLA rebuilds the set into CARTELLA/ricostruito.zip
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/errore.h"
#include "span/clsspan.h"
#include "tools/dati_demo.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "uso: span_memoria span|ricostruisci CARTELLA [MB]\n";
        return 2;
    }
    const std::string modo = argv[1];
    const std::string cartella = argv[2];
    try {
        bv::ClsSpan s;
        if (modo == "span") {
            const uint64_t mb = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 256;
            std::filesystem::create_directories(cartella + "/set");
            bv::strumenti::GeneraBinario(cartella + "/archivio.zip", mb << 20, 1);
            s.filename(cartella + "/archivio.zip");
            s.CaricaMemoria();
            std::filesystem::remove(cartella + "/archivio.zip");
            s.Span(cartella + "/set", "BV20240101");
        } else {
            s.Ricostruisci(cartella + "/set", "BV20240101", cartella + "/ricostruito.zip", false);
        }
        std::cout << modo << ": " << s.dimensione() << " byte\n";
        return 0;
    } catch (const bv::Errore& e) {
        std::cerr << "Errore " << e.Numero() << ": " << e.Descrizione() << '\n';
        return 1;
    }
}
