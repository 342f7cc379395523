// Each guest gets their own photo and hears the truth about it: the shot
// records the turn's guest data, the arriving picture is matched to the
// shot that asked for it, failures from the camera resolve the shot, and the
// review screen shows the photo only when it was filed.

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"

namespace klik {

namespace {

// What the guest reads instead of the promise of a photo; the cause is for
// the operator standing by.
std::string apologyText(const std::string& cause) {
    return "SORRY - NO PHOTO!\n[" + cause + "]\nPlease Try Again!";
}

std::string errorText(const CameraError& error) {
    std::string text = error.text.value_or("unknown error");
    if (!error.code) return text;
    return stringWithFormat("error 0x%llX, %s", static_cast<unsigned long long>(*error.code),
                            text.c_str());
}

}  // namespace

double AppController::loopSeconds() const {
    return std::chrono::duration<double>(env_.runLoop.now().time_since_epoch()).count();
}

GuestSession AppController::currentGuestSession() const {
    GuestSession s;
    s.turn = _turn;
    s.barcodeValue = _barcodeValue;
    s.emails = _emails;
    if (_webViewWindowController && env_.settings.boolForKey(key::prefDoUseWebView))
        s.sitting = _webViewWindowController->webReturnInfo();
    return s;
}

GuestSession AppController::photoSession() const {
    return _photoSession ? *_photoSession : currentGuestSession();
}

PhotoSession AppController::filingSessionOf(const GuestSession& guest) const {
    PhotoSession s;
    s.emails = guest.emails;
    s.barcodeValue = guest.barcodeValue;
    s.screenNumber = _screenNumber;
    return s;
}

PhotoSession AppController::photoFilingSession() const {
    return filingSessionOf(photoSession());
}

bool AppController::cameraReadyForTurn() const {
    if (_currentInputView != &_EVFView) return true;
    return _camera->hasCamera();
}

void AppController::refuseTurnWithoutCamera(const char* where) {
    GLIMRA_Log::errf("%s: no camera is connected; the turn of %s does not start", where,
                     currentGuestSession().label().c_str());
    floatingAlertWithString(std::string("NO Camera Found!!!\nPlease Check Your Connection!"));
}

// ---- Shot requests ------------------------------------------------------------

void AppController::recordShotRequest() {
    expireShotRequests();
    if (!_camera->hasCamera()) {
        _turnShot = TurnShot{0, ShotOutcome::Failed, "no camera is connected", false, {}};
        GLIMRA_Log::errf("take a picture: no camera is connected; %s gets no photo",
                         currentGuestSession().label().c_str());
        return;
    }
    std::optional<ShotRequest> dropped;
    const std::uint64_t id = _shots.ask(currentGuestSession(), loopSeconds(), &dropped);
    if (dropped) shotLost(*dropped, "too many shots waited for the camera at once");
    _turnShot = TurnShot{id, ShotOutcome::Waiting, "", false, {}};
    GLIMRA_Log::debugf("shot %llu asked for by %s", static_cast<unsigned long long>(id),
                       currentGuestSession().label().c_str());
    performAfterDelay(kPhotoArrivalBound, [this, id] { shotBoundPassed(id); });
}

void AppController::shotBoundPassed(std::uint64_t request) {
    TurnShot* shot = shotOfThisTurn(request);
    if (!shot || shot->outcome != ShotOutcome::Waiting) return;
    // The request stays: a photo that still comes is filed under its guest.
    shot->outcome = ShotOutcome::Failed;
    // The operator is pointed at what was slow: the camera, or the filing
    // of a photo that did come (a busy disk or processor).
    shot->cause = shot->arrived
                      ? stringWithFormat("the photo came but was not filed within %.0f seconds",
                                         kPhotoArrivalBound)
                      : stringWithFormat("no photo came from the camera within %.0f seconds",
                                         kPhotoArrivalBound);
    GLIMRA_Log::errf("shot %llu of %s: %s", static_cast<unsigned long long>(request),
                     currentGuestSession().label().c_str(), shot->cause.c_str());
    resolveReview();
}

void AppController::expireShotRequests() {
    for (const ShotRequest& r : _shots.expire(loopSeconds(), kShotRequestLifetime))
        shotLost(r, stringWithFormat("no photo came from the camera within %.0f seconds",
                                     kShotRequestLifetime));
}

void AppController::shotLost(const ShotRequest& request, const std::string& cause) {
    const std::string guest = request.session.label();
    TurnShot* shot = request.session.turn == _turn ? shotOfThisTurn(request.id) : nullptr;
    if (shot) {
        GLIMRA_Log::errf("the photo of %s will not come: %s", guest.c_str(), cause.c_str());
        if (shot->outcome == ShotOutcome::Waiting) {
            shot->outcome = ShotOutcome::Failed;
            shot->cause = cause;
        }
        resolveReview();
        return;
    }
    // An earlier turn's guest has been told already; the operator is told
    // through the log whose photo it was.
    GLIMRA_Log::errf("the photo of %s (an earlier turn) was lost: %s", guest.c_str(),
                     cause.c_str());
}

// ---- Camera failures ----------------------------------------------------------

void AppController::downloadFailed(const std::string& photoName, const CameraError& error) {
    const std::string name = photoName.empty() ? std::string("a picture") : photoName;
    const std::string cause = "camera " + errorText(error) + " downloading " + name;
    _progress.setDoubleValue(0);
    if (auto lost = _shots.loseOldest()) {
        shotLost(*lost, cause);
    } else {
        GLIMRA_Log::err("the " + cause + " failed; no shot of the kiosk waited for it");
    }
}

// ---- Arrival and filing -------------------------------------------------------

AppController::PhotoArrival AppController::photoArriving(const std::string& name) {
    PhotoArrival a;
    a.request = _shots.answer();
    if (a.request) {
        a.session = a.request->session;
        a.currentTurn = a.session.turn == _turn;
        if (TurnShot* shot = a.currentTurn ? shotOfThisTurn(a.request->id) : nullptr)
            shot->arrived = true;
        a.currentShot = a.currentTurn && a.request->id == _turnShot.request;
    } else {
        // The camera's own button or the panel's shutter: the guest at the
        // screen is the one photographed.
        a.session = currentGuestSession();
    }
    if (!a.currentTurn) a.currentShot = false;
    if (!a.currentTurn)
        GLIMRA_Log::errf(
            "photo %s arrived after the turn of %s ended; it is filed under that "
            "guest and not shown to the guest at the screen",
            name.c_str(), a.session.label().c_str());
    _photoSession = a.session;
    return a;
}

void AppController::photoFiled(const PhotoArrival& arrival, bool filed, const std::string& name,
                               const FiledPhoto& where) {
    const std::string guest = arrival.session.label();
    if (!arrival.currentTurn) {
        if (filed) {
            GLIMRA_Log::errf("the late photo %s of %s was filed under that guest", name.c_str(),
                             guest.c_str());
        } else {
            GLIMRA_Log::errf("the late photo %s of %s could not be filed; see the scratch folder",
                             name.c_str(), guest.c_str());
            floatingAlertWithString("LATE PHOTO NOT FILED!\n[" + name + " of " + guest +
                                    "]\nSee the scratch folder");
        }
        return;
    }
    TurnShot* shot = arrival.request ? shotOfThisTurn(arrival.request->id) : &_turnShot;
    if (!shot) return;
    if (filed) {
        shot->outcome = ShotOutcome::Kept;
        shot->cause.clear();
        shot->filed = where;
    } else {
        shot->outcome = ShotOutcome::Failed;
        shot->cause = "the photo " + name + " could not be stored";
        GLIMRA_Log::errf(
            "the photo %s of %s could not be stored; see the log and the scratch "
            "folder",
            name.c_str(), guest.c_str());
    }
    if (!arrival.request) _turnShot.request = 0;
    resolveReview();
}

// ---- The review ---------------------------------------------------------------

void AppController::resolveReview() {
    if (_screenNumber != 7 || !_reviewWaiting || isVideoInput()) return;
    if (_shotsPerTurn > 1) {
        resolveShotsReview();
        return;
    }
    const std::uint32_t delayScreen2 = readSecondsCount(env_.settings, key::prefDelayScreen2);
    const std::string guest = currentGuestSession().label();
    switch (_turnShot.outcome) {
        case ShotOutcome::Waiting:
            return;  // the photo or its failure, or the bound, decides
        case ShotOutcome::Kept:
            _reviewWaiting = false;
            _currentInputView->setHidden(false);  // it holds the captured photo
            _lastReview = Review{guest, true, ""};
            showShareCode();
            finishTurnLoop(_turnShot.filed);
            break;
        case ShotOutcome::None:
        case ShotOutcome::Failed:
            _reviewWaiting = false;
            apologiseOnReview(_turnShot.outcome == ShotOutcome::None ? "no shot was taken"
                                                                     : _turnShot.cause);
            finishTurnLoop({});
            break;
    }
    startTimerWithExpirationDelay(delayScreen2);
}

void AppController::apologiseOnReview(const std::string& cause) {
    const std::string guest = currentGuestSession().label();
    // Nothing that could be a stranger's picture stays in view.
    _currentInputView->setHidden(true);
    _shareCodeView.hide();
    const std::string text = apologyText(cause);
    GLIMRA_Log::errf("review: %s gets no photo: %s", guest.c_str(), cause.c_str());
    floatingAlertWithString(text);
    _lastReview = Review{guest, false, text};
}

}  // namespace klik
