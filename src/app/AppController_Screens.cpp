// The screen sequence: one guest's turn from screen 1 (idle and entry)
// through the touch countdown, the live countdown, the capture lead-in, the
// capture and the review back to screen 1.

#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"

namespace klik {

namespace {

// Seconds the capture screen waits for the camera's photo.
constexpr double kShotTimeout = 5;

// Keeps the screen from drawing while a screen's entry actions run, on
// every way out of them.
class ScreenUpdatesDisabled {
  public:
    explicit ScreenUpdatesDisabled(KioskUi& ui) : ui_(ui) { ui_.disableScreenUpdates(); }
    ~ScreenUpdatesDisabled() { ui_.enableScreenUpdates(); }
    ScreenUpdatesDisabled(const ScreenUpdatesDisabled&) = delete;
    ScreenUpdatesDisabled& operator=(const ScreenUpdatesDisabled&) = delete;

  private:
    KioskUi& ui_;
};

}  // namespace

void AppController::nextScreen() {
    if (_screenNumber == 2 && !cameraReadyForTurn()) {
        // The countdown would run against a black preview and end in no
        // photo: the turn goes back to screen 1 instead.
        refuseTurnWithoutCamera("nextScreen");
        startOver();
        return;
    }
    const Settings& s = env_.settings;
    std::uint32_t touchCount = readTouchScreenCount(s);
    const std::uint32_t delayScreen2 = readSecondsCount(s, key::prefDelayScreen2);
    const std::uint32_t confettiDelay = readSecondsCount(s, key::prefConfettiDelay);
    const std::uint32_t liveCount = readSecondsCount(s, key::liveScreenCountValue);
    // Single-monitor mode is always in force: the touch side shows no count
    // of its own and the touch countdown is a one-second step.
    _touchCountdownField.setHidden(true);
    touchCount = 1;

    if (_screenNumber == 6 && moreShotsToTake()) {
        // The next shot of the turn: back to the live countdown.
        beginNextShot();
        _screenNumber = 3;
    }
    // Unsigned on purpose: a take-again on screen 1 leaves the number at 0.
    ++_screenNumber;
    if (_screenNumber > 7) {
        _screenNumber = 1;
        if (s.boolForKey(key::prefDoUseWebView)) endPhotoSession();
        env_.ui.orderFront(KioskWindow::Touch);
    }
    const std::uint32_t screen = _screenNumber;
    GLIMRA_Log::debugf("nextScreen: entering screen %u", screen);
    shareCodeForScreen(screen);

    const PicturePtr touchPicture = imageNamed(stringWithFormat("touch%u", screen));
    const PicturePtr livePicture = imageNamed(stringWithFormat("live%u", screen));

    ScreenUpdatesDisabled batch(env_.ui);
    if (touchPicture) _touchView.setImage(touchPicture);
    if (livePicture) {
        _liveView.setImage(livePicture);
        _overlayContentView.setImage(livePicture);
    }
    if (!_overlayContentView.isAncestorOf(_liveCountdownField1)) {
        _overlayContentView.addSubview(_liveCountdownField1);
        _liveCountdownField1.setTextColor(Colour::white());
    }
    env_.ui.screenDidChange(screen);

    switch (screen) {
        case 1:
            enterScreen1();
            break;
        case 2:
            enterScreen2(touchPicture != nullptr, delayScreen2);
            break;
        case 3:
            enterScreen3(touchCount, liveCount);
            break;
        case 4:
            enterScreen4(liveCount);
            break;
        case 5:
            enterScreen5(confettiDelay);
            break;
        case 6:
            enterScreen6();
            break;
        case 7:
            enterScreen7();
            break;
        default:
            enterOutOfRangeScreen();
            break;
    }
}

void AppController::enterScreen1() {
    if (_screenTimer) {
        if (_screenTimer->isValid()) _screenTimer->invalidate();
        _screenTimer.reset();
    }
    _barcodeEntryField1.setStringValue("");
    env_.ui.makeFirstResponder(KioskWindow::Touch, _barcodeEntryField1);
    env_.ui.makeKeyAndOrderFront(KioskWindow::Touch);
    // A new turn: nothing of the last guest's data or photo carries over
    // (their addresses would otherwise go with the next guest's photo).
    ++_turn;
    _barcodeValue.clear();
    _emails.clear();
    _turnShot = TurnShot{};
    _earlierShots.clear();
    _shotIndex = 0;
    _reviewWaiting = false;
    _badEmail.setHidden(true);
    _currentInputView->setHidden(true);
    _goButton.setHidden(false);
    _keyboard.setHidden(true);
    _overlayContentView.setHidden(true);
    if (cyclesWithoutGuest() && !cameraReadyForTurn()) {
        // No turn starts without a camera; the kiosk waits here until one
        // is connected (cameraDidLoad goes on).
        GLIMRA_Log::err("enterScreen1: no camera is connected; waiting on screen 1 for one");
        liveViewOff();
        setPhotographerButtons(true, true);
    } else if (cyclesWithoutGuest()) {
        // Nothing to accept: screen 2 starts inside this screen.
        nextScreen();
        liveViewOff();
        setPhotographerButtons(true, true);
    }
    env_.ui.orderFront(KioskWindow::Touch);
    if (_webViewWindowController) _webViewWindowController->startWebView();
}

void AppController::enterScreen2(bool hasTouchPicture, std::uint32_t delayScreen2) {
    env_.ui.orderFront(KioskWindow::Touch);
    // Without its own picture the lead-in has nothing to show: move on at
    // the next turn of the loop.
    performAfterDelay(hasTouchPicture ? static_cast<double>(delayScreen2) : 0.0,
                      [this] { nextScreen(); });
}

void AppController::enterScreen3(std::uint32_t touchCount, std::uint32_t liveCount) {
    const Settings& s = env_.settings;
    beginTurnShots();
    const bool countdownOnLiveSide = s.boolForKey(key::prefDoCountdownInSngleMonitorMode);
    _touchCountdownField.setUnsignedValue(touchCount);
    _touchCountdownField.setHidden(s.boolForKey(key::prefHideTouchCountdown));
    _EVFView.setImage(blackImage());
    resizeLiveViewToFit();
    _keyboard.setHidden(true);
    liveViewOn();
    _countdownOverlay.setHidden(true);
    if (isVideoInput()) _QTCView.setHidden(false);
    _overlayContentView.setHidden(false);
    startTimerWithExpirationDelay(touchCount);
    if (countdownOnLiveSide) showLiveCountdown();
    _liveCountdownField1.setUnsignedValue(liveCount);
    _liveCountdownField2.setUnsignedValue(liveCount);
    env_.ui.makeKeyAndOrderFront(KioskWindow::Live);
    if (s.boolForKey(key::prefAmbassadorOperated))
        setPhotographerButtons(countdownOnLiveSide, true);
}

void AppController::enterScreen4(std::uint32_t liveCount) {
    _touchCountdownField.setHidden(true);
    if (!env_.settings.boolForKey(key::prefAmbassadorOperated)) {
        _takePhotoButton.setHidden(true);
        _startOverButton.setHidden(true);
        startTimerWithExpirationDelay(liveCount);
    } else {
        // The photographer takes the shot; no timer runs.
        setPhotographerButtons(false, true);
    }
}

void AppController::enterScreen5(std::uint32_t confettiDelay) {
    const Settings& s = env_.settings;
    _liveCountdownField1.setHidden(true);
    _liveCountdownField2.setHidden(true);
    if (!s.boolForKey(key::prefDoCountdownInSngleMonitorMode)) {
        // No lead-in: back to 4, where the kiosk waits to be moved on.
        --_screenNumber;
        env_.ui.screenDidChange(_screenNumber);
        return;
    }
    if (!isVideoInput()) {
        startTimerWithExpirationDelay(confettiDelay);
        return;
    }
    takePicture();
    startTimerWithExpirationDelay(readMaxRecordingLength(s));
    if (_videoRecorder) _videoRecorder->setupRecordingTimer();
    performOnMainLater([this] { startMovie(); });
}

void AppController::enterScreen6() {
    if (isVideoInput()) {
        // The recording's end moves the turn on to the review (its length
        // runs a fraction of a second past screen 5's whole seconds). With
        // no recording running (it did not start, or has already ended)
        // nothing is waited for: the review follows after a second.
        if (!_recordingEndTimer) startTimerWithExpirationDelay(0);
        return;
    }
    liveViewOff();
    takePicture();
    startTimerWithExpirationDelay(kShotTimeout);
}

void AppController::enterScreen7() {
    if (_videoRecorder) _videoRecorder->tearDownRecordingTimer();
    if (!isVideoInput()) {
        // The photo only when it was filed for this guest; an apology when
        // it did not come or could not be stored; while it is still on its
        // way (within its bound) nothing is promised and no timer runs.
        _currentInputView->setHidden(true);
        _reviewWaiting = true;
        resolveReview();
    } else {
        _overlayContentView.setHidden(true);
        _countdownOverlay.setHidden(true);
        startTimerWithExpirationDelay(1);
        _liveCountdownField1.setHidden(true);
        _liveCountdownField2.setHidden(true);
    }
    performAfterDelay(3, [this] { endPhotoSession(); });
}

void AppController::enterOutOfRangeScreen() {
    _currentInputView->setHidden(true);
    _overlayContentView.setHidden(true);
}

void AppController::startOver() {
    _screenNumber = 0;
    nextScreen();
}

bool AppController::cyclesWithoutGuest() const {
    // An unattended booth waits for its guest unless the operator asked for
    // the continuous mode: without the legal text and without waiting, a
    // turn starts as soon as screen 1 is entered.
    return !env_.settings.boolForKey(key::prefShowLegalese) &&
           !env_.settings.boolForKey(key::prefWaitForGuest);
}

void AppController::nextScreenWithLegalese() {
    if (_screenNumber == 1 && !cameraReadyForTurn()) {
        refuseTurnWithoutCamera("nextScreenWithLegalese");
        return;
    }
    if (env_.settings.boolForKey(key::prefShowLegalese)) {
        if (doDisplayLegalese()) nextScreen();
        return;
    }
    nextScreen();
}

void AppController::endPhotoSession() {
    postOnMainThread(kNotifictionPhotoSessionEnded);
}

}  // namespace klik
