#include "camera/GLIMRA_Camera.h"

#include <execinfo.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "camera/CamTables.h"
#include "camera/CameraNotifications.h"
#include "camera/CameraSupport.h"
#include "camera/LiveViewFrameMailbox.h"
#include "foundation/RunLoop.h"
#include "log/Log.h"

namespace klik {

namespace camera_detail {

std::string threadText() {
    std::ostringstream s;
    s << "<thread " << std::this_thread::get_id() << ">";
    return s.str();
}

std::string callStackText() {
    void* frames[32];
    int n = backtrace(frames, 32);
    char** names = backtrace_symbols(frames, n);
    std::string out = "(";
    for (int i = 1; names && i < n; ++i) out += std::string("\n    ") + names[i];
    std::free(names);
    return out + "\n)";
}

void spawnDetached(std::function<void()> fn) {
    Registry& r = registry();
    {
        std::lock_guard l(r.threadsMutex);
        ++r.runningThreads;
    }
    std::thread([fn = std::move(fn)] {
        fn();
        Registry& reg = registry();
        std::lock_guard l(reg.threadsMutex);
        --reg.runningThreads;
        reg.threadsDone.notify_all();
    }).detach();
}

Registry& registry() {
    static Registry* r = new Registry;  // outlives detached threads at exit
    return *r;
}

double lockWaitSeconds(double GLIMRA_Camera::Timeouts::*which) {
    std::lock_guard l(registry().stateMutex);
    return registry().timeouts.*which;
}

}  // namespace camera_detail

using namespace camera_detail;

namespace {
const char kClassToken = 0;
double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}
}  // namespace

void GLIMRA_Camera::setSDK(std::shared_ptr<CamSDK> s) {
    std::lock_guard l(registry().stateMutex);
    registry().sdk = std::move(s);
}

CamSDK* GLIMRA_Camera::sdk() {
    std::lock_guard l(registry().stateMutex);
    return registry().sdk.get();
}

void GLIMRA_Camera::setMainLoop(RunLoop* loop) {
    std::lock_guard l(registry().stateMutex);
    registry().mainLoop = loop;
}

RunLoop* GLIMRA_Camera::mainLoop() {
    std::lock_guard l(registry().stateMutex);
    return registry().mainLoop ? registry().mainLoop : RunLoop::main();
}

void GLIMRA_Camera::setTimeouts(Timeouts t) {
    std::lock_guard l(registry().stateMutex);
    registry().timeouts = t;
}

const void* GLIMRA_Camera::classObject() {
    return &kClassToken;
}

std::timed_mutex& GLIMRA_Camera::listLockForTesting() {
    return registry().threadLock;
}

void GLIMRA_Camera::initializeClass() {
    Registry& r = registry();
    {
        std::lock_guard l(r.stateMutex);
        if (r.initialized || !r.sdk) return;
        r.initialized = true;
    }
    CamSDK* s = sdk();
    if (CamError err = s->CamInitializeSDK()) {
        GLIMRA_Log::debugf("error %x initializing CamSDK", err);
    } else {
        r.terminateObserver = NotificationCenter::defaultCenter().addObserver(
            "NSApplicationWillTerminateNotification", &GLIMRA_Camera::applicationWillTerminate);
    }
    if (CamError err = s->CamSetCameraAddedHandler(&GLIMRA_Camera::cameraAdded,
                                                   const_cast<char*>(&kClassToken)))
        GLIMRA_Log::debugf("error %x registering for addedCamera callback", err);
    updateCameraListAsync();
}

void GLIMRA_Camera::applicationWillTerminate(const Notification& n) {
    GLIMRA_Log::debug("GLIMRA_Camera catching applicationWillTerminate! " + n.name);
    if (CamSDK* s = sdk())
        if (CamError err = s->CamTerminateSDK())
            GLIMRA_Log::debugf("error %x terminating CamSDK", err);
}

CamError GLIMRA_Camera::cameraAdded(void* context) {
    GLIMRA_Log::debugf("self = %p and real self class = %s", context, "GLIMRA_Camera");
    updateCameraListAsync();
    NotificationCenter::defaultCenter().postOnMainThread(
        Notification{GLIMRA_CameraAdded, {}, std::nullopt}, false, mainLoop());
    GLIMRA_Log::debug("a camera was added!");
    return 0;
}

