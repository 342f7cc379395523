// Session, state events and the command queue of one camera.

#include <chrono>

#include "camera/CamTables.h"
#include "camera/CameraNotifications.h"
#include "camera/CameraSupport.h"
#include "camera/GLIMRA_Camera.h"
#include "foundation/RunLoop.h"
#include "log/Log.h"

namespace klik {

using namespace camera_detail;

bool GLIMRA_Camera::load() {
    Registry& r = registry();
    Ptr other = loadedCamera();
    if (other.get() == this) return _isLoaded.load();
    if (other) other->unload();
    CamSDK* s = sdk();
    // The unplug must be heard while the session opens, also for a camera
    // loaded before (its unload took the handler away).
    s->CamSetCameraStateEventHandler(_camera, kCamStateEvent_All,
                                     &GLIMRA_Camera::cameraEventCallback, this);
    const std::uint64_t unplugsBefore = _unplugs.load();
    if (CamError err = s->CamOpenSession(_camera)) {
        GLIMRA_Log::debugf("error %x trying to open a session with %s", err, _description.c_str());
        return false;
    }
    std::function<void(GLIMRA_Camera&)> opened;
    {
        std::lock_guard l(r.stateMutex);
        opened = r.sessionOpenedHook;
    }
    if (opened) opened(*this);
    {
        // The camera may have gone while its session was being opened: its
        // unplug found no loaded camera to clear, so a dead camera must not
        // become the loaded one now (the kiosk would count on it and never
        // load the camera plugged in again). Decided under the same lock as
        // the unplug's, so one of the two always sees the other.
        std::lock_guard l(r.stateMutex);
        if (_unplugs.load() == unplugsBefore) {
            r.loaded = shared_from_this();
            _isLoaded.store(true);
        }
    }
    if (!_isLoaded.load()) {
        GLIMRA_Log::debugf("%s went away while its session was being opened; not loaded",
                           _description.c_str());
        s->CamCloseSession(_camera);
        return false;
    }
    GLIMRA_Log::debug("opened a session with " + _description);
    NotificationCenter::defaultCenter().post(GLIMRA_CameraDidLoad, asValue());
    startNotifications();
    setDestination(kCamSaveTo_Host);
    getDeviceProperties();
    return true;
}

bool GLIMRA_Camera::unload() {
    Registry& r = registry();
    if (loadedCamera().get() != this) return false;
    Ptr keep = shared_from_this();
    stopNotifications();
    setDestination(kCamSaveTo_Camera);
    liveViewEnd();
    _shouldDownloadLiveViewImage.store(false);
    {
        std::lock_guard l(r.stateMutex);
        r.loaded.reset();
    }
    if (CamError err = sdk()->CamCloseSession(_camera)) {
        GLIMRA_Log::debugf("error %d trying to close a session with %s", static_cast<int>(err),
                           _description.c_str());
        return false;
    }
    _isLoaded.store(false);
    NotificationCenter::defaultCenter().post(GLIMRA_CameraDidUnload, asValue());
    return true;
}

void GLIMRA_Camera::startNotifications() {
    CamSDK* s = sdk();
    // The state handler goes when the camera unloads; a camera loaded again
    // gets it back here, so a later unplug is still noticed.
    s->CamSetCameraStateEventHandler(_camera, kCamStateEvent_All,
                                     &GLIMRA_Camera::cameraEventCallback, this);
    if (CamError err = s->CamSetPropertyEventHandler(_camera, kCamPropertyEvent_All,
                                                     &GLIMRA_Camera::propertyEventCallback, this))
        GLIMRA_Log::debugf("error %x trying to set propertyEventCallback callback for %s", err,
                           _description.c_str());
    else
        GLIMRA_Log::debug("set propertyEventCallback");
    if (CamError err = s->CamSetObjectEventHandler(_camera, kCamObjectEvent_All,
                                                   &GLIMRA_Camera::objectEventCallback, this))
        GLIMRA_Log::debugf("error %x trying to set objectEventCallback callback for %s", err,
                           _description.c_str());
    else
        GLIMRA_Log::debug("set objectEventCallback");
}

void GLIMRA_Camera::stopNotifications() {
    CamSDK* s = sdk();
    if (CamError e = s->CamSetCameraStateEventHandler(_camera, kCamStateEvent_All, nullptr, this))
        GLIMRA_Log::debugf("error %x trying to clear cameraEventCallback callback for %s", e,
                           _description.c_str());
    else
        GLIMRA_Log::debug("cleared the cameraStateEventCallback");
    if (CamError e = s->CamSetPropertyEventHandler(_camera, kCamPropertyEvent_All, nullptr, this))
        GLIMRA_Log::debugf("error %x trying to clear propertyEventCallback callback for %s", e,
                           _description.c_str());
    else
        GLIMRA_Log::debug("cleared the propertyEventCallback");
    if (CamError e = s->CamSetObjectEventHandler(_camera, kCamObjectEvent_All, nullptr, this))
        GLIMRA_Log::debugf("error %x trying to clear objectEventCallback callback for %s", e,
                           _description.c_str());
    else
        GLIMRA_Log::debug("cleared the objectEventCallback");
}

std::uint32_t GLIMRA_Camera::controls() const {
    std::uint32_t controls = kCamControl_All;
    if (CamSDK* s = sdk(); s && s->CamGetControls(_camera, &controls) != CAM_ERR_OK)
        controls = kCamControl_All;
    return controls;
}

bool GLIMRA_Camera::waitForCameraLock(double) {
    if (!isLegacyModel()) return true;
    if (CamError err = sdk()->CamSendStatusCommand(_camera, kCamCameraStatusCommand_UILock, 0)) {
        GLIMRA_Log::debugf("error 0X%X (%s) unlocking camera UI", err, strForCamError(err));
        return false;
    }
    return true;
}

void GLIMRA_Camera::unlockCameraLock() {
    if (!isLegacyModel()) return;
    if (CamError err = sdk()->CamSendStatusCommand(_camera, kCamCameraStatusCommand_UIUnLock, 0))
        GLIMRA_Log::debugf("error 0X%X (%s) unlocking camera UI", err, strForCamError(err));
}

bool GLIMRA_Camera::getLock(std::timed_mutex& lock, const char* name, double seconds) {
    if (lock.try_lock()) return true;
    GLIMRA_Log::debugf("waiting %.1f secs for %s lock on thread %s %s", seconds, name,
                       threadText().c_str(), callStackText().c_str());
    auto start = std::chrono::steady_clock::now();
    if (lock.try_lock_for(std::chrono::duration<double>(seconds))) {
        GLIMRA_Log::debugf(
            "got %s lock after waiting %.2f seconds", name,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return true;
    }
    GLIMRA_Log::debugf("timed out waiting for %s lock", name);
    return false;
}

std::optional<std::string> GLIMRA_Camera::descriptionForCommandDictionary(const Dictionary& d) {
    const Value* num = find(d, "commandNumber");
    if (!num) return std::nullopt;
    auto command = static_cast<std::uint32_t>(num->integerValue());
    const Value* p = find(d, "commandParam");
    auto param = p ? static_cast<std::uint32_t>(p->integerValue()) : 0u;
    switch (command) {
        case 0:
            return "Take a picture";
        case 1:
            return "Extend shutdown timer";
        case 2:
            return "Start bulb";
        case 3:
            return "Stop bulb";
        case 4:
            switch (param) {
                case 0:
                    return "Release Shutter Button";
                case 1:
                    return "Press Shutter Button halfway";
                case 3:
                    return "Press Shutter Button completely";
                case 0x10001:
                    return "Press Shutter Button halfway (no AF)";
                case 0x10003:
                    return "Press Shutter Button completely (no AF)";
                default:
                    return "Press Shutter Button ";
            }
        case 0x102:
            return "Do LiveView AutoFocus";
        case 0x103:
            return "Drive LiveView Lens";
        case 0x104:
            return "Set White balance in LiveView";
        default:
            return "some unknown command";
    }
}

Dictionary GLIMRA_Camera::commandDictionary(std::uint32_t command, std::uint32_t param) {
    Dictionary d{{"commandNumber", Value(command)}, {"commandParam", Value(param)}};
    d["description"] = Value(*descriptionForCommandDictionary(d));
    return d;
}

namespace {

// Takes the command-queue lock, waiting at most the registry's queue-lock
// time. False (logged) when it stayed busy.
bool acquireQueueLock(std::timed_mutex& queueLock) {
    const double wait = lockWaitSeconds(&GLIMRA_Camera::Timeouts::queueLock);
    if (queueLock.try_lock()) return true;
    GLIMRA_Log::debug("waiting for queue lock");
    if (queueLock.try_lock_for(std::chrono::duration<double>(wait))) return true;
    GLIMRA_Log::debug("timed out waiting for queue lock");
    return false;
}

}  // namespace

void GLIMRA_Camera::queueCameraCommand(std::uint32_t command, std::uint32_t param) {
    Dictionary d = commandDictionary(command, param);
    if (!acquireQueueLock(_queueLock)) {
        // Never sent: whoever asked must hear so, or it waits for an answer
        // (a picture) that cannot come.
        postCommandError(d, CAM_ERR_DEVICE_BUSY, "timed out waiting for the command queue");
        return;
    }
    _commandQueue.push_back(d);
    _queueLock.unlock();
    GLIMRA_Log::debug("added command " + d["description"].stringOr() + " to queue");
}

size_t GLIMRA_Camera::queuedCommandCount() {
    std::lock_guard l(_queueLock);
    return _commandQueue.size();
}

void GLIMRA_Camera::performNextQueuedCameraCommand() {
    if (!acquireQueueLock(_queueLock)) return;
    if (!_commandQueue.empty()) {
        Dictionary d = std::move(_commandQueue.front());
        _commandQueue.pop_front();
        spawnDetached([self = shared_from_this(), d] { self->performCommandWithDictionary(d); });
    }
    _queueLock.unlock();
}

void GLIMRA_Camera::performCommandWithDictionary(const Dictionary& d) {
    const Value* num = find(d, "commandNumber");
    if (!num) return;
    const std::string desc = findString(d, "description").value_or("");
    GLIMRA_Log::debug("trying to get commandLock for command " + desc + " on thread " +
                      threadText());
    const double wait = lockWaitSeconds(&GLIMRA_Camera::Timeouts::commandLock);
    if (!_commandLock.try_lock()) {
        GLIMRA_Log::debug("waiting for command lock");
        if (!_commandLock.try_lock_for(std::chrono::duration<double>(wait))) {
            GLIMRA_Log::debug("timed out waiting for command lock");
            // A dropped command is a failed one: a shot nobody hears about
            // would stay on the books and take the next guest's picture.
            postCommandError(d, CAM_ERR_DEVICE_BUSY, "timed out waiting for the command lock");
            return;
        }
    }
    GLIMRA_Log::debug("got the command lock on thread " + threadText());
    auto command = static_cast<std::uint32_t>(num->integerValue());
    const Value* pv = find(d, "commandParam");
    auto param = static_cast<std::uint32_t>(pv ? pv->integerValue() : 0);
    waitForCameraLock(3.0);
    CamError err = sdk()->CamSendCommand(_camera, command, static_cast<std::int32_t>(param));
    if (err) {
        GLIMRA_Log::debugf("error %x sending command %x (parameter %x) to %s", err, command, param,
                           _description.c_str());
        postCommandError(d, err);
    } else {
        GLIMRA_Log::debug("sent command " + desc);
    }
    unlockCameraLock();
    _commandLock.unlock();
    GLIMRA_Log::debug("unlocked command lock on thread " + threadText());
}

void GLIMRA_Camera::postCommandError(const Dictionary& command, CamError err,
                                     const std::string& why) {
    // The library's own words go beside the code's text, so the operator
    // reads what actually went wrong; a command that never reached the
    // library says why instead.
    std::string text = strForCamError(err);
    if (!why.empty()) {
        text += ": " + why;
    } else if (CamSDK* s = sdk()) {
        if (std::string own = s->CamLastErrorText(_camera); !own.empty()) text += ": " + own;
    }
    Dictionary userInfo{{GLIMRA_CameraCommandDictionary, Value(command)},
                        {kCameraErrorDescriptionKey, Value(text)}};
    Dictionary error{{kCameraErrorDomainKey, Value("CamError")},
                     {kCameraErrorCodeKey, Value(err)},
                     {kCameraErrorUserInfoKey, Value(userInfo)}};
    NotificationCenter::defaultCenter().postOnMainThread(
        Notification{GLIMRA_CameraCommandError, asValue(),
                     Dictionary{{GLIMRA_CameraCommandDictionary, Value(command)},
                                {GLIMRA_CameraCommandError, Value(error)}}},
        false, mainLoop());
}

CamError GLIMRA_Camera::performCameraCommand(std::uint32_t command, std::uint32_t param) {
    Dictionary d = commandDictionary(command, param);
    const double wait = lockWaitSeconds(&GLIMRA_Camera::Timeouts::commandLock);
    if (!getLock(_commandLock, "commandLock", wait)) return CAM_ERR_DEVICE_BUSY;
    waitForCameraLock(3.0);
    CamError err = sdk()->CamSendCommand(_camera, command, static_cast<std::int32_t>(param));
    if (err)
        GLIMRA_Log::debugf("error %x sending a command with %s", err,
                           Value(d).description().c_str());
    unlockCameraLock();
    _commandLock.unlock();
    return err;
}

void GLIMRA_Camera::takePicture() {
    queueCameraCommand(kCamCommand_TakePicture, 0);
}

void GLIMRA_Camera::pressShutter(std::uint32_t param) {
    queueCameraCommand(kCamCommand_PressShutterButton, param);
}

Value GLIMRA_Camera::cameraClock() {
    return valueForPropertyID(kCamPropID_DateTime, 0);
}

bool GLIMRA_Camera::setCameraClock(Date when) {
    return setValue(Value(when), kCamPropID_DateTime, 0);
}

bool GLIMRA_Camera::setOwnerName(const std::string& name) {
    return setValue(Value(name), kCamPropID_OwnerName, 0);
}

CamError GLIMRA_Camera::cameraEventCallback(CamStateEvent event, std::uint32_t data,
                                            void* context) {
    if (Ptr cam = fromContext(context)) return cam->processCameraEvent(event, data);
    return 0;
}

CamError GLIMRA_Camera::processCameraEvent(CamStateEvent event, std::uint32_t data) {
    const char* d = _description.c_str();
    switch (event) {
        case kCamStateEvent_Shutdown: {
            GLIMRA_Log::debugf("camera %s has disappeared (was shutdown or unplugged)", d);
            _shouldDownloadLiveViewImage.store(false);
            Ptr keep = shared_from_this();
            {
                // A camera that is gone holds no session: the kiosk must not
                // count on it (start a countdown) until one is loaded again.
                // A load opening its session now sees the count change.
                std::lock_guard l(registry().stateMutex);
                ++_unplugs;
                _isLoaded.store(false);
                if (registry().loaded.get() == this) registry().loaded.reset();
            }
            sdk()->CamCloseSession(_camera);
            {
                Registry& r = registry();
                const double wait = lockWaitSeconds(&GLIMRA_Camera::Timeouts::listLock);
                std::unique_lock l(r.threadLock, std::defer_lock);
                if (l.try_lock_for(std::chrono::duration<double>(wait))) {
                    auto& list = r.detected;
                    for (auto it = list.begin(); it != list.end(); ++it)
                        if (it->get() == this) {
                            list.erase(it);
                            break;
                        }
                }
            }
            auto& center = NotificationCenter::defaultCenter();
            center.postOnMainThread(Notification{GLIMRA_CameraDidUnload, asValue(), std::nullopt},
                                    false, mainLoop());
            center.postOnMainThread(Notification{GLIMRA_CameraListDidUpdate,
                                                 Value(makeOpaque(classObject())), std::nullopt},
                                    false, mainLoop());
            break;
        }
        case kCamStateEvent_JobStatusChanged:
            GLIMRA_Log::debugf("camera %s job status changed (%u)", d, data);
            break;
        case kCamStateEvent_WillSoonShutDown:
            GLIMRA_Log::debugf("camera %s shutdown timer soon (%u)", d, data);
            break;
        case kCamStateEvent_ShutDownTimerUpdate:
            GLIMRA_Log::debugf("camera %s shutdown timer update (%u)", d, data);
            break;
        case kCamStateEvent_CaptureError:
            GLIMRA_Log::debugf("camera %s reported a capture error (%u)", d, data);
            break;
        case kCamStateEvent_AfResult:
        case kCamStateEvent_BulbExposureTime:
            GLIMRA_Log::debugf("camera %s job status has changed", d);
            break;
        default:
            GLIMRA_Log::debugf("received camera event %x for camera %s", event, d);
    }
    return 0;
}

}  // namespace klik
