#pragma once
// The kiosk's windows as the controller names them. Which physical window
// stands for one (the normal or the full-screen one) is ui/'s business.

namespace klik {

enum class KioskWindow {
    Touch,        // the guest's touch side (touch picture, entry field, keyboard, go button)
    Live,         // the live side (live preview, live pictures); holds the current input view
    Overlay,      // lies over the live view; its content view is `_overlayContentView`
    Web,          // the kiosk web page
    Preferences,  // the operator's preferences window
    Controller,   // the controller's own window of the main interface file
};

// "touch", "live", ... for log lines and printouts.
const char* kioskWindowName(KioskWindow w);

}  // namespace klik
