// The operator's camera panel: the camera menu, the current camera, the
// property controls, the camera clock, shutter and live-view buttons, the
// download progress and the floating notices about cameras.

#include <algorithm>
#include <chrono>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "camera/CameraNotifications.h"
#include "camera/QZNSImageFlipped.h"
#include "log/Log.h"
#include "log/StringUtils.h"

namespace klik {

namespace {

constexpr std::uint32_t kTagAv = 1029;
constexpr std::uint32_t kTagTv = 1030;
// How long a camera notice stays before it fades, and the fade.

std::string describe(const GLIMRA_Camera::Ptr& camera) {
    return camera ? camera->description() : "(null)";
}

std::string describe(const std::optional<std::vector<GLIMRA_Camera::Ptr>>& cameras) {
    if (!cameras) return "(null)";
    std::string out = "(";
    for (size_t i = 0; i < cameras->size(); ++i)
        out += (i ? ", \"" : "\"") + (*cameras)[i]->description() + "\"";
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

bool AppController::observeCameraNotifications() {
    observeCamera(GLIMRA_CameraAdded, &AppController::cameraAdded);
    observeCamera(GLIMRA_CameraDidLoad, &AppController::cameraDidLoad);
    observeCamera(GLIMRA_CameraListDidUpdate, &AppController::cameraListUpdated);
    observeCamera(GLIMRA_CameraDidUnload, &AppController::cameraDisappeared);
    observeCamera(GLIMRA_CameraLiveViewImageUpdate, &AppController::liveViewUpdated);
    observeCamera(GLIMRA_CameraPropertiesDidChange, &AppController::cameraPropertiesChanged);
    observeCamera(GLIMRA_CameraPropertyDidChange, &AppController::cameraPropertyChanged);
    observeCamera(GLIMRA_CameraDownloadProgress, &AppController::downloadProgress);
    observeCamera(GLIMRA_CameraCommandError, &AppController::commandError);
    observeCamera(GLIMRA_CameraDownloadFailed, &AppController::downloadFailed);
    // Until the first list arrives (none does while no camera is found) the
    // menu says there is none.
    updateCameraPopupWithCameras(std::nullopt);
    return true;
}

void AppController::observeCamera(const char* name,
                                  void (AppController::*handler)(const Notification&)) {
    // The handlers change views, so they run on the main thread whatever
    // thread the camera posts on.
    _cameraObservers.push_back(
        env_.center.addObserver(name, [this, handler](const Notification& n) {
            if (env_.runLoop.isMainThread()) {
                (this->*handler)(n);
                return;
            }
            performOnMainLater([this, handler, n] { (this->*handler)(n); });
        }));
}

void AppController::tearDownCameraPanel() {
    for (auto id : _cameraObservers) env_.center.removeObserver(id);
    _cameraObservers.clear();
    stopCameraClockTimer();
    // The delegate goes with this controller: no camera may keep it.
    releaseCameraDelegate(currentCamera());
    for (const auto& item : _cameraPanel.cameraItems()) releaseCameraDelegate(item.camera);
}

void AppController::releaseCameraDelegate(const GLIMRA_Camera::Ptr& camera) {
    if (camera && camera->delegate() == &_cameraDelegate) camera->setDelegate(nullptr);
}

GLIMRA_Camera::Ptr AppController::cameraForNotification(const Notification& n) const {
    const void* sender = n.sender();
    if (!sender) return nullptr;
    // Only cameras this side knows are trusted: the object may be anything.
    for (const auto& item : _cameraPanel.cameraItems())
        if (item.camera.get() == sender) return item.camera;
    if (auto loaded = currentCamera(); loaded.get() == sender) return loaded;
    if (auto list = GLIMRA_Camera::cameras())
        for (const auto& c : *list)
            if (c.get() == sender) return c;
    return nullptr;
}

// ---- Camera choice -------------------------------------------------------------

void AppController::cameraListUpdated(const Notification&) {
    GLIMRA_Log::debug("GLIMRA_CameraListDidUpdate!");
    auto cameras = GLIMRA_Camera::cameras();
    GLIMRA_Log::debug("now cameras = " + describe(cameras));
    updateCameraPopupWithCameras(cameras);
    if (cameras && !cameras->empty() && !currentCamera()) setCurrentCamera(cameras->front());
}

void AppController::updateCameraPopupWithCameras(
    const std::optional<std::vector<GLIMRA_Camera::Ptr>>& cameras) {
    _cameraPanel.removeAllCameraItems();
    if (cameras)
        for (const auto& c : *cameras) _cameraPanel.addCameraItem({c->description(), c});
    if (_cameraPanel.cameraItems().empty()) {
        _cameraPanel.addCameraItem({"No Cameras available", nullptr});
        updateCameraProperties();
        return;
    }
    // Keep the current camera selected when it is still listed.
    const GLIMRA_Camera::Ptr current = currentCamera();
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

void AppController::setCurrentCamera(const GLIMRA_Camera::Ptr& camera) {
    GLIMRA_Log::debug("setting current camera to " + describe(camera));
    if (camera) {
        // Loading reads the whole camera: it runs in the background and
        // the camera becomes current when its GLIMRA_CameraDidLoad arrives.
        camera->loadInBackground();
        return;
    }
    stopCameraClockTimer();
    if (GLIMRA_Camera::Ptr old = currentCamera()) {
        releaseCameraDelegate(old);
        old->unloadInBackground();
    }
    updateCameraProperties();
}

void AppController::cameraDidLoad(const Notification& n) {
    GLIMRA_Log::debug("GLIMRA_CameraDidLoad!");
    GLIMRA_Camera::Ptr camera = cameraForNotification(n);
    if (!camera) {
        GLIMRA_Log::debug("GLIMRA_CameraDidLoad without a known camera; ignored");
        return;
    }
    // The announcement comes after the fact: a camera that has gone again,
    // or been replaced, by now is not the one in use.
    if (camera != currentCamera()) {
        GLIMRA_Log::debug("GLIMRA_CameraDidLoad for " + camera->description() +
                          ", which is no longer loaded; ignored");
        return;
    }
    stopCameraClockTimer();
    for (const auto& item : _cameraPanel.cameraItems())
        if (item.camera != camera) releaseCameraDelegate(item.camera);
    camera->setDelegate(&_cameraDelegate);
    const auto& items = _cameraPanel.cameraItems();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].camera == camera) _cameraPanel.selectCameraItem(static_cast<int>(i));
    updateCameraProperties();
    GLIMRA_Log::debug("set current camera to \"" + camera->description() + "\"!!");
    floatingAlertWithString(camera->description() + "\nAvailable!");
    // A kiosk in the continuous mode waits on screen 1 while it has no
    // camera; with one it goes on.
    if (_screenNumber == 1 && cyclesWithoutGuest() && !isVideoInput()) startOver();
}

void AppController::cameraAdded(const Notification&) {
    GLIMRA_Log::debug("GLIMRA_CameraAdded!");
    GLIMRA_Log::debug("now cameras = " + describe(GLIMRA_Camera::cameras()));
}

void AppController::cameraDisappeared(const Notification& n) {
    GLIMRA_Camera::Ptr camera = cameraForNotification(n);
    GLIMRA_Log::debug("GLIMRA_CameraDisappeared: " + describe(camera));
    if (camera)
        floatingAlertWithString(camera->description() + "\nDISCONNECTED!");
    else
        floatingAlertWithString("NO Camera Found!!!\nPlease Check Your Connection!");
    // No picture comes any more for a shot the camera had not delivered:
    // the camera this panel was using went (it may have been replaced by
    // now), or none is left.
    const bool wasInUse = camera && camera->delegate() == &_cameraDelegate;
    if (wasInUse || !(_camera && _camera->hasCamera())) {
        const std::string cause = "the camera " +
                                  (camera ? camera->description() + " " : std::string()) +
                                  "was disconnected";
        for (const ShotRequest& r : _shots.loseAll()) shotLost(r, cause);
    }
    releaseCameraDelegate(camera);
    // Without a camera the controls are emptied; a camera loaded in its
    // place fills them when its load is announced.
    if (!currentCamera()) setCurrentCamera(nullptr);
}

// ---- Property controls -----------------------------------------------------------

void AppController::updateCameraProperties() {
    const GLIMRA_Camera::Ptr camera = currentCamera();
    if (!camera) {
        for (std::uint32_t tag : CameraPanel::refreshedTags())
            updateControlWithTagWithValues(tag, std::nullopt);
        return;
    }
    // Text fields are emptied now, as a refresh does; the menus' lists are
    // read in the background and each is announced
    // (GLIMRA_CameraPropertiesDidChange), which fills its menu.
    std::vector<std::uint32_t> menus;
    for (std::uint32_t tag : CameraPanel::refreshedTags()) {
        CameraControl* control = viewWithTag(tag);
        if (control && control->isTextField()) control->setStringValue("");
        if (control && control->isPopUpMenu()) menus.push_back(tag);
    }
    camera->performInBackground([menus](GLIMRA_Camera& c) { c.announceSupportedValues(menus); });
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
    GLIMRA_Log::debugf(
        "trying to update control %s %s (%u) with value %s", describe(*control).c_str(),
        GLIMRA_Camera::stringNameForPropertyID(tag).c_str(), tag, value.description().c_str());
    std::optional<std::string> text;
    if (value.isNumber())
        text = GLIMRA_Camera::stringForPropertyID(tag,
                                                  static_cast<std::uint32_t>(value.integerValue()));
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
        CameraControl* clock = viewWithTag(kCamPropID_DateTime);
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

bool AppController::isOtherThanCurrentCamera(const GLIMRA_Camera::Ptr& camera) const {
    return camera && camera != currentCamera();
}

void AppController::cameraPropertiesChanged(const Notification& n) {
    GLIMRA_Camera::Ptr camera = cameraForNotification(n);
    GLIMRA_Log::debug("GLIMRA_CameraPropertiesDidChange for camera " + describe(camera));
    // Answers arrive after the fact: those of a camera no longer in use
    // would fill the panel with another camera's lists.
    if (isOtherThanCurrentCamera(camera)) return;
    const Value& values = n.info(GLIMRA_CameraProperties);
    std::optional<Dictionary> dict;
    if (const Dictionary* d = values.dictionary()) dict = *d;
    updateControlWithTagWithValues(
        static_cast<std::uint32_t>(n.info(GLIMRA_CameraPropertyID).integerValue()), dict);
}

void AppController::cameraPropertyChanged(const Notification& n) {
    GLIMRA_Camera::Ptr camera = cameraForNotification(n);
    const std::string name = n.info(GLIMRA_CameraPropertyName).stringOr();
    const Value& text = n.info(GLIMRA_CameraProperty);
    const std::string shown = text.string() ? *text.string() : text.description();
    if (isOtherThanCurrentCamera(camera)) {
        GLIMRA_Log::debug("ignoring property " + name + " of " + describe(camera) +
                          ", which is not the current camera");
        return;
    }
    if (name == "AEMode") {
        setEnabledForAEMode(n.info(GLIMRA_CameraPropertyValue));
        floatingAlertWithString(describe(camera) + "\nAuto Exposure set to " + shown);
    } else if (name == "BatteryLevel") {
        floatingAlertWithString(describe(camera) + "\nBATTERY LEVEL now " + shown);
    }
    updateControlWithTagWithValue(
        static_cast<std::uint32_t>(n.info(GLIMRA_CameraPropertyID).integerValue()), text);
}

void AppController::setEnabledForAEMode(const Value& rawValue) {
    const std::int64_t mode = rawValue.isNumber() ? rawValue.integerValue() : 0;
    const bool tv = mode == 3 || mode == 1;
    const bool av = mode == 3 || mode == 2;
    if (CameraControl* c = viewWithTag(kTagTv)) c->setEnabled(tv);
    if (CameraControl* c = viewWithTag(kTagAv)) c->setEnabled(av);
}

void AppController::setCameraProperty(CameraControl& control) {
    const GLIMRA_Camera::Ptr camera = currentCamera();
    if (!camera) {
        GLIMRA_Log::debugf("no current camera to set property %u on", control.tag());
        return;
    }
    if (control.isDatePicker()) {
        if (const auto when = control.dateValue())
            camera->performInBackground(
                [when = *when](GLIMRA_Camera& c) { c.setCameraClock(when); });
        return;
    }
    const std::string text =
        control.isPopUpMenu() ? control.titleOfSelectedItem() : control.stringValue();
    GLIMRA_Log::debugf("setting value \"%s\" for property %u", text.c_str(), control.tag());
    // The write runs in the background; a refusal beeps and asks the camera
    // for its real value, which its announcement puts back in the control.
    const std::uint32_t tag = control.tag();
    camera->setStringValueInBackground(text, tag, [this, camera, tag](bool ok) {
        performOnMainLater([this, camera, tag, ok] {
            if (ok) return;
            env_.ui.beep();
            camera->performInBackground(
                [tag](GLIMRA_Camera& c) { c.updateValueForPropertyID(tag); });
        });
    });
}

void AppController::setCameraClockToCurrent() {
    if (const GLIMRA_Camera::Ptr camera = currentCamera())
        camera->performInBackground(
            [when = env_.runLoop.now()](GLIMRA_Camera& c) { c.setCameraClock(when); });
}

// ---- Shutter, live view and progress ---------------------------------------------

void AppController::pressShutterFull() {
    GLIMRA_Log::debug("press shutter fully!");
    const GLIMRA_Camera::Ptr camera = currentCamera();
    if (!camera) return;
    camera->pressShutterFull();
    camera->performNextQueuedCameraCommand();
}

void AppController::pressShutterHalf() {
    GLIMRA_Log::debug("press shutter halfway!");
    const GLIMRA_Camera::Ptr camera = currentCamera();
    if (!camera) return;
    camera->pressShutterHalf();
    camera->performNextQueuedCameraCommand();
}

void AppController::releaseShutter() {
    GLIMRA_Log::debug("release shutter!");
    const GLIMRA_Camera::Ptr camera = currentCamera();
    if (!camera) return;
    camera->releaseShutter();
    camera->performNextQueuedCameraCommand();
}

void AppController::liveViewZoom(std::uint32_t tag) {
    if (const GLIMRA_Camera::Ptr camera = currentCamera())
        camera->performInBackground([tag](GLIMRA_Camera& c) { c.liveViewSetZoom(tag); });
}

void AppController::liveViewFocus(std::uint32_t tag) {
    if (const GLIMRA_Camera::Ptr camera = currentCamera()) camera->liveViewDriveAF(tag);
}

void AppController::liveViewUpdated(const Notification& n) {
    if (!_isLiveView) return;
    const OpaqueObject* o = n.info(GLIMRA_CameraLiveViewImage).object();
    // The camera posts its frames as decoded images that keep their JPEG;
    // anything else in their place is ignored.
    auto frame = o ? o->as<QZNSImageFlipped>() : nullptr;
    if (!frame || frame->data().empty()) return;
    _EVFView.setImage(Picture::fromEncoded(kLiveViewPictureName, frame->data()));
    if (_EVFView.isHidden()) _EVFView.setHidden(false);
}

void AppController::downloadProgress(const Notification& n) {
    const Value& percent = n.info(GLIMRA_CameraDownloadProgressPercent);
    if (!percent.isNumber()) return;
    _progress.setDoubleValue(std::clamp(percent.doubleValue(), 0.0, 100.0));
}

void AppController::commandError(const Notification& n) {
    const Value& command = n.info(GLIMRA_CameraCommandDictionary);
    const Value& number = command["commandNumber"];
    if (number.isNumber() && number.integerValue() == kCamCommand_TakePicture) {
        _progress.setDoubleValue(0);
        // The refused shot is the last one asked for: no picture comes for it.
        if (auto lost = _shots.loseNewest())
            shotLost(*lost, "the camera refused the shot (" +
                                n.info(GLIMRA_CameraCommandError)[kCameraErrorUserInfoKey]
                                                                 [kCameraErrorDescriptionKey]
                                                                     .stringOr("unknown error") +
                                ")");
    }
    GLIMRA_Log::debugf("received command error notification: %s %s",
                       n.info(GLIMRA_CameraCommandError).description().c_str(),
                       command.description().c_str());
    // The camera library's words beside the code reach the operator too.
    const Value& error = n.info(GLIMRA_CameraCommandError);
    const Value& text = error[kCameraErrorUserInfoKey][kCameraErrorDescriptionKey];
    if (const std::string* words = text.string())
        floatingAlertWithString(stringWithFormat(
            "%s\nerror 0X%X: %s", describe(cameraForNotification(n)).c_str(),
            static_cast<unsigned>(error[kCameraErrorCodeKey].integerValue()), words->c_str()));
}

}  // namespace klik
