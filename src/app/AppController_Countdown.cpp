// The one-second screen timer that drives the timed screens, and the
// countdown numbers it refreshes on every tick.

#include <chrono>
#include <cmath>
#include <limits>

#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"

namespace klik {

namespace {

// Whole seconds of `delay`, truncated towards zero. Negative and NaN delays
// count 0 (the screen then moves on at the first tick); delays beyond 32
// bits count the largest 32-bit number.
std::uint32_t wholeSeconds(double delay) {
    if (!(delay > 0)) return 0;
    if (delay >= static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(delay);
}

}  // namespace

void AppController::startTimerWithExpirationDelay(double delay) {
    GLIMRA_Log::debugf("%s countdown = %u (delay = %f)",
                       "AppController::startTimerWithExpirationDelay", _countdown, delay);
    if (_screenTimer) {
        if (_screenTimer->isValid()) _screenTimer->invalidate();
        _screenTimer.reset();
    }
    _countdown = wholeSeconds(delay);
    const double span = std::isfinite(delay) ? delay : 0.0;
    const Date expiration =
        env_.runLoop.now() + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                 std::chrono::duration<double>(span));
    _screenTimer = env_.runLoop.scheduleTimer(
        1.0, true, [this](Timer& t) { timerDidFire(t); },
        Dictionary{{"expirationDate", expiration}});
}

void AppController::timerDidFire(Timer& timer) {
    GLIMRA_Log::debugf("%s countdown = %u", "AppController::timerDidFire", _countdown);
    if (_countdown > 0) {
        --_countdown;
        countdown();
    }
    if (_countdown == 0) {
        timer.invalidate();
        nextScreen();
    }
}

void AppController::countdown() {
    const Settings& s = env_.settings;
    // Single-monitor mode: the numbers belong to the live-side countdown.
    if (!s.boolForKey(key::prefDoCountdownInSngleMonitorMode)) return;
    const std::uint32_t c = _countdown;
    switch (_screenNumber) {
        case 3:
            _touchCountdownField.setHidden(s.boolForKey(key::prefHideTouchCountdown));
            _touchCountdownField.setUnsignedValue(c);
            // The touch count would be spoken here; the kiosk has no voice.
            break;
        case 4:
            setLiveCountdownTextWhite();
            showLiveCountdown();
            _liveCountdownField1.setUnsignedValue(c);
            _liveCountdownField2.setUnsignedValue(c);
            break;
        case 5:
            // Recording: field 1 appears from the warning second on.
            _countdownOverlay.setUnsignedValue(c);
            if (c == readEndOfRecordingWarning(s)) {
                setLiveCountdownTextWhite();
                showLiveCountdown();
            }
            _liveCountdownField1.setUnsignedValue(c);
            _liveCountdownField2.setUnsignedValue(c);
            break;
        case 6:
        case 7:
            setLiveCountdownTextWhite();
            _countdownOverlay.setUnsignedValue(c);
            _liveCountdownField1.setUnsignedValue(c);
            _liveCountdownField2.setUnsignedValue(c);
            break;
        default:
            _touchCountdownField.setHidden(true);
            _liveCountdownField1.setHidden(true);
            _liveCountdownField2.setHidden(gDoHideLiveCountdownField2);
            _liveCountdownField2.setUnsignedValue(_screenNumber);
            _countdownOverlay.setUnsignedValue(c);
            _liveCountdownField1.setUnsignedValue(c);
            _liveCountdownField2.setUnsignedValue(c);
            break;
    }
}

}  // namespace klik