std::optional<std::vector<GLIMRA_Camera::Ptr>> GLIMRA_Camera::cameras() {
    initializeClass();
    Registry& r = registry();
    std::unique_lock l(r.threadLock, std::try_to_lock);
    if (!l.owns_lock()) return std::nullopt;
    return r.detected;
}

GLIMRA_Camera::Ptr GLIMRA_Camera::loadedCamera() {
    std::lock_guard l(registry().stateMutex);
    return registry().loaded;
}

void GLIMRA_Camera::updateCameraListAsync() {
    initializeClass();
    ++registry().scansRunning;
    spawnDetached([] {
        updateCameraList();
        --registry().scansRunning;
    });
}

bool GLIMRA_Camera::isScanning() {
    return registry().scansRunning.load() > 0;
}

void GLIMRA_Camera::updateCameraList() {
    Registry& r = registry();
    CamSDK* s = sdk();
    if (!s) return;
    std::unique_lock update(r.updateLock, std::try_to_lock);
    if (!update.owns_lock()) {
        r.shouldUpdate.store(true);
        GLIMRA_Log::debug("skipping this camera list update while another update is in session");
        return;
    }
    auto start = std::chrono::steady_clock::now();
    std::optional<std::vector<Ptr>> found;
    CamCameraListRef list = nullptr;
    if (CamError err = s->CamGetCameraList(&list)) {
        GLIMRA_Log::debugf("error 0X%X (%s) getting camera list", err, strForCamError(err));
    } else {
        std::uint32_t count = 0;
        if (CamError err2 = s->CamGetChildCount(list, &count)) {
            GLIMRA_Log::debugf("error 0X%X (%s) getting camera child count", err2,
                               strForCamError(err2));
        } else {
            GLIMRA_Log::debugf("Detected %u camera%s in %.3f sec", count, count == 1 ? "" : "s",
                               secondsSince(start));
            if (count > 0) {
                std::vector<Ptr> existing;
                bool haveExisting = false;
                {
                    // A consistent copy of the known cameras, so no second
                    // object is made for a reference (it would take over the
                    // first one's event handlers). The wait is bounded like
                    // the list update's.
                    const double wait = lockWaitSeconds(&Timeouts::listLock);
                    std::unique_lock l(r.threadLock, std::defer_lock);
                    if (l.try_lock_for(std::chrono::duration<double>(wait))) {
                        existing = r.detected;
                        haveExisting = true;
                    } else {
                        GLIMRA_Log::debugf("failed to get a lock after waiting %.2f seconds", wait);
                    }
                }
                if (!haveExisting) {
                    s->CamRelease(list);
                    GLIMRA_Log::debug("unlocking update lock");
                    update.unlock();
                    if (r.shouldUpdate.exchange(false)) {
                        GLIMRA_Log::debug("catching up on missed update");
                        updateCameraListAsync();
                    }
                    return;
                }
                found.emplace();
                for (int i = static_cast<int>(count) - 1; i >= 0; --i) {
                    CamBaseRef child = nullptr;
                    if (CamError e = s->CamGetChildAtIndex(list, i, &child)) {
                        GLIMRA_Log::debugf("error 0X%X (%s) getting child camera at index %d", e,
                                           strForCamError(e), i);
                        break;
                    }
                    if (!child) {
                        GLIMRA_Log::debugf(
                            "error: received a NULL camera ref for child at index %d!", i);
                        continue;
                    }
                    Ptr cam;
                    for (const auto& c : existing)
                        if (c->cameraRef() == child) cam = c;
                    // A camera that left the list (an empty or failed scan)
                    // may still be alive, loaded and in use: its object comes
                    // back, as a second one would take over its handlers.
                    if (!cam) cam = liveCameraForRef(child);
                    if (!cam) {
                        cam = create(child);
                        GLIMRA_Log::debug("detected new camera " + cam->description());
                    }
                    found->push_back(cam);
                    s->CamRelease(child);
                }
            }
        }
        s->CamRelease(list);
    }

    bool changed = false;
    std::unique_lock lock(r.threadLock, std::try_to_lock);
    if (!lock.owns_lock()) {
        GLIMRA_Log::debug("waiting for thread lock on thread: " + threadText() +
                          "\nbackstack:" + callStackText());
        auto waitStart = std::chrono::steady_clock::now();
        double limit = lockWaitSeconds(&Timeouts::listLock);
        if (lock.try_lock_for(std::chrono::duration<double>(limit)))
            GLIMRA_Log::debugf("got a lock after waiting %.2f seconds", secondsSince(waitStart));
        else
            GLIMRA_Log::debugf("failed to get a lock after waiting %.2f seconds",
                               secondsSince(waitStart));
    }
    std::vector<Ptr> dropped;  // released after the lock, outside it
    if (lock.owns_lock()) {
        GLIMRA_Log::debug("got the update thread lock and now detecting cameras on thread: " +
                          threadText() + "\nbackstack:" + callStackText());
        if (!found || found->empty()) {
            dropped.swap(r.detected);
        } else {
            bool same = found->size() == r.detected.size();
            for (size_t i = 0; same && i < found->size(); ++i)
                same = *(*found)[i] == *r.detected[i];
            if (!same) {
                dropped.swap(r.detected);
                r.detected = std::move(*found);
                changed = true;
            }
        }
        lock.unlock();
    }
    if (changed)
        NotificationCenter::defaultCenter().postOnMainThread(
            Notification{GLIMRA_CameraListDidUpdate, Value(makeOpaque(classObject())),
                         std::nullopt},
            false, mainLoop());
    dropped.clear();
    found.reset();
    GLIMRA_Log::debug("unlocking update lock");
    update.unlock();
    if (r.shouldUpdate.exchange(false)) {
        GLIMRA_Log::debug("catching up on missed update");
        updateCameraListAsync();
    }
}

