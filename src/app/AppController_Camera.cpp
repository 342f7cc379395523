// The operator's camera panel: the camera menu, the current camera, the
// property controls, the camera clock, shutter and live-view buttons, the
// download progress and the floating notices about cameras.

#include <algorithm>
#include <chrono>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"
#include "log/StringUtils.h"

namespace klik {

namespace {

constexpr std::uint32_t kTagAv = 1029;
constexpr std::uint32_t kTagTv = 1030;
// How long a camera notice stays before it fades, and the fade.

std::string describe(const std::optional<CameraEntry>& camera) {
    return camera ? camera->description : "(null)";
}

std::string describe(const std::optional<std::vector<CameraEntry>>& cameras) {
    if (!cameras) return "(null)";
    std::string out = "(";
    for (size_t i = 0; i < cameras->size(); ++i)
        out += (i ? ", \"" : "\"") + (*cameras)[i].description + "\"";
    return out + ")";
}

std::string describe(const CameraControl& c) {
    const char* kind = c.isPopUpMenu()   ? "NSPopUpButton"
                       : c.isTextField() ? "NSTextField"
                                         : "NSDatePicker";
    return stringWithFormat("<%s tag %u>", kind, c.tag());
}

}  // namespace

// ---- Wiring ------------------------------------------------------------------

bool AppController::setUpCameraPanel() {
    // Until the first list arrives (none does while no camera is found) the
    // menu says there is none.
    updateCameraPopupWithCameras(std::nullopt);
    return true;
}

void AppController::setCamera(CameraPort* camera) {
    _camera->setListener(nullptr);
    _camera = camera ? camera : &_noCamera;
    _camera->setListener(this);
}

void AppController::onMainThread(std::function<void()> handler) {
    // The handlers change views, so they run on the main thread whatever
    // thread the camera speaks on.
    if (env_.runLoop.isMainThread()) {
        handler();
        return;
    }
    performOnMainLater(std::move(handler));
}

void AppController::tearDownCameraPanel() {
    _camera->setListener(nullptr);
    _camera = &_noCamera;
    stopCameraClockTimer();
    _cameraInUse = 0;
}

void AppController::releaseCamera(const std::optional<CameraEntry>& camera) {
    if (camera && camera->id == _cameraInUse) _cameraInUse = 0;
}

// ---- The camera's events -------------------------------------------------------

void AppController::cameraAdded() {
    onMainThread([this] {
        GLIMRA_Log::debug("GLIMRA_CameraAdded!");
        GLIMRA_Log::debug("now cameras = " + describe(_camera->cameras()));
    });
}

void AppController::camerasListed(const std::optional<std::vector<CameraEntry>>& cameras) {
    onMainThread([this, cameras] { cameraListUpdated(cameras); });
}

void AppController::cameraLoaded(const std::optional<CameraEntry>& camera) {
    onMainThread([this, camera] { cameraDidLoad(camera); });
}

void AppController::cameraUnloaded(const std::optional<CameraEntry>& camera) {
    onMainThread([this, camera] { cameraDisappeared(camera); });
}

void AppController::cameraPropertyValuesChanged(const std::optional<CameraEntry>& camera,
                                                std::uint32_t tag,
                                                const std::optional<Dictionary>& values) {
    onMainThread([this, camera, tag, values] { cameraPropertiesChanged(camera, tag, values); });
}

void AppController::cameraPropertyChanged(const std::optional<CameraEntry>& camera,
                                          const std::string& name, std::uint32_t tag,
                                          const Value& raw, const Value& text) {
    onMainThread([this, camera, name, tag, raw, text] {
        cameraPropertyDidChange(camera, name, tag, raw, text);
    });
}

void AppController::cameraLiveViewFrame(const Data& jpeg) {
    if (env_.runLoop.isMainThread()) {
        liveViewUpdated(jpeg);
        return;
    }
    performOnMainLater([this, jpeg] { liveViewUpdated(jpeg); });
}

void AppController::cameraLiveViewEnded(const std::optional<CameraEntry>& camera) {
    onMainThread([this, camera] { liveViewEndedByItself(camera); });
}

void AppController::cameraDownloadProgress(double percent) {
    onMainThread([this, percent] { downloadProgress(percent); });
}

void AppController::cameraCommandFailed(const std::optional<CameraEntry>& camera, bool shot,
                                        const CameraError& error, const std::string& command) {
    onMainThread(
        [this, camera, shot, error, command] { commandError(camera, shot, error, command); });
}

void AppController::cameraPhotoArrived(const Dictionary& photo) {
    newPhoto(photo);
}

void AppController::cameraDownloadFailed(const std::string& name, const CameraError& error) {
    onMainThread([this, name, error] { downloadFailed(name, error); });
}

// ---- Camera choice -------------------------------------------------------------

void AppController::cameraListUpdated(const std::optional<std::vector<CameraEntry>>& cameras) {
    GLIMRA_Log::debug("GLIMRA_CameraListDidUpdate!");
    GLIMRA_Log::debug("now cameras = " + describe(cameras));
    updateCameraPopupWithCameras(cameras);
    if (cameras && !cameras->empty() && !currentCamera()) setCurrentCamera(cameras->front());
}

void AppController::updateCameraPopupWithCameras(
    const std::optional<std::vector<CameraEntry>>& cameras) {
    _cameraPanel.removeAllCameraItems();
    if (cameras)
        for (const auto& c : *cameras) _cameraPanel.addCameraItem({c.description, c});
    if (_cameraPanel.cameraItems().empty()) {
        _cameraPanel.addCameraItem({"No Cameras available", std::nullopt});
        updateCameraProperties();
        return;
    }
    // Keep the current camera selected when it is still listed.
    const std::optional<CameraEntry> current = currentCamera();
    const auto& items = _cameraPanel.cameraItems();
    for (size_t i = 0; i < items.size(); ++i)
        if (current && items[i].camera == current)
            _cameraPanel.selectCameraItem(static_cast<int>(i));
}

void AppController::chooseCamera(int index) {
    GLIMRA_Log::debug("choose a camera!!");
    if (!_cameraPanel.selectCameraItem(index)) {
        GLIMRA_Log::debugf("no camera menu item %d to choose", index);
        return;
    }
    setCurrentCamera(_cameraPanel.cameraItems()[static_cast<size_t>(index)].camera);
}

void AppController::setCurrentCamera(const std::optional<CameraEntry>& camera) {
    GLIMRA_Log::debug("setting current camera to " + describe(camera));
    if (camera) {
        // Loading reads the whole camera: it runs in the background and
        // the camera becomes current when its load is announced.
        _camera->chooseCamera(*camera);
        return;
    }
    stopCameraClockTimer();
    _cameraPanel.setAvailableControls(camcontrol::All);
    if (const std::optional<CameraEntry> old = currentCamera()) {
        releaseCamera(old);
        _camera->unloadCurrentCamera();
    }
    updateCameraProperties();
}

void AppController::cameraDidLoad(const std::optional<CameraEntry>& camera) {
    GLIMRA_Log::debug("GLIMRA_CameraDidLoad!");
    if (!camera) {
        GLIMRA_Log::debug("GLIMRA_CameraDidLoad without a known camera; ignored");
        return;
    }
    // The announcement comes after the fact: a camera that has gone again,
    // or been replaced, by now is not the one in use.
    if (camera != currentCamera()) {
        GLIMRA_Log::debug("GLIMRA_CameraDidLoad for " + camera->description +
                          ", which is no longer loaded; ignored");
        return;
    }
    stopCameraClockTimer();
    _cameraInUse = camera->id;
    // Buttons that would do nothing on this body are hidden.
    _cameraPanel.setAvailableControls(_camera->controls());
    const auto& items = _cameraPanel.cameraItems();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].camera == camera) _cameraPanel.selectCameraItem(static_cast<int>(i));
    updateCameraProperties();
    GLIMRA_Log::debug("set current camera to \"" + camera->description + "\"!!");
    floatingAlertWithString(camera->description + "\nAvailable!");
    // A kiosk in the continuous mode waits on screen 1 while it has no
    // camera; with one it goes on.
    if (_screenNumber == 1 && cyclesWithoutGuest() && !isVideoInput()) startOver();
}

