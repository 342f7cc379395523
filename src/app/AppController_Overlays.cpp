// The overlay screens run over the touch window (legal text, please wait,
// cancel confirmation), the prompt movie's start and stop, and the
// text-field updates that may come from any thread.

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/ConsoleLog.h"
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

void AppController::ibUpdateNSTextFieldWithString(View& field, const std::string& text, bool doWait,
                                                  std::optional<Colour> color) {
    const Colour c = color.value_or(Colour::black());
    std::weak_ptr<bool> alive = alive_;
    View* f = &field;
    // Colour first, then the text, as two steps on the main thread; the
    // view's revision makes the renderer redraw it. A request that arrives
    // after the controller is gone is dropped.
    env_.runLoop.performOnMain(
        [alive, f, c] {
            if (alive.lock()) f->setTextColor(c);
        },
        doWait);
    env_.runLoop.performOnMain(
        [alive, f, text] {
            if (alive.lock()) f->setStringValue(text);
        },
        doWait);
}

void AppController::ibUpdateNSTextFieldWithString(View& field, const std::string& text, bool doWait,
                                                  bool isError) {
    ibUpdateNSTextFieldWithString(field, text, doWait,
                                  isError ? Colour{1, 0, 0, 1} : Colour::black());
}

void AppController::ibUpdateNSTextFieldOld(View* field, const std::string& text, bool doWait,
                                           bool isError) {
    if (!field) {
        consoleLog(
            "Inside AppController => ibUpdateNSTextFieldOld:withString:doWait:isError:... "
            "NIL NSTextField....");
        return;
    }
    ibUpdateNSTextFieldWithString(*field, text, doWait, isError);
}

}  // namespace klik
