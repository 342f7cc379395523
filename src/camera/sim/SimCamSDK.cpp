#include "camera/sim/SimCamSDK.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <thread>

#include "camera/CamTables.h"
#include "camera/sim/SimJpeg.h"
#include "log/Log.h"

namespace klik {

namespace {

constexpr CamError kUnknownCommand = 0xA001;
constexpr CamError kOperationRefused = 0xA005;

// "1/60" -> 1/60, "0\"5" -> 5/10, "30\"" -> 30/1; anything else 1/60.
void exposureFromTv(std::uint32_t tv, std::uint32_t& num, std::uint32_t& den) {
    std::string t = strForCameraTv(tv);
    unsigned a = 0, b = 0;
    num = 1, den = 60;
    if (std::sscanf(t.c_str(), "1/%u", &b) == 1 && b) {
        num = 1, den = b;
    } else if (std::sscanf(t.c_str(), "%u\"%u", &a, &b) == 2) {
        num = a * 10 + b, den = 10;
    } else if (std::sscanf(t.c_str(), "%u\"", &a) == 1) {
        num = a, den = 1;
    }
}

std::uint32_t fNumberTenths(std::uint32_t av) {
    double f = 0;
    if (std::sscanf(strForCameraAv(av), "%lf", &f) == 1 && f > 0)
        return static_cast<std::uint32_t>(std::lround(f * 10));
    return 56;
}

std::uint16_t isoNumber(std::uint32_t iso) {
    unsigned n = 0;
    if (std::sscanf(strForCameraISO(iso), "ISO %u", &n) == 1) return static_cast<std::uint16_t>(n);
    return 100;
}

}  // namespace

SimCamSDK::SimCamSDK(SimConfig config)
    : config_(std::move(config)), singleWorker_(config_.singleWorker) {
    for (const auto& spec : config_.cameras) {
        auto cam = std::make_shared<SimCamera>(nextCameraId_++, spec);
        cam->ref = new SimCameraRef;
        cam->ref->camera = cam;
        live_.insert(cam->ref);
        cameras_.push_back(cam);
    }
}

SimCamSDK::~SimCamSDK() {
    // Event work (a download in progress, a state event) uses the objects
    // freed below, and members are destroyed only after this body has run:
    // the event thread is stopped here, first.
    events_.stop();
    std::lock_guard lock(mutex_);
    for (const CamObject* o : live_) delete o;
    live_.clear();
}

// --- control ---

int SimCamSDK::plugCamera(const SimCameraSpec& spec) {
    int id;
    {
        std::lock_guard lock(mutex_);
        id = nextCameraId_++;
        auto cam = std::make_shared<SimCamera>(id, spec);
        cam->ref = new SimCameraRef;
        cam->ref->camera = cam;
        live_.insert(cam->ref);
        cameras_.push_back(cam);
    }
    events_.post([this] { raiseCameraAdded(); });
    return id;
}

bool SimCamSDK::unplugCamera(int id) {
    std::lock_guard lock(mutex_);
    for (const auto& cam : cameras_) {
        if (cam->id == id) {
            unplugLocked(cam);
            return true;
        }
    }
    return false;
}

// By value: the caller's may be the very element of cameras_ erased here.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void SimCamSDK::unplugLocked(std::shared_ptr<SimCamera> cam) {
    if (!cam->connected) return;
    cam->connected = false;
    cam->sessionOpen = false;
    cameras_.erase(std::remove(cameras_.begin(), cameras_.end(), cam), cameras_.end());
    SimCameraRef* own = cam->ref;
    cam->ref = nullptr;
    if (own) releaseLocked(own);
    events_.post([this, cam] { raiseStateEvent(*cam, kCamStateEvent_Shutdown); });
}

std::vector<int> SimCamSDK::pluggedCameras() const {
    std::lock_guard lock(mutex_);
    std::vector<int> ids;
    for (const auto& c : cameras_) ids.push_back(c->id);
    return ids;
}

void SimCamSDK::setFault(const std::string& call, const SimFault& f) {
    std::lock_guard lock(mutex_);
    config_.faults[call] = f;
}

void SimCamSDK::clearFaults() {
    std::lock_guard lock(mutex_);
    config_.faults.clear();
    config_.vanishDuringDownloadAtPercent.reset();
}