void AppController::cameraDisappeared(const std::optional<CameraEntry>& camera) {
    GLIMRA_Log::debug("GLIMRA_CameraDisappeared: " + describe(camera));
    if (camera)
        floatingAlertWithString(camera->description + "\nDISCONNECTED!");
    else
        floatingAlertWithString("NO Camera Found!!!\nPlease Check Your Connection!");
    // No picture comes any more for a shot the camera had not delivered:
    // the camera this panel was using went (it may have been replaced by
    // now), or none is left.
    const bool wasInUse = camera && camera->id == _cameraInUse;
    if (wasInUse || !_camera->hasCamera()) {
        const std::string cause = "the camera " +
                                  (camera ? camera->description + " " : std::string()) +
                                  "was disconnected";
        for (const ShotRequest& r : _shots.loseAll()) shotLost(r, cause);
    }
    releaseCamera(camera);
    // Without a camera the controls are emptied; a camera loaded in its
    // place fills them when its load is announced.
    if (!currentCamera()) setCurrentCamera(std::nullopt);
}

// ---- Property controls -----------------------------------------------------------

void AppController::updateCameraProperties() {
    if (!currentCamera()) {
        for (std::uint32_t tag : CameraPanel::refreshedTags())
            updateControlWithTagWithValues(tag, std::nullopt);
        return;
    }
    // Text fields are emptied now, as a refresh does; the menus' lists are
    // read in the background and each is announced, which fills its menu.
    std::vector<std::uint32_t> menus;
    for (std::uint32_t tag : CameraPanel::refreshedTags()) {
        CameraControl* control = viewWithTag(tag);
        if (control && control->isTextField()) control->setStringValue("");
        if (control && control->isPopUpMenu()) menus.push_back(tag);
    }
    _camera->refreshPropertyValues(menus);
}

