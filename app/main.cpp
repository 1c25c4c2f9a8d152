// bvbackup: the window program.
#include "app/avvio_finestra.h"

int main(int argc, char** argv) {
    return bv::EseguiFinestra(argc, argv);
}