void GLIMRA_Camera::waitForBackgroundThreads() {
    Registry& r = registry();
    std::unique_lock l(r.threadsMutex);
    r.threadsDone.wait(l, [&] { return r.runningThreads == 0; });
}

int GLIMRA_Camera::backgroundThreadCount() {
    Registry& r = registry();
    std::lock_guard l(r.threadsMutex);
    return r.runningThreads;
}

void GLIMRA_Camera::waitUntilBackgroundThreadsAtMost(int count) {
    Registry& r = registry();
    std::unique_lock l(r.threadsMutex);
    r.threadsDone.wait(l, [&] { return r.runningThreads <= count; });
}

void GLIMRA_Camera::shutdown() {
    Registry& r = registry();
    // A live view's frame loop runs until it is told to stop: waiting for
    // the background threads with one running would never end (a kiosk
    // stopped during a countdown would hang on its way out).
    if (Ptr cam = loadedCamera()) cam->_shouldDownloadLiveViewImage.store(false);
    {
        std::lock_guard l(r.threadLock);
        for (auto& c : r.detected) c->_shouldDownloadLiveViewImage.store(false);
    }
    // Work queued for the cameras (a load the panel asked for) ends first,
    // so the camera it loads is the one unloaded here.
    waitForBackgroundThreads();
    if (Ptr cam = loadedCamera()) cam->unload();
    for (;;) {
        waitForBackgroundThreads();
        std::vector<Ptr> detected;
        {
            std::lock_guard l(r.threadLock);
            detected.swap(r.detected);
        }
        for (auto& c : detected) c->_shouldDownloadLiveViewImage.store(false);
        detected.clear();
        std::lock_guard l(r.threadsMutex);
        if (r.runningThreads == 0) break;
    }
    std::shared_ptr<CamSDK> s;
    {
        std::lock_guard l(r.stateMutex);
        s = r.sdk;
        r.loaded.reset();
    }
    if (s && r.initialized) {
        s->CamSetCameraAddedHandler(nullptr, nullptr);
        // The application's will-terminate notification ends the SDK through
        // the class's observer, which says so in the log.
        if (r.terminateObserver)
            NotificationCenter::defaultCenter().post("NSApplicationWillTerminateNotification");
        else
            s->CamTerminateSDK();
    }
    if (r.terminateObserver)
        NotificationCenter::defaultCenter().removeObserver(r.terminateObserver);
    std::lock_guard l(r.stateMutex);
    r.terminateObserver = 0;
    r.initialized = false;
    r.shouldUpdate.store(false);
}

