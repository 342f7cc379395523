#include "camera/RegistryCameraPort.h"

#include <string_view>

#include "app/PhotoPipelinePort.h"
#include "camera/CameraNotifications.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/sdk/CamSDK.h"
#include "log/Log.h"

namespace klik {

namespace {

// The panel names the properties with the camera's own numbers.
static_assert(camprop::OwnerName == kCamPropID_OwnerName);
static_assert(camprop::DateTime == kCamPropID_DateTime);
static_assert(camprop::FirmwareVersion == kCamPropID_FirmwareVersion);
static_assert(camprop::BatteryLevel == kCamPropID_BatteryLevel);
static_assert(camprop::BatteryQuality == kCamPropID_BatteryQuality);
static_assert(camprop::ImageQuality == kCamPropID_ImageQuality);
static_assert(camprop::WhiteBalance == kCamPropID_WhiteBalance);
static_assert(camprop::AEMode == kCamPropID_AEMode);
static_assert(camprop::DriveMode == kCamPropID_DriveMode);
static_assert(camprop::ISOSpeed == kCamPropID_ISOSpeed);
static_assert(camprop::MeteringMode == kCamPropID_MeteringMode);
static_assert(camprop::AFMode == kCamPropID_AFMode);
static_assert(camprop::Av == kCamPropID_Av);
static_assert(camprop::Tv == kCamPropID_Tv);
static_assert(camprop::ExposureCompensation == kCamPropID_ExposureCompensation);
static_assert(camprop::Artist == kCamPropID_Artist);
static_assert(camprop::Copyright == kCamPropID_Copyright);
static_assert(camcontrol::HalfPress == kCamControl_HalfPress);
static_assert(camcontrol::Autofocus == kCamControl_Autofocus);
static_assert(camcontrol::EvfZoom == kCamControl_EvfZoom);
static_assert(camcontrol::EvfZoomPosition == kCamControl_EvfZoomPosition);
static_assert(camcontrol::ManualFocusDrive == kCamControl_ManualFocusDrive);
static_assert(camcontrol::All == kCamControl_All);
// The photo notification's user information is handed on whole as the
// photo's dictionary, so its keys must be the photo module's.
static_assert(std::string_view(kPhotoDataKey) == GLIMRA_CameraPhotoData);
static_assert(std::string_view(kPhotoFilenameKey) == GLIMRA_CameraPhotoFilename);
static_assert(std::string_view(kPhotoRawDataKey) == GLIMRA_CameraRawData);
static_assert(std::string_view(kPhotoRawFilenameKey) == GLIMRA_CameraRawFilename);

CameraError errorFrom(const Value& error) {
    CameraError e;
    if (const Value& code = error[kCameraErrorCodeKey]; code.isNumber())
        e.code = code.integerValue();
    if (const std::string* text =
            error[kCameraErrorUserInfoKey][kCameraErrorDescriptionKey].string())
        e.text = *text;
    e.description = error.description();
    return e;
}

}  // namespace

RegistryCameraPort::RegistryCameraPort(NotificationCenter& center) : center_(center) {}

RegistryCameraPort::~RegistryCameraPort() {
    stopObserving();
}

void RegistryCameraPort::setListener(CameraPortListener* listener) {
    stopObserving();
    listener_ = listener;
    if (!listener_) return;
    observe(GLIMRA_CameraAdded, &RegistryCameraPort::added);
    observe(GLIMRA_CameraDidLoad, &RegistryCameraPort::loaded);
    observe(GLIMRA_CameraListDidUpdate, &RegistryCameraPort::listed);
    observe(GLIMRA_CameraDidUnload, &RegistryCameraPort::unloaded);
    observe(GLIMRA_CameraLiveViewImageUpdate, &RegistryCameraPort::liveViewFrame);
    observe(GLIMRA_CameraLiveViewDidEnd, &RegistryCameraPort::liveViewEnded);
    observe(GLIMRA_CameraPropertiesDidChange, &RegistryCameraPort::propertiesChanged);
    observe(GLIMRA_CameraPropertyDidChange, &RegistryCameraPort::propertyChanged);
    observe(GLIMRA_CameraDownloadProgress, &RegistryCameraPort::downloadProgress);
    observe(GLIMRA_CameraCommandError, &RegistryCameraPort::commandError);
    observe(GLIMRA_CameraDownloadFailed, &RegistryCameraPort::downloadFailed);
    observe(GLIMRA_CameraPhotoDataAvailable, &RegistryCameraPort::photoArrived);
}

void RegistryCameraPort::observe(const char* name,
                                 void (RegistryCameraPort::*handler)(const Notification&)) {
    observers_.push_back(
        center_.addObserver(name, [this, handler](const Notification& n) { (this->*handler)(n); }));
}

void RegistryCameraPort::stopObserving() {
    for (auto id : observers_) center_.removeObserver(id);
    observers_.clear();
}

// ---- Identities ------------------------------------------------------------------

std::optional<CameraEntry> RegistryCameraPort::entryFor(const GLIMRA_Camera::Ptr& camera) const {
    if (!camera) return std::nullopt;
    std::lock_guard hold(lock_);
    Known& known = ids_[camera.get()];
    // A new camera at the address of one that has gone is another camera.
    if (known.camera.lock() != camera) known = Known{camera, nextId_++};
    return CameraEntry{known.id, camera->description()};
}

GLIMRA_Camera::Ptr RegistryCameraPort::cameraFor(const CameraEntry& camera) const {
    std::vector<GLIMRA_Camera::Ptr> candidates;
    {
        std::lock_guard hold(lock_);
        candidates = listed_;
    }
    if (auto loaded = GLIMRA_Camera::loadedCamera()) candidates.push_back(loaded);
    if (auto list = GLIMRA_Camera::cameras())
        candidates.insert(candidates.end(), list->begin(), list->end());
    for (const auto& c : candidates)
        if (auto entry = entryFor(c); entry && entry->id == camera.id) return c;
    return nullptr;
}

GLIMRA_Camera::Ptr RegistryCameraPort::cameraForNotification(const Notification& n) const {
    const void* sender = n.sender();
    if (!sender) return nullptr;
    // Only cameras this side knows are trusted: the object may be anything.
    {
        std::lock_guard hold(lock_);
        for (const auto& c : listed_)
            if (c.get() == sender) return c;
    }
    if (auto loaded = GLIMRA_Camera::loadedCamera(); loaded.get() == sender) return loaded;
    if (auto list = GLIMRA_Camera::cameras())
        for (const auto& c : *list)
            if (c.get() == sender) return c;
    return nullptr;
}

std::optional<CameraEntry> RegistryCameraPort::senderOf(const Notification& n) const {
    return entryFor(cameraForNotification(n));
}

// ---- Operations ------------------------------------------------------------------

bool RegistryCameraPort::hasCamera() const {
    return GLIMRA_Camera::loadedCamera() != nullptr;
}

bool RegistryCameraPort::isOpeningCamera() const {
    if (GLIMRA_Camera::loadedCamera()) return false;
    if (GLIMRA_Camera::isScanning() || GLIMRA_Camera::backgroundWorkPending()) return true;
    // A busy list is one being changed: a camera is coming or going.
    auto list = GLIMRA_Camera::cameras();
    return !list || !list->empty();
}

std::optional<CameraEntry> RegistryCameraPort::currentCamera() const {
    return entryFor(GLIMRA_Camera::loadedCamera());
}

std::optional<std::vector<CameraEntry>> RegistryCameraPort::cameras() const {
    auto list = GLIMRA_Camera::cameras();
    if (!list) return std::nullopt;
    std::vector<CameraEntry> out;
    for (const auto& c : *list) out.push_back(*entryFor(c));
    return out;
}

void RegistryCameraPort::chooseCamera(const CameraEntry& camera) {
    // Loading reads the whole camera: it runs in the background and the
    // camera becomes current when its GLIMRA_CameraDidLoad arrives.
    if (GLIMRA_Camera::Ptr c = cameraFor(camera)) c->loadInBackground();
}

std::uint32_t RegistryCameraPort::controls() const {
    GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera();
    return camera ? camera->controls() : camcontrol::All;
}

void RegistryCameraPort::unloadCurrentCamera() {
    if (GLIMRA_Camera::Ptr c = GLIMRA_Camera::loadedCamera()) c->unloadInBackground();
}

void RegistryCameraPort::queueOnLoaded(void (GLIMRA_Camera::*command)(), const char* what) {
    GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera();
    if (!camera) {
        if (what) GLIMRA_Log::debugf("no loaded camera to %s", what);
        return;
    }
    ((*camera).*command)();
    camera->performNextQueuedCameraCommand();
}

void RegistryCameraPort::takePicture() {
    queueOnLoaded(&GLIMRA_Camera::takePicture, "take a picture with");
}

void RegistryCameraPort::pressShutterFull() {
    queueOnLoaded(&GLIMRA_Camera::pressShutterFull, nullptr);
}

void RegistryCameraPort::pressShutterHalf() {
    queueOnLoaded(&GLIMRA_Camera::pressShutterHalf, nullptr);
}

void RegistryCameraPort::releaseShutter() {
    queueOnLoaded(&GLIMRA_Camera::releaseShutter, nullptr);
}

void RegistryCameraPort::liveViewOn() {
    GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera();
    if (!camera) {
        GLIMRA_Log::debug("no loaded camera to start live view on");
        return;
    }
    camera->performInBackground([](GLIMRA_Camera& c) { c.liveViewBegin(); });
}

void RegistryCameraPort::liveViewOff() {
    GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera();
    if (!camera) {
        GLIMRA_Log::debug("no loaded camera to end live view on");
        return;
    }
    camera->performInBackground([](GLIMRA_Camera& c) { c.liveViewEnd(); });
}

void RegistryCameraPort::liveViewZoom(std::uint32_t tag) {
    if (GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera())
        camera->performInBackground([tag](GLIMRA_Camera& c) { c.liveViewSetZoom(tag); });
}

void RegistryCameraPort::liveViewFocus(std::uint32_t tag) {
    if (GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera()) camera->liveViewDriveAF(tag);
}

void RegistryCameraPort::refreshPropertyValues(const std::vector<std::uint32_t>& tags) {
    if (GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera())
        camera->performInBackground([tags](GLIMRA_Camera& c) { c.announceSupportedValues(tags); });
}

void RegistryCameraPort::setProperty(std::uint32_t tag, const std::string& text, WriteDone done) {
    GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera();
    if (!camera) return;
    camera->setStringValueInBackground(text, tag, [camera, tag, done](bool ok) {
        done(ok, [camera, tag] {
            camera->performInBackground(
                [tag](GLIMRA_Camera& c) { c.updateValueForPropertyID(tag); });
        });
    });
}

void RegistryCameraPort::setClock(Date when) {
    if (GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera())
        camera->performInBackground([when](GLIMRA_Camera& c) { c.setCameraClock(when); });
}

std::string RegistryCameraPort::propertyName(std::uint32_t tag) const {
    return GLIMRA_Camera::stringNameForPropertyID(tag);
}

std::string RegistryCameraPort::propertyText(std::uint32_t tag, std::uint32_t raw) const {
    return GLIMRA_Camera::stringForPropertyID(tag, raw);
}

// ---- Events ----------------------------------------------------------------------

void RegistryCameraPort::added(const Notification&) {
    listener_->cameraAdded();
}

void RegistryCameraPort::listed(const Notification&) {
    auto list = GLIMRA_Camera::cameras();
    std::optional<std::vector<CameraEntry>> entries;
    if (list) {
        entries.emplace();
        for (const auto& c : *list) entries->push_back(*entryFor(c));
        std::lock_guard hold(lock_);
        listed_ = *list;
    }
    listener_->camerasListed(entries);
}

void RegistryCameraPort::loaded(const Notification& n) {
    listener_->cameraLoaded(senderOf(n));
}

void RegistryCameraPort::unloaded(const Notification& n) {
    listener_->cameraUnloaded(senderOf(n));
}

void RegistryCameraPort::propertiesChanged(const Notification& n) {
    const Value& values = n.info(GLIMRA_CameraProperties);
    std::optional<Dictionary> dict;
    if (const Dictionary* d = values.dictionary()) dict = *d;
    listener_->cameraPropertyValuesChanged(
        senderOf(n), static_cast<std::uint32_t>(n.info(GLIMRA_CameraPropertyID).integerValue()),
        dict);
}

void RegistryCameraPort::propertyChanged(const Notification& n) {
    listener_->cameraPropertyChanged(
        senderOf(n), n.info(GLIMRA_CameraPropertyName).stringOr(),
        static_cast<std::uint32_t>(n.info(GLIMRA_CameraPropertyID).integerValue()),
        n.info(GLIMRA_CameraPropertyValue), n.info(GLIMRA_CameraProperty));
}

void RegistryCameraPort::liveViewFrame(const Notification& n) {
    const OpaqueObject* o = n.info(GLIMRA_CameraLiveViewImage).object();
    // The camera posts its frames as decoded images that keep their JPEG;
    // anything else in their place is ignored.
    auto frame = o ? o->as<QZNSImageFlipped>() : nullptr;
    if (!frame || frame->data().empty()) return;
    listener_->cameraLiveViewFrame(frame->data());
}

void RegistryCameraPort::liveViewEnded(const Notification& n) {
    listener_->cameraLiveViewEnded(senderOf(n));
}

void RegistryCameraPort::downloadProgress(const Notification& n) {
    const Value& percent = n.info(GLIMRA_CameraDownloadProgressPercent);
    if (!percent.isNumber()) return;
    listener_->cameraDownloadProgress(percent.doubleValue());
}

void RegistryCameraPort::commandError(const Notification& n) {
    const Value& command = n.info(GLIMRA_CameraCommandDictionary);
    const Value& number = command["commandNumber"];
    const bool shot = number.isNumber() && number.integerValue() == kCamCommand_TakePicture;
    listener_->cameraCommandFailed(senderOf(n), shot, errorFrom(n.info(GLIMRA_CameraCommandError)),
                                   command.description());
}

void RegistryCameraPort::photoArrived(const Notification& n) {
    static const Dictionary none;
    listener_->cameraPhotoArrived(n.userInfo ? *n.userInfo : none);
}

void RegistryCameraPort::downloadFailed(const Notification& n) {
    listener_->cameraDownloadFailed(n.info(GLIMRA_CameraPhotoFilename).stringOr(""),
                                    errorFrom(n.info(GLIMRA_CameraDownloadError)));
}

}  // namespace klik
