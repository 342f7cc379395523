// klik-kiosk: the photo-booth kiosk.
#include "foundation/MallocTuning.h"
#include "ui/kiosk/KioskProgram.h"

int main(int argc, char** argv) {
    // Days of camera photos must not leave their pages in malloc's arenas.
    klik::keepLargeBuffersInMappingsOfTheirOwn();
    return klik::runKiosk(argc, argv);
}