void AppController::updateControlWithTagWithValues(std::uint32_t tag,
                                                   const std::optional<Dictionary>& values) {
    CameraControl* control = viewWithTag(tag);
    if (!control) return;
    if (control->isPopUpMenu()) {
        const std::string selected = control->titleOfSelectedItem();
        control->removeAllItems();
        if (values && !values->empty()) {
            std::vector<std::string> titles;
            for (const auto& [text, raw] : *values) titles.push_back(text);
            std::sort(titles.begin(), titles.end(), [](const std::string& a, const std::string& b) {
                return numericalCaseInsensitiveCompare(a, b) < 0;
            });
            control->addItemsWithTitles(titles);
            control->selectItemWithTitle(selected);
        }
    } else if (control->isTextField()) {
        control->setStringValue("");
    }
}

void AppController::updateControlWithTagWithValue(std::uint32_t tag, const Value& value) {
    CameraControl* control = tag ? viewWithTag(tag) : nullptr;
    if (!control) {
        GLIMRA_Log::debugf("failed to update control for tag (%u) with value %s", tag,
                           value.description().c_str());
        return;
    }
    GLIMRA_Log::debugf("trying to update control %s %s (%u) with value %s",
                       describe(*control).c_str(), _camera->propertyName(tag).c_str(), tag,
                       value.description().c_str());
    std::optional<std::string> text;
    if (value.isNumber())
        text = _camera->propertyText(tag, static_cast<std::uint32_t>(value.integerValue()));
    else if (const std::string* s = value.string())
        text = *s;

    if (control->isPopUpMenu() && text) {
        GLIMRA_Log::debugf("updating popup %s (%u) with value %s", describe(*control).c_str(), tag,
                           text->c_str());
        if (!control->selectItemWithTitle(*text)) {
            control->addItemWithTitle(*text);
            control->selectItemWithTitle(*text);
        }
        control->setToolTip(*text);
    } else if (control->isTextField()) {
        control->setStringValue(text.value_or(""));
    } else if (control->isDatePicker()) {
        GLIMRA_Log::debug("setting camara clock to " + value.description());
        if (const Date* when = value.date()) {
            control->setDateValue(*when);
            _cameraClockSkew = std::chrono::duration<double>(*when - env_.runLoop.now()).count();
            startCameraClockTimer();
        }
    } else {
        GLIMRA_Log::debugf("no control %s (%u) to update with value %s", describe(*control).c_str(),
                           tag, value.description().c_str());
    }
}

void AppController::startCameraClockTimer() {
    stopCameraClockTimer();
    _cameraClockTimer = env_.runLoop.scheduleTimer(1.0, true, [this](Timer&) {
        CameraControl* clock = viewWithTag(camprop::DateTime);
        if (!clock) return;
        const auto skew = std::chrono::duration_cast<Date::duration>(
            std::chrono::duration<double>(_cameraClockSkew));
        clock->setDateValue(env_.runLoop.now() + skew);
    });
}

void AppController::stopCameraClockTimer() {
    if (_cameraClockTimer) _cameraClockTimer->invalidate();
    _cameraClockTimer.reset();
}

bool AppController::isOtherThanCurrentCamera(const std::optional<CameraEntry>& camera) const {
    return camera && camera != currentCamera();
}

void AppController::cameraPropertiesChanged(const std::optional<CameraEntry>& camera,
                                            std::uint32_t tag,
                                            const std::optional<Dictionary>& values) {
    GLIMRA_Log::debug("GLIMRA_CameraPropertiesDidChange for camera " + describe(camera));
    // Answers arrive after the fact: those of a camera no longer in use
    // would fill the panel with another camera's lists.
    if (isOtherThanCurrentCamera(camera)) return;
    updateControlWithTagWithValues(tag, values);
}

void AppController::cameraPropertyDidChange(const std::optional<CameraEntry>& camera,
                                            const std::string& name, std::uint32_t tag,
                                            const Value& raw, const Value& text) {
    const std::string shown = text.string() ? *text.string() : text.description();
    if (isOtherThanCurrentCamera(camera)) {
        GLIMRA_Log::debug("ignoring property " + name + " of " + describe(camera) +
                          ", which is not the current camera");
        return;
    }
    if (name == "AEMode") {
        setEnabledForAEMode(raw);
        floatingAlertWithString(describe(camera) + "\nAuto Exposure set to " + shown);
    } else if (name == "BatteryLevel") {
        floatingAlertWithString(describe(camera) + "\nBATTERY LEVEL now " + shown);
    }
    updateControlWithTagWithValue(tag, text);
}

