// The guest's QR code on the review screen: shown on screen 7 once the
// guest's own photo was filed with its upload copy and a gallery address is
// set (the photo module computes the link when it files); never for a photo
// that was not filed or for a late photo of an earlier guest; gone when the
// screen changes, and forgotten when screen 1 starts the next turn.

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"

namespace klik {

void AppController::noteShareLink(const PhotoArrival& arrival, const std::string& link) {
    // A late photo belongs to a guest who has gone.
    if (!arrival.currentTurn) return;
    if (arrival.request && arrival.request->id != _turnShot.request) return;
    _turnShareLink = link;
    if (!link.empty()) GLIMRA_Log::debug("share: the guest's link is " + link);
}

void AppController::showShareCode() {
    if (_turnShareLink.empty()) {
        _shareCodeView.hide();
        return;
    }
    const Settings& s = env_.settings;
    _shareCodeView.show(_turnShareLink,
                        wifiJoinCode(s.stringForKey(key::prefShareWifiName).value_or(""),
                                     s.stringForKey(key::prefShareWifiPassword).value_or("")));
}

void AppController::shareCodeForScreen(std::uint32_t screen) {
    if (screen == 7) return;  // the review decides (resolveReview)
    _shareCodeView.hide();
    if (screen == 1) _turnShareLink.clear();
}

}  // namespace klik