void SimCamSDK::setVanishDuringDownload(std::optional<std::uint32_t> percent) {
    std::lock_guard lock(mutex_);
    config_.vanishDuringDownloadAtPercent = percent;
}

void SimCamSDK::setDelayHandler(DelayHandler handler) {
    std::lock_guard lock(mutex_);
    delay_ = std::move(handler);
}

void SimCamSDK::setCaptureDelay(double seconds) {
    std::lock_guard lock(mutex_);
    config_.captureDelay = seconds;
}

void SimCamSDK::setPictureSize(int width, int height) {
    std::lock_guard lock(mutex_);
    config_.pictureWidth = width;
    config_.pictureHeight = height;
}

std::vector<SimCamSDK::SentCommand> SimCamSDK::sentCommands() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

size_t SimCamSDK::outstandingReferences() const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const CamObject* o : live_) {
        auto* r = static_cast<const CamRef*>(o);
        auto* c = dynamic_cast<const SimCameraRef*>(r);
        // A connected camera's reference holds one count for the SDK itself.
        bool own = c && c->camera && c->camera->ref == c;
        n += own ? r->refs - 1 : r->refs;
    }
    return n;
}

std::uint32_t SimCamSDK::propertyValue(int id, CamPropertyID prop) const {
    std::lock_guard lock(mutex_);
    for (const auto& c : cameras_)
        if (c->id == id) return c->u32(prop);
    return 0;
}

void SimCamSDK::turnDial(int id, CamPropertyID prop, std::uint32_t value) {
    std::lock_guard lock(mutex_);
    for (const auto& c : cameras_) {
        if (c->id != id) continue;
        c->setU32(prop, value);
        postPropertyEvent(c, kCamPropertyEvent_PropertyChanged, prop);
        if (prop == kCamPropID_AEMode)
            for (CamPropertyID changed : c->applyAEMode(value))
                postPropertyEvent(c, kCamPropertyEvent_PropertyDescChanged, changed);
    }
}

bool SimCamSDK::isLiveViewActive(int id) const {
    std::lock_guard lock(mutex_);
    for (const auto& c : cameras_)
        if (c->id == id) return c->sessionOpen && (c->u32(kCamPropID_Evf_OutputDevice) & 2);
    return false;
}

std::uint64_t SimCamSDK::picturesMade() const {
    std::lock_guard lock(mutex_);
    return pictureSerial_;
}

std::vector<SimCamSDK::DeliveredPicture> SimCamSDK::deliveredPictures(std::size_t from) const {
    std::lock_guard lock(mutex_);
    if (from >= delivered_.size()) return {};
    return {delivered_.begin() + static_cast<std::ptrdiff_t>(from), delivered_.end()};
}

std::size_t SimCamSDK::deliveredCount() const {
    std::lock_guard lock(mutex_);
    return delivered_.size();
}

std::string SimCamSDK::pictureUniqueId(std::uint64_t serial) {
    char id[40];
    std::snprintf(id, sizeof id, "KLIKSIM%025llu", static_cast<unsigned long long>(serial));
    return id;
}

int SimCamSDK::callCount(const std::string& call) const {
    std::lock_guard lock(mutex_);
    auto it = calls_.find(call);
    return it == calls_.end() ? 0 : it->second;
}

unsigned SimCamSDK::liveViewFrameCount(int id) const {
    std::lock_guard lock(mutex_);
    for (const auto& c : cameras_)
        if (c->id == id) return c->frameNumber;
    return 0;
}

size_t SimCamSDK::liveViewCallerThreads(int id) const {
    std::lock_guard lock(mutex_);
    for (const auto& c : cameras_)
        if (c->id == id) return c->liveViewCallers.size();
    return 0;
}

bool SimCamSDK::isSessionOpen(int id) const {
    std::lock_guard lock(mutex_);
    for (const auto& c : cameras_)
        if (c->id == id) return c->sessionOpen;
    return false;
}

// --- helpers ---

void SimCamSDK::setForbiddenThread(std::optional<std::thread::id> thread) {
    std::lock_guard lock(mutex_);
    forbiddenThread_ = thread;
}

int SimCamSDK::forbiddenThreadCalls() const {
    std::lock_guard lock(mutex_);
    return forbiddenCalls_;
}