// ---- one camera ----

GLIMRA_Camera::GLIMRA_Camera(CamCameraRef ref) : _camera(ref) {}

GLIMRA_Camera::Ptr GLIMRA_Camera::create(CamCameraRef ref) {
    Ptr cam(new GLIMRA_Camera(ref));
    CamSDK* s = sdk();
    std::uint32_t count = s->CamRetain(ref);
    GLIMRA_Log::debugf("retaining a camera with \"after-retain\" retain count of %u", count);
    {
        std::lock_guard l(registry().liveMutex);
        registry().live[cam.get()] = cam;
    }
    CamDeviceInfo info{};
    if (CamError err = s->CamGetDeviceInfo(ref, &info)) {
        GLIMRA_Log::debugf("got error %x trying to get device info for camera %p", err,
                           static_cast<void*>(ref));
        return cam;
    }
    info.szDeviceDescription[sizeof info.szDeviceDescription - 1] = 0;
    cam->_description = info.szDeviceDescription;
    cam->_subType = info.deviceSubType;
    GLIMRA_Log::debugf("loaded camera model \"%s\" (type %d)", cam->_description.c_str(),
                       static_cast<int>(cam->_subType));
    if (CamError err = s->CamSetCameraStateEventHandler(
            ref, kCamStateEvent_All, &GLIMRA_Camera::cameraEventCallback, cam.get()))
        GLIMRA_Log::debugf("error %x trying to set cameraEventCallback callback for %s", err,
                           cam->_description.c_str());
    else
        GLIMRA_Log::debug("set cameraStateEvent callback");
    return cam;
}

GLIMRA_Camera::~GLIMRA_Camera() {
    {
        std::lock_guard l(registry().liveMutex);
        registry().live.erase(this);
    }
    _shouldDownloadLiveViewImage.store(false);
    CamSDK* s = sdk();
    if (!s) return;
    // Handlers go with the object even when it never loaded: the SDK must
    // not call back into freed memory.
    s->CamSetCameraStateEventHandler(_camera, kCamStateEvent_All, nullptr, nullptr);
    s->CamSetPropertyEventHandler(_camera, kCamPropertyEvent_All, nullptr, nullptr);
    s->CamSetObjectEventHandler(_camera, kCamObjectEvent_All, nullptr, nullptr);
    if (_isLoaded.load()) s->CamCloseSession(_camera);
    std::uint32_t count = s->CamRelease(_camera);
    GLIMRA_Log::debugf("releasing a camera with \"after-release\" retain count of %u", count);
}

GLIMRA_Camera::Ptr GLIMRA_Camera::liveCameraForRef(CamCameraRef ref) {
    // Locked outside the live-list lock: dropping the last owner of a
    // camera here runs its destructor, which takes that lock.
    std::vector<std::weak_ptr<GLIMRA_Camera>> all;
    {
        std::lock_guard l(registry().liveMutex);
        for (const auto& entry : registry().live) all.push_back(entry.second);
    }
    for (const auto& weak : all)
        if (Ptr cam = weak.lock(); cam && cam->_camera == ref) return cam;
    return nullptr;
}

GLIMRA_Camera::Ptr GLIMRA_Camera::fromContext(void* context) {
    std::lock_guard l(registry().liveMutex);
    auto it = registry().live.find(context);
    return it == registry().live.end() ? nullptr : it->second.lock();
}

Value GLIMRA_Camera::asValue() {
    return Value(makeOpaque(shared_from_this()));
}

size_t GLIMRA_Camera::pendingLiveViewFrames() const {
    std::lock_guard l(_liveViewMailboxMutex);
    return _liveViewMailbox ? _liveViewMailbox->pending() : 0;
}

size_t GLIMRA_Camera::droppedLiveViewFrames() const {
    std::lock_guard l(_liveViewMailboxMutex);
    return _liveViewMailbox ? _liveViewMailbox->dropped() : 0;
}

}  // namespace klik
