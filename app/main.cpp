// bvbackup: the window program.
#include "app/avvio.h"

int main(int argc, char** argv) {
    return bv::EseguiFinestra(argc, argv);
}
