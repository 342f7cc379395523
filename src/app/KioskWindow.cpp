#include "app/KioskWindow.h"

namespace klik {

const char* kioskWindowName(KioskWindow w) {
    switch (w) {
        case KioskWindow::Touch:
            return "touch";
        case KioskWindow::Live:
            return "live";
        case KioskWindow::Overlay:
            return "overlay";
        case KioskWindow::Web:
            return "web";
        case KioskWindow::Preferences:
            return "preferences";
        case KioskWindow::Controller:
            return "controller";
    }
    return "?";
}

}  // namespace klik
