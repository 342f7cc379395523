// Live view: switching the viewfinder to the host and the frame loop.

#include <chrono>
#include <cstring>
#include <thread>

#include "camera/CamTables.h"
#include "camera/CameraNotifications.h"
#include "camera/CameraSupport.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/LiveViewDecoder.h"
#include "camera/LiveViewFrameMailbox.h"
#include "camera/QZNSImageFlipped.h"
#include "log/Log.h"

namespace klik {

using namespace camera_detail;

void GLIMRA_Camera::liveViewBegin() {
    if (isLegacyModel()) return;
    std::uint32_t mode = 1;
    setProperty(_camera, kCamPropID_Evf_Mode, 0, 4, &mode);
    const std::uint32_t was = liveViewOutputDevice();
    std::uint32_t device = was | kCamEvfOutputDevice_PC;
    setProperty(_camera, kCamPropID_Evf_OutputDevice, 0, 4, &device);
    // A viewfinder still on the host (its frame loop ended by itself)
    // changes nothing the camera would report: the loop starts here.
    if (was & kCamEvfOutputDevice_PC) startLiveViewLoopIfNeeded();
}

void GLIMRA_Camera::liveViewEnd() {
    if (isLegacyModel()) return;
    ++_liveViewEndsAsked;
    std::uint32_t device = liveViewOutputDevice() & ~kCamEvfOutputDevice_PC;
    setProperty(_camera, kCamPropID_Evf_OutputDevice, 0, 4, &device);
}

std::uint32_t GLIMRA_Camera::liveViewOutputDevice() {
    GLIMRA_Log::debug("about to get the liveoutput device");
    if (!waitForCameraLock(3.0)) return 0;
    std::uint32_t device = 0;
    if (sdk()->CamGetPropertyData(_camera, kCamPropID_Evf_OutputDevice, 0, 4, &device)) device = 0;
    unlockCameraLock();
    return device;
}

void GLIMRA_Camera::liveViewSetZoom(std::uint32_t zoom) {
    if (zoom == 1 || zoom == 5 || zoom == 10)
        setValue(Value(zoom), kCamPropID_Evf_Zoom, 0);
    else
        GLIMRA_Log::debugf("bad parameter %u for evfZoom", zoom);
}

void GLIMRA_Camera::liveViewDriveAF(std::uint32_t p) {
    if ((p >= 1 && p <= 3) || (p >= 0x8001 && p <= 0x8003)) {
        GLIMRA_Log::debugf("sending parameter 0X%X for DriveLensEvf", p);
        queueCameraCommand(kCamCommand_DriveLensEvf, p);
        performNextQueuedCameraCommand();
    } else {
        GLIMRA_Log::debugf("bad parameter %u for DriveLensEvf", p);
    }
}

void GLIMRA_Camera::startLiveViewLoopIfNeeded() {
    std::uint32_t device = liveViewOutputDevice();
    bool host = device & kCamEvfOutputDevice_PC;
    if (host && !_shouldDownloadLiveViewImage.load()) {
        _shouldDownloadLiveViewImage.store(true);
        spawnDetached([self = shared_from_this()] { self->downloadLiveViewImage(); });
    } else if (!host && _shouldDownloadLiveViewImage.load()) {
        GLIMRA_Log::debug("stopping liveView");
        _shouldDownloadLiveViewImage.store(false);
    }
}

void GLIMRA_Camera::downloadLiveViewImage() {
    // A report of the host bit that arrives after the loop has left its
    // frame loop but before it let go of the lock sets the flag and starts
    // a thread that finds the lock held and returns: the loop looks at the
    // flag again after letting go, so live view does not stay dead.
    for (;;) {
        std::unique_lock running(_liveViewLock, std::try_to_lock);
        if (!running.owns_lock()) return;
        const std::uint64_t endsAsked = _liveViewEndsAsked.load();
        runLiveViewLoop();
        // Whoever shows the frames must hear that they stopped coming when
        // nobody asked for it, or it shows a frozen picture for the rest of
        // the turn. A camera that went is told as such instead.
        if (_liveViewEndsAsked.load() == endsAsked && _isLoaded.load() &&
            !_shouldDownloadLiveViewImage.load()) {
            GLIMRA_Log::debug("live view of " + _description + " ended by itself");
            NotificationCenter::defaultCenter().postOnMainThread(
                Notification{GLIMRA_CameraLiveViewDidEnd, asValue(), std::nullopt}, false,
                mainLoop());
        }
        std::function<void(GLIMRA_Camera&)> hook;
        {
            std::lock_guard l(registry().stateMutex);
            hook = registry().liveViewLoopExitHook;
        }
        if (hook) hook(*this);
        running.unlock();
        if (!_shouldDownloadLiveViewImage.load()) return;
    }
}

LiveViewFrameMailbox& GLIMRA_Camera::liveViewMailbox() {
    std::lock_guard l(_liveViewMailboxMutex);
    if (!_liveViewMailbox) {
        // Frames go through a one-slot mailbox: at most one waits for the
        // main thread, a newer one replaces it.
        std::weak_ptr<GLIMRA_Camera> weak = weak_from_this();
        _liveViewMailbox = std::make_unique<LiveViewFrameMailbox>(
            mainLoop(), [weak](const std::shared_ptr<QZNSImageFlipped>& image) {
                Ptr self = weak.lock();
                if (!self) return;
                NotificationCenter::defaultCenter().post(
                    GLIMRA_CameraLiveViewImageUpdate, self->asValue(),
                    Dictionary{{GLIMRA_CameraLiveViewImage, Value(makeOpaque(image))}});
            });
    }
    // Kept until the camera object goes: the reference stays good.
    return *_liveViewMailbox;
}

void GLIMRA_Camera::runLiveViewLoop() {
    CamSDK* s = sdk();
    LiveViewFrameMailbox& mailbox = liveViewMailbox();
    // The buffer is allocated once and reused for every frame.
    if (_mLiveViewData.empty()) _mLiveViewData.assign(liveViewStreamSize, 0);
    // One decoder for the whole run: its memory and its images are reused.
    LiveViewDecoder decoder;
    while (_shouldDownloadLiveViewImage.load()) {
        CamStreamRef stream = nullptr;
        if (CamError err = s->CamCreateMemoryStreamFromPointer(_mLiveViewData.data(),
                                                               _mLiveViewData.size(), &stream)) {
            GLIMRA_Log::debugf("error 0x%x creating memStream", err);
            _shouldDownloadLiveViewImage.store(false);
            break;
        }
        CamEvfImageRef image = nullptr;
        if (CamError err = s->CamCreateEvfImageRef(stream, &image)) {
            GLIMRA_Log::debugf("error 0x%x creating liveView image ref", err);
        } else {
            CamError err2;
            while ((err2 = s->CamDownloadEvfImage(_camera, image)) == CAM_ERR_OBJECT_NOTREADY &&
                   _shouldDownloadLiveViewImage.load())
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            if (err2 == CAM_ERR_OK) {
                std::uint64_t length = _mLiveViewData.size();
                if (s->CamGetLength(stream, &length) || length == 0 ||
                    length > _mLiveViewData.size())
                    length = _mLiveViewData.size();
                // The image owns a copy of the frame's bytes only, so the
                // next frame written into the buffer cannot alter it.
                auto frame = decoder.decode(_mLiveViewData.data(), static_cast<size_t>(length));
                if (!frame)
                    GLIMRA_Log::debug("error creating NSImage from data");
                else
                    mailbox.offer(std::move(frame));
            } else if (err2 != CAM_ERR_OBJECT_NOTREADY) {
                GLIMRA_Log::debugf("error 0x%x downloading liveView image", err2);
                _shouldDownloadLiveViewImage.store(false);
            }
            s->CamRelease(image);
        }
        s->CamRelease(stream);
    }
}

}  // namespace klik
