#include "app/OverlayScreen.h"

namespace klik {

const char* overlayInterfaceName(OverlayScreen s) {
    switch (s) {
        case OverlayScreen::Legalese:
            return "LegaleseView";
        case OverlayScreen::PleaseWait:
            return "PleaseWaitView";
        case OverlayScreen::ConfirmCancel:
            return "ConfirmCancelView";
        case OverlayScreen::ConfirmEmailEntry:
            return "ConfirmEmailEntry";
    }
    return "?";
}

}  // namespace klik
