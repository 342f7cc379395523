// klik-kiosk: the photo-booth kiosk.
#include "ui/kiosk/KioskProgram.h"

int main(int argc, char** argv) {
    return klik::runKiosk(argc, argv);
}
