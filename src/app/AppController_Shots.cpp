// Several shots per guest and the turn's animated loop. With more than one
// shot the live countdown and the shot repeat, the capture screen showing
// each photo for its usual time before the next countdown; each shot is
// filed as a single photo is, and the review shows the print picture the
// kept shots make in the print frame's windows. The loop is made from the
// live-view frames of each countdown's last second, after the review is
// decided, away from the main thread.

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"

namespace klik {

std::vector<AppController::TurnShot> AppController::shotsOfTurn() const {
    std::vector<TurnShot> all = _earlierShots;
    all.push_back(_turnShot);
    return all;
}

AppController::TurnShot* AppController::shotOfThisTurn(std::uint64_t request) {
    if (request == 0) return nullptr;
    if (_turnShot.request == request) return &_turnShot;
    for (TurnShot& shot : _earlierShots)
        if (shot.request == request) return &shot;
    return nullptr;
}

void AppController::beginTurnShots() {
    const Settings& s = env_.settings;
    _shotIndex = 0;
    _earlierShots.clear();
    // A recording is one take; shots belong to the still camera.
    _shotsPerTurn = isVideoInput() ? 1 : readShotsPerTurn(s);
    _makeLoop = _guestLoop != nullptr && !isVideoInput() && s.boolForKey(key::prefMakeLoop);
    if (_guestLoop) _guestLoop->dropFrames();
    if (_shotsPerTurn > 1)
        GLIMRA_Log::debugf("the turn of %s takes %u shots", currentGuestSession().label().c_str(),
                           _shotsPerTurn);
}

bool AppController::moreShotsToTake() const {
    return !isVideoInput() && _shotIndex + 1 < _shotsPerTurn;
}

void AppController::beginNextShot() {
    if (_turnShot.outcome == ShotOutcome::None) {
        _turnShot.outcome = ShotOutcome::Failed;
        _turnShot.cause = "no shot was taken";
    }
    _earlierShots.push_back(_turnShot);
    _turnShot = TurnShot{};
    ++_shotIndex;
    GLIMRA_Log::debugf("shot %u of %u of %s", _shotIndex + 1, _shotsPerTurn,
                       currentGuestSession().label().c_str());
    // The live countdown comes back over the camera's view.
    liveViewOn();
}

void AppController::resolveShotsReview() {
    const std::string guest = currentGuestSession().label();
    const std::vector<TurnShot> shots = shotsOfTurn();
    for (const TurnShot& shot : shots)
        if (shot.outcome == ShotOutcome::Waiting) return;  // news or a bound decides
    _reviewWaiting = false;
    std::vector<std::string> keptPaths;
    size_t kept = 0;
    std::string cause;
    for (size_t i = 0; i < shots.size(); ++i) {
        const TurnShot& shot = shots[i];
        if (shot.outcome == ShotOutcome::Kept) {
            ++kept;
            if (!shot.filed.path.empty()) keptPaths.push_back(shot.filed.path);
            continue;
        }
        const std::string why =
            shot.outcome == ShotOutcome::None ? "no shot was taken" : shot.cause;
        GLIMRA_Log::errf("review: shot %zu of %zu of %s gave no photo: %s", i + 1, shots.size(),
                         guest.c_str(), why.c_str());
        if (cause.empty()) cause = why;
    }
    FiledPhoto beside;
    if (kept == 0) {
        apologiseOnReview(cause.empty() ? std::string("no shot was taken") : cause);
    } else {
        std::string error;
        std::optional<TurnComposite> composite;
        if (_photoPipeline && !keptPaths.empty())
            composite = _photoPipeline->composeTurnShots(keptPaths, &error);
        if (composite) {
            if (composite->shown.picture) _EVFView.setImage(composite->shown.picture);
            if (!composite->link.empty()) _turnShareLink = composite->link;
            beside = composite->filed;
        } else {
            // The guest's photos are filed all the same; the last one stays
            // on the screen.
            GLIMRA_Log::errf(
                "review: no print picture of the %zu photos of %s: %s", kept, guest.c_str(),
                keptPaths.empty() ? "none of them was filed where it can be read" : error.c_str());
            for (auto it = shots.rbegin(); it != shots.rend() && beside.path.empty(); ++it)
                if (it->outcome == ShotOutcome::Kept) beside = it->filed;
        }
        _currentInputView->setHidden(false);
        _lastReview = Review{guest, true, ""};
        showShareCode();
        // The print picture is what a guest takes home; a single shot of
        // several is never printed by itself.
        if (composite && env_.settings.boolForKey(key::prefKeyForAutoPrintPhoto))
            _photoPipeline->printCurrentPictureWithPrompt();
    }
    finishTurnLoop(beside);
    startTimerWithExpirationDelay(readSecondsCount(env_.settings, key::prefDelayScreen2));
}

void AppController::keepLoopFrame(const Data& jpeg) {
    // The last second of the live countdown, while the guest holds still.
    if (!_makeLoop || _screenNumber != 4 || _countdown > 1) return;
    _guestLoop->keepFrame(jpeg);
}

void AppController::finishTurnLoop(const FiledPhoto& beside) {
    if (!_guestLoop) return;
    if (!_makeLoop || beside.path.empty()) {
        if (_makeLoop)
            GLIMRA_Log::errf("no loop for %s: no photo of the turn was filed to put it beside",
                             currentGuestSession().label().c_str());
        _guestLoop->dropFrames();
        return;
    }
    _guestLoop->makeLoop(beside, readLoopSize(env_.settings));
    _makeLoop = false;
}

}  // namespace klik