void AppController::setEnabledForAEMode(const Value& rawValue) {
    const std::int64_t mode = rawValue.isNumber() ? rawValue.integerValue() : 0;
    const bool tv = mode == 3 || mode == 1;
    const bool av = mode == 3 || mode == 2;
    if (CameraControl* c = viewWithTag(kTagTv)) c->setEnabled(tv);
    if (CameraControl* c = viewWithTag(kTagAv)) c->setEnabled(av);
}

void AppController::setCameraProperty(CameraControl& control) {
    if (!currentCamera()) {
        GLIMRA_Log::debugf("no current camera to set property %u on", control.tag());
        return;
    }
    if (control.isDatePicker()) {
        if (const auto when = control.dateValue()) _camera->setClock(*when);
        return;
    }
    const std::string text =
        control.isPopUpMenu() ? control.titleOfSelectedItem() : control.stringValue();
    GLIMRA_Log::debugf("setting value \"%s\" for property %u", text.c_str(), control.tag());
    // The write runs in the background; a refusal beeps and asks the camera
    // for its real value, which its announcement puts back in the control.
    _camera->setProperty(control.tag(), text,
                         [this](bool ok, const std::function<void()>& askAgain) {
                             performOnMainLater([this, ok, askAgain] {
                                 if (ok) return;
                                 env_.ui.beep();
                                 askAgain();
                             });
                         });
}

void AppController::setCameraClockToCurrent() {
    if (currentCamera()) _camera->setClock(env_.runLoop.now());
}

// ---- Shutter, live view and progress ---------------------------------------------

void AppController::pressShutterFull() {
    GLIMRA_Log::debug("press shutter fully!");
    _camera->pressShutterFull();
}

void AppController::pressShutterHalf() {
    GLIMRA_Log::debug("press shutter halfway!");
    _camera->pressShutterHalf();
}

void AppController::releaseShutter() {
    GLIMRA_Log::debug("release shutter!");
    _camera->releaseShutter();
}

void AppController::liveViewZoom(std::uint32_t tag) {
    _camera->liveViewZoom(tag);
}

void AppController::liveViewFocus(std::uint32_t tag) {
    _camera->liveViewFocus(tag);
}

void AppController::liveViewUpdated(const Data& jpeg) {
    if (!_isLiveView) return;
    if (jpeg.empty()) return;
    keepLoopFrame(jpeg);
    _EVFView.setImage(Picture::fromEncoded(kLiveViewPictureName, jpeg));
    if (_EVFView.isHidden()) _EVFView.setHidden(false);
}

void AppController::liveViewEndedByItself(const std::optional<CameraEntry>& camera) {
    if (isOtherThanCurrentCamera(camera) || isVideoInput() || !_isLiveView) return;
    const bool countdown = _screenNumber == 3 || _screenNumber == 4;
    if (!countdown) {
        GLIMRA_Log::debugf("live view of %s ended by itself on screen %u", describe(camera).c_str(),
                           _screenNumber);
        return;
    }
    // The guest would count down in front of a frozen picture. Once: a
    // camera that keeps stopping is not hammered for the rest of the turn.
    if (_liveViewRestarted) {
        GLIMRA_Log::errf(
            "live view of %s ended by itself again during the countdown; "
            "not started again",
            describe(camera).c_str());
        return;
    }
    _liveViewRestarted = true;
    GLIMRA_Log::errf("live view of %s ended by itself during the countdown; starting it again",
                     describe(camera).c_str());
    _camera->liveViewOn();
}

void AppController::downloadProgress(double percent) {
    _progress.setDoubleValue(std::clamp(percent, 0.0, 100.0));
}

void AppController::commandError(const std::optional<CameraEntry>& camera, bool shot,
                                 const CameraError& error, const std::string& command) {
    if (shot) {
        _progress.setDoubleValue(0);
        // The refused shot is the last one asked for: no picture comes for it.
        if (auto lost = _shots.loseNewest())
            shotLost(*lost,
                     "the camera refused the shot (" + error.text.value_or("unknown error") + ")");
    }
    GLIMRA_Log::debugf("received command error notification: %s %s", error.description.c_str(),
                       command.c_str());
    // The camera library's words beside the code reach the operator too.
    if (error.text)
        floatingAlertWithString(stringWithFormat("%s\nerror 0X%X: %s", describe(camera).c_str(),
                                                 static_cast<unsigned>(error.code.value_or(0)),
                                                 error.text->c_str()));
}

}  // namespace klik
