// bvbackup: the window program; with --pianificato the scheduled backup, with no window.
#include <string>
#include <vector>

#include "app/avvio_finestra.h"
#include "operazioni/backup_pianificato.h"
#include "platform/console.h"
#include "platform/programma.h"

int main(int argc, char** argv) {
    const std::vector<std::string> argomenti = bv::ArgomentiProgramma(argc, argv);
    if (!argomenti.empty() && argomenti[0] == bv::kArgomentoPianificato) {
        bv::ImpostaNomeProgramma("bvbackup");
        return bv::EseguiBackupPianificato({argomenti.begin() + 1, argomenti.end()});
    }
    return bv::EseguiFinestra(argc, argv);
}