template <class F>
std::optional<CamError> SimCamSDK::onWorker(const char* name, F&& call) {
    if (!singleWorker_ || events_.isEventThread()) return std::nullopt;
    {
        std::lock_guard lock(mutex_);
        if (forbiddenThread_ && *forbiddenThread_ == std::this_thread::get_id()) {
            ++forbiddenCalls_;
            GLIMRA_Log::err(std::string("simulated camera: ") + name +
                            " called on the main thread, which it would block");
            return CAM_ERR_INTERNAL_ERROR;
        }
    }
    // The promise goes with the queued work: work dropped by a stopping
    // queue breaks it instead of leaving the caller waiting.
    auto answer = std::make_shared<std::promise<CamError>>();
    std::future<CamError> result = answer->get_future();
    events_.post([answer, &call] { answer->set_value(call()); });
    try {
        return result.get();
    } catch (const std::future_error&) {
        return CAM_ERR_INTERNAL_ERROR;
    }
}

CamError SimCamSDK::fault(const char* call, std::optional<CamPropertyID> property) {
    SimFault f;
    DelayHandler delay;
    {
        std::lock_guard lock(mutex_);
        delay = delay_;
        ++calls_[call];
        auto it = config_.faults.find(call);
        if (it == config_.faults.end() || it->second.count == 0) return CAM_ERR_OK;
        if (it->second.propertyID && property != it->second.propertyID) return CAM_ERR_OK;
        if (it->second.count > 0) --it->second.count;
        f = it->second;
    }
    if (f.delay > 0) {
        GLIMRA_Log::debugf("simulated camera: %s is delayed by %.3f s", call, f.delay);
        if (delay)
            delay(call, f.delay);
        else
            std::this_thread::sleep_for(std::chrono::duration<double>(f.delay));
    }
    return f.error;
}

std::shared_ptr<SimCamera> SimCamSDK::cameraFor(CamBaseRef ref, CamError& err) const {
    auto* c = lookup<SimCameraRef>(ref);
    if (!c) {
        err = CAM_ERR_INVALID_HANDLE;
        return nullptr;
    }
    if (!c->camera->connected) {
        err = CAM_ERR_DEVICE_NOT_FOUND;
        return nullptr;
    }
    err = CAM_ERR_OK;
    return c->camera;
}

CamCameraState* SimCamSDK::cameraStateLocked(CamBaseRef camera) {
    auto* c = lookup<SimCameraRef>(camera);
    return c ? c->camera.get() : nullptr;
}

void SimCamSDK::postPropertyEvent(const std::shared_ptr<SimCamera>& cam, CamPropertyEvent event,
                                  CamPropertyID id) {
    events_.post([this, cam, event, id] { raisePropertyEvent(*cam, event, id); });
}

