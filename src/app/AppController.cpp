#include "app/AppController.h"

#include <algorithm>

#include "app/ProcessFlags.h"

#include "log/Log.h"

namespace klik {

AppController::AppController(Environment env) : env_(env) {
    // The view tree as the main interface file lays it out: the touch side
    // holds the entry controls and the photographer buttons; the live side
    // holds the current input view and the live countdown fields until the
    // first screen moves field 1 into the overlay window's content view.
    for (View* v : {&_barcodeEntryField1, &_badEmail, &_goButton, &_keyboard, &_touchCountdownField,
                    &_takePhotoButton, &_startOverButton, &_keepPhotoButton, &_takePhotoAgainButton,
                    &_progress})
        _touchView.addSubview(*v);
    for (View* v : {_currentInputView, &_liveCountdownField1, &_liveCountdownField2})
        _liveView.addSubview(*v);
    _overlayContentView.addSubview(_countdownOverlay);

    for (View* v : {&_takePhotoButton, &_startOverButton, &_keepPhotoButton, &_takePhotoAgainButton,
                    &_touchCountdownField, &_liveCountdownField1, &_liveCountdownField2, &_keyboard,
                    &_EVFView, &_QTCView})
        v->setHidden(true);
    for (View* v : {&_touchCountdownField, &_liveCountdownField1, &_liveCountdownField2})
        v->setTextColor(Colour::white());
    _takePhotoButton.setKeyEquivalent(" ");

    observeFrameChanges();

    _startObserver = env_.center.addObserver(
        kNotifictionStartPhotoSession,
        [this](const Notification& n) { handleDoStartPhotoSessionNotification(n); });
}

AppController::~AppController() {
    _liveView.removeChangeObserver(_liveFrameObserver);
    if (_keyboardContainer) _keyboardContainer->removeChangeObserver(_keyboardContainerObserver);
    env_.center.removeObserver(_startObserver);
    if (_screenTimer) _screenTimer->invalidate();
    if (_recordingEndTimer) _recordingEndTimer->invalidate();
    if (_floaterTimer) _floaterTimer->invalidate();
    for (auto& t : _pending) t->invalidate();
}

TimerPtr AppController::performAfterDelay(double delay, std::function<void()> fn) {
    _pending.erase(std::remove_if(_pending.begin(), _pending.end(),
                                  [](const TimerPtr& t) { return !t->isValid(); }),
                   _pending.end());
    TimerPtr t = env_.runLoop.performAfterDelay(delay, std::move(fn));
    _pending.push_back(t);
    return t;
}

void AppController::performOnMainLater(std::function<void()> fn) {
    env_.runLoop.performOnMain(
        [f = std::move(fn), alive = std::weak_ptr<bool>(alive_)] {
            if (!alive.expired()) f();
        },
        false);
}

void AppController::postOnMainThread(const char* name, std::optional<Dictionary> userInfo) {
    env_.center.postOnMainThread(Notification{name, Value(makeOpaque(this)), std::move(userInfo)},
                                 false, &env_.runLoop);
}

void AppController::postNextScreenToMainThread() {
    performOnMainLater([this] { nextScreen(); });
}

PicturePtr AppController::imageNamed(const std::string& name) const {
    return _artwork ? _artwork->imageNamed(name) : nullptr;
}

void AppController::setPhotographerButtons(bool takeAndStartOverHidden, bool keepAndAgainHidden) {
    _takePhotoButton.setHidden(takeAndStartOverHidden);
    _startOverButton.setHidden(takeAndStartOverHidden);
    _keepPhotoButton.setHidden(keepAndAgainHidden);
    _takePhotoAgainButton.setHidden(keepAndAgainHidden);
}

void AppController::setLiveCountdownTextWhite() {
    _liveCountdownField1.setTextColor(Colour::white());
    _liveCountdownField2.setTextColor(Colour::white());
}

void AppController::showLiveCountdown() {
    _liveCountdownField1.setHidden(gDoHideLiveCountdownField1);
    _liveCountdownField2.setHidden(gDoHideLiveCountdownField2);
}

}  // namespace klik
