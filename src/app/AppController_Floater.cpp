// The alert HUD: a short message floating in front of everything (camera
// events, a refused barcode, printing), hidden again after its display time.

#include "app/AppController.h"
#include "log/Log.h"

namespace klik {

namespace {
// The fade of the panel once its display time is up.
constexpr double kFloaterFadeSeconds = 1.0;
}  // namespace

void AppController::floatingAlertWithString(const std::optional<std::string>& text) {
    env_.ui.showFloatingPanel(text ? *text : std::string("NIL ALERT!!"), 1.0);
    if (_floaterDisplayTime == 0) return;
    if (_floaterTimer && _floaterTimer->isValid()) {
        // A message while one shows keeps the panel up for the full time
        // again (the timer starts over); the guest already heard the beep.
        _floaterTimer->invalidate();
    } else {
        env_.ui.beep();
    }
    _floaterTimer = env_.runLoop.scheduleTimer(_floaterDisplayTime, false,
                                               [this](Timer& t) { noMoreFloater(t); });
}

void AppController::noMoreFloater(Timer& timer) {
    timer.invalidate();
    if (_floaterTimer.get() == &timer) _floaterTimer.reset();
    env_.ui.fadeOutFloatingPanel(kFloaterFadeSeconds);
}

bool AppController::windowShouldCancelFadeAway() const {
    return _floaterTimer != nullptr;
}

}  // namespace klik
