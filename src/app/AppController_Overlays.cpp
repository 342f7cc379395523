// The overlay screens run over the touch window (legal text, please wait,
// cancel confirmation) and the prompt movie's start and stop.

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"

namespace klik {

namespace {

// Runs `screen` modally; a missing interface file or view never blocks the
// flow: it counts as accepted.
bool runOverlay(OverlayScreensPort* overlays, OverlayScreen screen) {
    std::optional<int> result;
    if (overlays) result = overlays->runModal(screen);
    if (!result) {
        GLIMRA_Log::debugf("2010-11-14orlo - _legaleseViewController is [%s]...",
                           overlays ? overlayInterfaceName(screen) : "(null)");
        GLIMRA_Log::debugf("2010-11-14orlo - [_legaleseViewController view] is [%s]...", "(null)");
        return true;
    }
    if (*result == kOverlayGoOn) {
        GLIMRA_Log::debugf("2010-11-14orlo Got Back status = [%i]", *result);
        return true;
    }
    return false;
}

}  // namespace

bool AppController::doDisplayLegalese() {
    if (!_keyboard.isHidden()) return true;
    return runOverlay(_overlayScreens, OverlayScreen::Legalese);
}

bool AppController::doDisplayPleaseWait() {
    if (!env_.settings.boolForKey(key::prefShowPauseBeforeCountdown)) return true;
    return runOverlay(_overlayScreens, OverlayScreen::PleaseWait);
}

bool AppController::doDisplayConfirmCancel() {
    if (_keyboard.isHidden()) return true;
    return runOverlay(_overlayScreens, OverlayScreen::ConfirmCancel);
}

void AppController::startMovie() {
    env_.center.post(kUpdateAnimationMovieNotification);
}

void AppController::stopMovie() {
    env_.center.post(kStopMovieNotification);
}

}  // namespace klik