// Runs on the event thread a moment after the shutter: the picture is made
// and offered to the host when the camera saves to the host.
void SimCamSDK::capture(const std::shared_ptr<SimCamera>& cam) {
    SimExif exif;
    int width, height;
    unsigned shot;
    std::uint64_t serial;
    {
        std::lock_guard lock(mutex_);
        if (!cam->connected || !cam->sessionOpen) return;
        if (!(cam->u32(kCamPropID_SaveTo) & kCamSaveTo_Host)) {
            ++cam->shotNumber;  // stored on the card; nothing for the host
            return;
        }
        shot = ++cam->shotNumber;
        serial = ++pictureSerial_;
        exif.imageUniqueId = pictureUniqueId(serial);
        width = config_.pictureWidth;
        height = config_.pictureHeight;
        exif.make = "Klik Simulated Cameras";
        exif.model = cam->spec.model;
        CamTime t = cam->clockNow();
        char date[32];
        std::snprintf(date, sizeof date, "%04u:%02u:%02u %02u:%02u:%02u", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
        exif.dateTime = date;
        exposureFromTv(cam->u32(kCamPropID_Tv), exif.exposureNumerator, exif.exposureDenominator);
        exif.fNumberTenths = fNumberTenths(cam->u32(kCamPropID_Av));
        exif.iso = isoNumber(cam->u32(kCamPropID_ISOSpeed));
    }
    Data jpeg = SimJpeg::makePicture(width, height, shot, exif);
    auto* item = new SimItemRef;
    SimItemRef* raw = nullptr;
    SimConfig::Raw rawAlongside;
    {
        std::lock_guard lock(mutex_);
        if (jpeg.empty() || !cam->connected) {
            delete item;
            if (jpeg.empty()) GLIMRA_Log::err("simulated camera: no picture could be made");
            return;
        }
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04u.JPG", shot % 10000);
        item->camera = cam;
        item->name = name;
        item->bytes = std::move(jpeg);
        item->serial = serial;
        live_.insert(item);
        rawAlongside = config_.rawAlongside;
        if (rawAlongside != SimConfig::Raw::None) {
            // A TIFF-like RAW of the same shot: its header, then the shot
            // number, so each is told apart.
            raw = new SimItemRef;
            std::snprintf(name, sizeof name, "IMG_%04u.CR2", shot % 10000);
            raw->camera = cam;
            raw->name = name;
            raw->bytes = Data{'I', 'I', '*', 0, 'C', 'R', 2, 0};
            for (int i = 0; i < 4; ++i)
                raw->bytes.push_back(static_cast<std::uint8_t>(shot >> (8 * i)));
            raw->bytes.resize(4096, 0x5A);
            raw->serial = serial;
            live_.insert(raw);
        }
    }
    if (raw && rawAlongside == SimConfig::Raw::First) offerItem(*cam, raw);
    offerItem(*cam, item);
    if (raw && rawAlongside == SimConfig::Raw::Second) offerItem(*cam, raw);
}

// --- CamSDK ---

CamError SimCamSDK::CamGetControls(CamCameraRef camera, std::uint32_t* outControls) {
    if (!outControls) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(camera, err);
    if (!cam) return err;
    *outControls = cam->spec.controls;
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamInitializeSDK() {
    if (CamError e = fault("CamInitializeSDK")) return e;
    std::lock_guard lock(mutex_);
    initialized_ = true;
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamTerminateSDK() {
    if (auto routed = onWorker("CamTerminateSDK", [&] { return CamTerminateSDK(); }))
        return *routed;
    if (CamError e = fault("CamTerminateSDK")) return e;
    std::lock_guard lock(mutex_);
    initialized_ = false;
    for (auto& c : cameras_) c->sessionOpen = false;
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamGetCameraList(CamCameraListRef* outList) {
    if (auto routed = onWorker("CamGetCameraList", [&] { return CamGetCameraList(outList); }))
        return *routed;
    if (CamError e = fault("CamGetCameraList")) return e;
    if (!outList) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    if (!initialized_) return CAM_ERR_INTERNAL_ERROR;
    auto* list = new CamRefList;
    for (const auto& c : cameras_) {
        ++c->ref->refs;
        list->children.push_back(c->ref);
    }
    live_.insert(list);
    *outList = list;
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamGetDeviceInfo(CamCameraRef camera, CamDeviceInfo* outInfo) {
    if (CamError e = fault("CamGetDeviceInfo")) return e;
    if (!outInfo) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(camera, err);
    if (!cam) return err;
    fillDeviceInfo(*outInfo, cam->spec.port, cam->spec.model, cam->spec.subType);
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamOpenSession(CamCameraRef camera) {
    if (auto routed = onWorker("CamOpenSession", [&] { return CamOpenSession(camera); }))
        return *routed;
    if (CamError e = fault("CamOpenSession")) return e;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(camera, err);
    if (!cam) return err;
    if (cam->sessionOpen) return CAM_ERR_SESSION_ALREADY_OPEN;
    cam->sessionOpen = true;
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamCloseSession(CamCameraRef camera) {
    if (auto routed = onWorker("CamCloseSession", [&] { return CamCloseSession(camera); }))
        return *routed;
    if (CamError e = fault("CamCloseSession")) return e;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(camera, err);
    if (!cam) return err;
    if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
    cam->sessionOpen = false;
    // Closing the session ends live view, as the camera's viewfinder goes
    // back to its own screen.
    cam->setU32(kCamPropID_Evf_OutputDevice, cam->u32(kCamPropID_Evf_OutputDevice) & ~2u);
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamSendCommand(CamCameraRef camera, CamCameraCommand command,
                                   std::int32_t param) {
    if (auto routed =
            onWorker("CamSendCommand", [&] { return CamSendCommand(camera, command, param); }))
        return *routed;
    if (CamError e = fault("CamSendCommand")) return e;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(camera, err);
    if (!cam) return err;
    if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
    bool shoot = false;
    switch (command) {
        case kCamCommand_TakePicture:
            shoot = true;
            break;
        case kCamCommand_PressShutterButton:
            if (!shutterButton(param, shoot)) return CAM_ERR_INVALID_PARAMETER;
            break;
        case kCamCommand_DriveLensEvf:
        case kCamCommand_DoEvfAf:
        case kCamCommand_DoClickWBEvf:
            if (!(cam->u32(kCamPropID_Evf_OutputDevice) & 2)) return kOperationRefused;
            break;
        case kCamCommand_ExtendShutDownTimer:
        case kCamCommand_BulbStart:
        case kCamCommand_BulbEnd:
            break;
        default:
            return kUnknownCommand;
    }
    sent_.push_back(SentCommand{cam->id, false, command, param});
    if (shoot) events_.post([this, cam] { capture(cam); }, config_.captureDelay);
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamSendStatusCommand(CamCameraRef camera, CamCameraStatusCommand command,
                                         std::int32_t param) {
    if (auto routed = onWorker("CamSendStatusCommand",
                               [&] { return CamSendStatusCommand(camera, command, param); }))
        return *routed;
    if (CamError e = fault("CamSendStatusCommand")) return e;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(camera, err);
    if (!cam) return err;
    if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
    if (command == kCamCameraStatusCommand_UILock)
        cam->uiLocked = true;
    else if (command == kCamCameraStatusCommand_UIUnLock)
        cam->uiLocked = false;
    else
        return CAM_ERR_INVALID_PARAMETER;
    sent_.push_back(SentCommand{cam->id, true, command, param});
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamGetPropertySize(CamBaseRef ref, CamPropertyID propertyID, std::int32_t param,
                                       CamDataType* outType, std::uint32_t* outSize) {
    if (auto routed = onWorker("CamGetPropertySize", [&] {
            return CamGetPropertySize(ref, propertyID, param, outType, outSize);
        }))
        return *routed;
    if (CamError e = fault("CamGetPropertySize", propertyID)) return e;
    if (!outType || !outSize) return CAM_ERR_INVALID_POINTER;
    if (param != 0) return CAM_ERR_INVALID_PARAMETER;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(ref, err);
    if (!cam) return err;
    if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
    auto it = cam->properties.find(propertyID);
    if (it == cam->properties.end()) return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
    *outType = it->second.type;
    *outSize = static_cast<std::uint32_t>(it->second.bytes.size());
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamGetPropertyData(CamBaseRef ref, CamPropertyID propertyID, std::int32_t param,
                                       std::uint32_t size, void* data) {
    if (auto routed = onWorker("CamGetPropertyData", [&] {
            return CamGetPropertyData(ref, propertyID, param, size, data);
        }))
        return *routed;
    if (CamError e = fault("CamGetPropertyData", propertyID)) return e;
    if (!data) return CAM_ERR_INVALID_POINTER;
    if (param != 0) return CAM_ERR_INVALID_PARAMETER;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(ref, err);
    if (!cam) return err;
    if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
    auto it = cam->properties.find(propertyID);
    if (it == cam->properties.end()) return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
    if (propertyID == kCamPropID_DateTime) {
        CamTime t = cam->clockNow();
        std::memcpy(it->second.bytes.data(), &t, sizeof t);
    }
    if (size < it->second.bytes.size()) return CAM_ERR_INVALID_LENGTH;
    std::memcpy(data, it->second.bytes.data(), it->second.bytes.size());
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamSetPropertyData(CamBaseRef ref, CamPropertyID propertyID, std::int32_t param,
                                       std::uint32_t size, const void* data) {
    if (auto routed = onWorker("CamSetPropertyData", [&] {
            return CamSetPropertyData(ref, propertyID, param, size, data);
        }))
        return *routed;
    if (CamError e = fault("CamSetPropertyData", propertyID)) return e;
    if (!data) return CAM_ERR_INVALID_POINTER;
    if (param != 0) return CAM_ERR_INVALID_PARAMETER;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(ref, err);
    if (!cam) return err;
    if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
    auto it = cam->properties.find(propertyID);
    if (it == cam->properties.end()) return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
    SimProperty& p = it->second;
    if (!p.writable) return kOperationRefused;
    auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> value;
    if (p.type == kCamDataType_String) {
        const std::uint8_t* end = std::find(bytes, bytes + size, std::uint8_t(0));
        if (end - bytes > 63) return CAM_ERR_INVALID_LENGTH;
        value.assign(bytes, end);
        value.push_back(0);
    } else if (p.type == kCamDataType_Time) {
        if (size != sizeof(CamTime)) return CAM_ERR_INVALID_LENGTH;
        CamTime t;
        std::memcpy(&t, data, sizeof t);
        if (!cam->setClock(t)) return CAM_ERR_INVALID_DEVICEPROP_VALUE;
        value.assign(bytes, bytes + size);
    } else {
        if (size != 4) return CAM_ERR_INVALID_LENGTH;
        std::int32_t v;
        std::memcpy(&v, data, 4);
        if (!p.allowed.empty() &&
            std::find(p.allowed.begin(), p.allowed.end(), v) == p.allowed.end())
            return CAM_ERR_INVALID_DEVICEPROP_VALUE;
        if (propertyID == kCamPropID_Evf_OutputDevice && cam->spec.subType == 0)
            return CAM_ERR_NOT_SUPPORTED;
        value.assign(bytes, bytes + 4);
    }
    bool changed = value != p.bytes || p.type == kCamDataType_Time;
    p.bytes = std::move(value);
    if (!changed) return CAM_ERR_OK;
    if (propertyID == kCamPropID_Evf_OutputDevice) {
        cam->frameNumber = 0;
        cam->nextFrameDue = std::chrono::steady_clock::now();
    }
    postPropertyEvent(cam, kCamPropertyEvent_PropertyChanged, propertyID);
    if (propertyID == kCamPropID_AEMode)
        for (CamPropertyID id : cam->applyAEMode(cam->u32(kCamPropID_AEMode)))
            postPropertyEvent(cam, kCamPropertyEvent_PropertyDescChanged, id);
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamGetPropertyDesc(CamBaseRef ref, CamPropertyID propertyID,
                                       CamPropertyDesc* outDesc) {
    if (auto routed = onWorker("CamGetPropertyDesc",
                               [&] { return CamGetPropertyDesc(ref, propertyID, outDesc); }))
        return *routed;
    if (CamError e = fault("CamGetPropertyDesc", propertyID)) return e;
    if (!outDesc) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(ref, err);
    if (!cam) return err;
    if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
    auto it = cam->properties.find(propertyID);
    if (it == cam->properties.end()) return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
    std::memset(outDesc, 0, sizeof *outDesc);
    const auto& allowed = it->second.allowed;
    outDesc->form = allowed.empty() ? 0 : 1;
    outDesc->access = it->second.writable ? 1 : 0;
    outDesc->numElements = static_cast<std::int32_t>(std::min<size_t>(allowed.size(), 128));
    std::copy_n(allowed.begin(), outDesc->numElements, outDesc->propDesc);
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamSetCapacity(CamCameraRef camera, CamCapacity capacity) {
    if (auto routed = onWorker("CamSetCapacity", [&] { return CamSetCapacity(camera, capacity); }))
        return *routed;
    if (CamError e = fault("CamSetCapacity")) return e;
    std::lock_guard lock(mutex_);
    CamError err;
    auto cam = cameraFor(camera, err);
    if (!cam) return err;
    if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
    if (capacity.bytesPerSector <= 0 || capacity.numberOfFreeClusters < 0)
        return CAM_ERR_INVALID_PARAMETER;
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamGetDirectoryItemInfo(CamDirectoryItemRef item,
                                            CamDirectoryItemInfo* outInfo) {
    if (auto routed = onWorker("CamGetDirectoryItemInfo",
                               [&] { return CamGetDirectoryItemInfo(item, outInfo); }))
        return *routed;
    if (CamError e = fault("CamGetDirectoryItemInfo")) return e;
    if (!outInfo) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    auto* it = lookup<SimItemRef>(item);
    if (!it) return CAM_ERR_INVALID_HANDLE;
    if (!it->camera->connected) return CAM_ERR_COMM_DISCONNECTED;
    fillItemInfo(*outInfo, it->name, it->bytes.size());
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamDownload(CamDirectoryItemRef item, std::uint64_t size, CamStreamRef stream) {
    if (auto routed = onWorker("CamDownload", [&] { return CamDownload(item, size, stream); }))
        return *routed;
    if (CamError e = fault("CamDownload")) return e;
    const Data* bytes;
    CamMemoryStream* s;
    std::shared_ptr<SimCamera> cam;
    std::uint64_t chunk;
    double rate;
    std::optional<std::uint32_t> vanishAt;
    {
        std::lock_guard lock(mutex_);
        auto* it = lookup<SimItemRef>(item);
        s = lookup<CamMemoryStream>(stream);
        if (!it || !s) return CAM_ERR_INVALID_HANDLE;
        if (!it->camera->connected) return CAM_ERR_COMM_DISCONNECTED;
        if (size != it->bytes.size()) return CAM_ERR_INVALID_LENGTH;
        if (s->capacity - s->length < size) return CAM_ERR_STREAM_WRITE_ERROR;
        bytes = &it->bytes;  // the caller's references keep item and stream alive
        cam = it->camera;
        chunk = config_.downloadChunkSize;
        rate = config_.downloadBytesPerSecond;
        vanishAt = config_.vanishDuringDownloadAtPercent;
    }
    std::uint64_t done = 0;
    while (done < size) {
        std::uint64_t n = std::min(chunk, size - done);
        if (!s->append(bytes->data() + done, n)) return CAM_ERR_STREAM_WRITE_ERROR;
        done += n;
        if (rate > 0)
            std::this_thread::sleep_for(
                std::chrono::duration<double>(static_cast<double>(n) / rate));
        auto percent = static_cast<std::uint32_t>(done * 100 / size);
        {
            std::lock_guard lock(mutex_);
            if (vanishAt && percent >= *vanishAt && done < size) unplugLocked(cam);
            if (!cam->connected) return CAM_ERR_COMM_DISCONNECTED;
        }
        if (s->reportProgress(percent)) return CAM_ERR_OPERATION_CANCELLED;
    }
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamDownloadComplete(CamDirectoryItemRef item) {
    if (auto routed = onWorker("CamDownloadComplete", [&] { return CamDownloadComplete(item); }))
        return *routed;
    if (CamError e = fault("CamDownloadComplete")) return e;
    std::lock_guard lock(mutex_);
    auto* it = lookup<SimItemRef>(item);
    if (!it) return CAM_ERR_INVALID_HANDLE;
    if (!it->camera->connected) return CAM_ERR_COMM_DISCONNECTED;
    if (!it->transferred && it->serial != 0)
        delivered_.push_back(DeliveredPicture{it->serial, it->name, it->bytes.size()});
    it->transferred = true;
    return CAM_ERR_OK;
}

CamError SimCamSDK::CamDownloadEvfImage(CamCameraRef camera, CamEvfImageRef image) {
    if (auto routed =
            onWorker("CamDownloadEvfImage", [&] { return CamDownloadEvfImage(camera, image); }))
        return *routed;
    if (CamError e = fault("CamDownloadEvfImage")) return e;
    CamMemoryStream* s;
    int width, height;
    unsigned frame;
    {
        std::lock_guard lock(mutex_);
        CamError err;
        auto cam = cameraFor(camera, err);
        if (!cam) return err;
        cam->liveViewCallers.insert(std::this_thread::get_id());
        auto* img = lookup<CamEvfImage>(image);
        if (!img) return CAM_ERR_INVALID_HANDLE;
        if (!cam->sessionOpen) return CAM_ERR_SESSION_NOT_OPEN;
        if (cam->spec.subType == 0) return CAM_ERR_NOT_SUPPORTED;
        if (!(cam->u32(kCamPropID_Evf_OutputDevice) & kCamEvfOutputDevice_PC))
            return CAM_ERR_OBJECT_NOTREADY;
        auto now = std::chrono::steady_clock::now();
        if (now < cam->nextFrameDue) return CAM_ERR_OBJECT_NOTREADY;
        auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(1.0 / config_.liveViewFramesPerSecond));
        cam->nextFrameDue = std::max(now, cam->nextFrameDue + period);
        if (cam->nextFrameDue == now) cam->nextFrameDue = now + period;
        frame = ++cam->frameNumber;
        width = config_.liveViewWidth;
        height = config_.liveViewHeight;
        s = img->stream;
    }
    // The frame is drawn outside the lock; the stream is the caller's.
    thread_local std::vector<std::uint8_t> scratch;
    Data jpeg = SimJpeg::makeLiveViewFrame(width, height, frame, scratch);
    if (jpeg.empty()) return CAM_ERR_INTERNAL_ERROR;
    if (!s->assign(jpeg.data(), jpeg.size())) return CAM_ERR_STREAM_WRITE_ERROR;
    return CAM_ERR_OK;
}

}  // namespace klik
