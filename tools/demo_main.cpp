// bvbackup-demo: makes the demo environment (host, data folder, registry stand-in) in a folder.
#include <iostream>
#include <string>

#include "platform/errore.h"
#include "platform/percorsi.h"
#include "tools/dati_demo.h"

int main(int argc, char** argv) {
    using bv::strumenti::StatoDemo;
    std::string cartella;
    StatoDemo stato = StatoDemo::Completo;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--stato" && i + 1 < argc) {
            const std::string s = argv[++i];
            if (s == "completo") {
                stato = StatoDemo::Completo;
            } else if (s == "senza-dati") {
                stato = StatoDemo::SenzaDati;
            } else if (s == "non-installato") {
                stato = StatoDemo::NonInstallato;
            } else {
                std::cerr << "Stato sconosciuto: " << s << '\n';
                return 2;
            }
        } else if (cartella.empty() && !a.starts_with("-")) {
            cartella = a;
        } else {
            cartella.clear();
            break;
        }
    }
    if (cartella.empty() || !bv::UnitaValida(bv::UnitaDi(cartella))) {
        std::cerr << "Uso: bvbackup-demo CARTELLA_ASSOLUTA [--stato "
                     "completo|senza-dati|non-installato]\n";
        return 2;
    }
    try {
        const auto a = bv::strumenti::CreaAmbienteDemo(cartella, stato);
        std::cout << "Ambiente demo creato in " << cartella << "\n  registro: " << a.registro
                  << "\n  dati:     " << a.dati << "\n  backup:   " << a.destinazione << '\n';
        return 0;
    } catch (const bv::Errore& e) {
        std::cerr << "Errore " << e.Numero() << ": " << e.Descrizione() << '\n';
        return 1;
    }
}
