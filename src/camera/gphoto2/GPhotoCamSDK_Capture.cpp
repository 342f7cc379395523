// The libgphoto2 backend: commands (capture through trigger and the
// backend's own deadline loop of events), downloads with progress, and live
// view at a bounded rate.

#include <gphoto2/gphoto2-file.h>
#include <gphoto2/gphoto2-result.h>

#include <functional>

#include "camera/gphoto2/GPhotoCamSDK.h"
#include "camera/gphoto2/GPhotoErrors.h"
#include "camera/sdk/RawFileNames.h"
#include "log/Log.h"

namespace klik {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds ms(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

}  // namespace

// ---- commands ----

CamError GPhotoCamSDK::CamSendCommand(CamCameraRef camera, CamCameraCommand command,
                                      std::int32_t param) {
    CamError err;
    GPCamera* cam = usableCamera(camera, err);
    if (!cam) return err;
    {
        std::lock_guard l(mutex_);
        if (!cam->open) return CAM_ERR_SESSION_NOT_OPEN;
    }
    CamError result = CAM_ERR_OK;
    std::function<void()> job;
    switch (command) {
        case kCamCommand_TakePicture:
            job = [&] { result = capture(cam); };
            break;
        case kCamCommand_PressShutterButton: {
            bool shoot = false;
            if (!shutterButton(param, shoot)) return CAM_ERR_INVALID_PARAMETER;
            job = shoot ? std::function<void()>([&] { result = capture(cam); })
                        : std::function<void()>([&] { result = halfPress(cam, param); });
            break;
        }
        case kCamCommand_DoEvfAf:
            job = [&] { result = evfAf(cam, param); };
            break;
        case kCamCommand_DriveLensEvf:
            job = [&] { result = driveLens(cam, param); };
            break;
        case kCamCommand_ExtendShutDownTimer:
            return CAM_ERR_OK;
        default:
            return CAM_ERR_NOT_SUPPORTED;
    }
    if (!cam->worker->run(job)) return CAM_ERR_INTERNAL_ERROR;
    return result;
}

bool GPhotoCamSDK::expectsPair(GPCamera* cam, const std::string& first) {
    if (isRawFileName(first) || cam->makesPairs) return true;
    // The image quality says so: "RAW + Large Fine JPEG", "NEF+Fine".
    const std::string quality = valueText(cam, kCamPropID_ImageQuality);
    const bool raw = quality.find("RAW") != std::string::npos ||
                     quality.find("NEF") != std::string::npos ||
                     quality.find("Raw") != std::string::npos;
    return raw && quality.find('+') != std::string::npos;
}

// Fires the shutter and waits, in the backend's own loop with a deadline,
// for the new file's event: gp_camera_capture can wait forever when no
// event comes, and over PTP/IP gp_camera_wait_for_event returns at once
// whatever it is told to wait. Queued calls are served while it waits.
CamError GPhotoCamSDK::capture(GPCamera* cam) {
    if (!cam->camera) return CAM_ERR_SESSION_NOT_OPEN;
    cam->capturing = true;
    struct Done {
        GPCamera* c;
        ~Done() { c->capturing = false; }
    } done{cam};
    const auto busyUntil = Clock::now() + ms(options_.busyRetrySeconds);
    int r;
    while ((r = gp_camera_trigger_capture(cam->camera, cam->context)) == GP_ERROR_CAMERA_BUSY &&
           Clock::now() < busyUntil)
        cam->worker->serveFor(std::chrono::milliseconds(50));
    if (r < GP_OK) return failed(cam, "gp_camera_trigger_capture", r);
    const auto deadline = Clock::now() + ms(options_.captureTimeoutSeconds);
    // A shot may make two files (RAW and JPEG, in either order): after the
    // first, the second is waited for a bounded time and both go as one.
    std::vector<NewFile> files;
    auto pairDeadline = Clock::time_point::max();
    while (cam->camera && Clock::now() < std::min(deadline, pairDeadline)) {
        CameraEventType type = GP_EVENT_TIMEOUT;
        void* data = nullptr;
        const auto asked = Clock::now();
        r = gp_camera_wait_for_event(cam->camera, 100, &type, &data, cam->context);
        if (r < GP_OK) {
            free(data);
            if (!files.empty()) break;  // the photo is there
            return failed(cam, "gp_camera_wait_for_event", r);
        }
        if (type == GP_EVENT_FILE_ADDED) {
            auto* path = static_cast<CameraFilePath*>(data);
            NewFile file{path->folder, path->name};
            free(data);
            // The last shot's RAW, later than it was waited for, is not
            // this shot's.
            if (files.empty() && lateRawOfLastShot(cam, file.name)) {
                GLIMRA_Log::debugf("libgphoto2: %s/%s belongs to the shot before; kept out",
                                   file.folder.c_str(), file.name.c_str());
                continue;
            }
            files.push_back(file);
            if (files.size() == 2) break;
            // A body that may make a second file gets its time; any other
            // says so by the end of its capture, which comes at once.
            pairDeadline =
                Clock::now() + (expectsPair(cam, files[0].name) ? ms(options_.pairWaitSeconds)
                                                                : std::chrono::milliseconds(300));
            continue;
        }
        if (type == GP_EVENT_CAPTURE_COMPLETE && !files.empty()) {
            free(data);
            break;
        }
        if (type != GP_EVENT_TIMEOUT) handleEvent(cam, type, data);
        free(data);
        if (type == GP_EVENT_TIMEOUT && Clock::now() - asked < std::chrono::milliseconds(20))
            cam->worker->serveFor(std::chrono::milliseconds(20));
    }
    if (!files.empty()) {
        if (files.size() == 2) cam->makesPairs = true;
        // Raised after this command returns, as the camera's event.
        cam->worker->post([this, cam, files] {
            if (cam->camera) raiseObjectAdded(cam, files);
        });
        return CAM_ERR_OK;
    }
    if (!cam->camera) return CAM_ERR_COMM_DISCONNECTED;
    {
        std::lock_guard l(mutex_);
        cam->lastError = "the camera fired but offered no new file in time";
    }
    GLIMRA_Log::debugf("libgphoto2: no new file from %s within %.0f s of the shutter",
                       cam->model.c_str(), options_.captureTimeoutSeconds);
    raiseStateEvent(*cam, kCamStateEvent_CaptureError);
    return CAM_ERR_WAIT_TIMEOUT;
}

// ---- download ----

CamError GPhotoCamSDK::CamGetDirectoryItemInfo(CamDirectoryItemRef item,
                                               CamDirectoryItemInfo* outInfo) {
    if (!outInfo) return CAM_ERR_INVALID_POINTER;
    std::lock_guard l(mutex_);
    auto* it = lookup<GPItem>(item);
    if (!it) return CAM_ERR_INVALID_HANDLE;
    if (!it->camera->connected) return CAM_ERR_COMM_DISCONNECTED;
    fillItemInfo(*outInfo, it->name, it->size);
    // The files of one shot share their group.
    outInfo->groupID = it->group;
    if (isRawFileName(it->name)) outInfo->format = 0x3000;  // not a JPEG
    return CAM_ERR_OK;
}

void GPhotoCamSDK::reportProgress(GPCamera* cam, std::uint32_t percent) {
    CamMemoryStream* s = cam->downloading;
    if (!s || !s->progress || percent <= cam->lastPercent || percent > 100) return;
    cam->lastPercent = percent;
    if (s->reportProgress(percent)) cam->cancelled = true;
}

// The file arrives straight into the caller's buffer; progress comes from
// the bytes received (PTP/IP gives no progress of its own).
int GPhotoCamSDK::handlerWrite(void* priv, unsigned char* data, std::uint64_t* len) {
    auto* cam = static_cast<GPCamera*>(priv);
    CamMemoryStream* s = cam->downloading;
    if (!s || !s->append(data, *len)) return GP_ERROR_NO_MEMORY;
    if (cam->downloadSize)
        reportProgress(cam, static_cast<std::uint32_t>(s->length * 100 / cam->downloadSize));
    return cam->cancelled ? GP_ERROR_CANCEL : GP_OK;
}

int GPhotoCamSDK::handlerSize(void* priv, std::uint64_t* size) {
    auto* cam = static_cast<GPCamera*>(priv);
    *size = cam->downloading ? cam->downloading->length : 0;
    return GP_OK;
}

int GPhotoCamSDK::handlerRead(void*, unsigned char*, std::uint64_t* len) {
    *len = 0;
    return GP_ERROR_NOT_SUPPORTED;
}

unsigned GPhotoCamSDK::progressStart(GPContext*, float target, const char*, void* data) {
    auto* cam = static_cast<GPCamera*>(data);
    cam->progressTarget = target;
    return 1;
}

void GPhotoCamSDK::progressUpdate(GPContext*, unsigned, float current, void* data) {
    auto* cam = static_cast<GPCamera*>(data);
    if (cam->downloading && cam->progressTarget > 0)
        reportProgress(cam, static_cast<std::uint32_t>(current * 100 / cam->progressTarget));
}

void GPhotoCamSDK::progressStop(GPContext*, unsigned, void* data) {
    static_cast<GPCamera*>(data)->progressTarget = 0;
}

CamError GPhotoCamSDK::CamDownload(CamDirectoryItemRef item, std::uint64_t size,
                                   CamStreamRef stream) {
    GPItem* it;
    CamMemoryStream* s;
    GPCamera* cam;
    {
        std::lock_guard l(mutex_);
        it = lookup<GPItem>(item);
        s = lookup<CamMemoryStream>(stream);
        if (!it || !s) return CAM_ERR_INVALID_HANDLE;
        cam = it->camera;
        if (!cam->connected) return CAM_ERR_COMM_DISCONNECTED;
        if (it->size && size != it->size) return CAM_ERR_INVALID_LENGTH;
        if (s->capacity - s->length < size) return CAM_ERR_STREAM_WRITE_ERROR;
    }
    CamError result = CAM_ERR_OK;
    const bool ran = cam->worker->run([&] {
        if (!cam->camera) {
            result = CAM_ERR_COMM_DISCONNECTED;
            return;
        }
        CameraFileHandler handler{&GPhotoCamSDK::handlerSize, &GPhotoCamSDK::handlerRead,
                                  &GPhotoCamSDK::handlerWrite};
        CameraFile* file = nullptr;
        int r = gp_file_new_from_handler(&file, &handler, cam);
        if (r < GP_OK) {
            result = failed(cam, "gp_file_new_from_handler", r);
            return;
        }
        cam->downloading = s;
        cam->downloadSize = size;
        cam->lastPercent = 0;
        cam->cancelled = false;
        const std::uint64_t start = s->length;
        r = gp_camera_file_get(cam->camera, it->folder.c_str(), it->name.c_str(),
                               GP_FILE_TYPE_NORMAL, file, cam->context);
        const bool cancelled = cam->cancelled;
        cam->downloading = nullptr;
        gp_file_unref(file);
        if (cancelled) {
            result = CAM_ERR_OPERATION_CANCELLED;
        } else if (r < GP_OK) {
            result = failed(cam, "gp_camera_file_get", r);
        } else if (s->length - start != size) {
            GLIMRA_Log::debugf("libgphoto2: %s arrived with %llu of its %llu bytes",
                               it->name.c_str(), static_cast<unsigned long long>(s->length - start),
                               static_cast<unsigned long long>(size));
            std::lock_guard l(mutex_);
            cam->lastError = "the file arrived incomplete";
            result = CAM_ERR_STREAM_WRITE_ERROR;
        } else {
            reportProgress(cam, 100);
        }
    });
    return ran ? result : CAM_ERR_INTERNAL_ERROR;
}

CamError GPhotoCamSDK::CamDownloadComplete(CamDirectoryItemRef item) {
    std::lock_guard l(mutex_);
    auto* it = lookup<GPItem>(item);
    if (!it) return CAM_ERR_INVALID_HANDLE;
    if (!it->camera->connected) return CAM_ERR_COMM_DISCONNECTED;
    return CAM_ERR_OK;
}

// ---- live view ----

// One frame through gp_camera_capture_preview, at most at the configured
// rate (earlier asks answer "not ready" without reaching the camera), and
// as a low-priority job: calls queued for the camera go first.
CamError GPhotoCamSDK::CamDownloadEvfImage(CamCameraRef camera, CamEvfImageRef image) {
    CamError err;
    GPCamera* cam = usableCamera(camera, err);
    if (!cam) return err;
    CamMemoryStream* s;
    {
        std::lock_guard l(mutex_);
        auto* img = lookup<CamEvfImage>(image);
        if (!img) return CAM_ERR_INVALID_HANDLE;
        if (!cam->open) return CAM_ERR_SESSION_NOT_OPEN;
        if (!(cam->evfOutputDevice & kCamEvfOutputDevice_PC)) return CAM_ERR_OBJECT_NOTREADY;
        const auto now = Clock::now();
        if (now < cam->nextFrame) return CAM_ERR_OBJECT_NOTREADY;
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / std::max(0.1, options_.liveViewFramesPerSecond)));
        cam->nextFrame = std::max(now, cam->nextFrame + period);
        if (cam->nextFrame == now) cam->nextFrame = now + period;
        s = img->stream;
    }
    CamError result = CAM_ERR_OK;
    const bool ran = cam->worker->run(
        [&] {
            if (!cam->camera) {
                result = CAM_ERR_COMM_DISCONNECTED;
                return;
            }
            if (!cam->previewFile) gp_file_new(&cam->previewFile);
            const auto asked = Clock::now();
            int r = gp_camera_capture_preview(cam->camera, cam->previewFile, cam->context);
            // Warming up, a body answers "not ready" (busy, or the
            // library's own error once its own retries of up to 3 s are
            // spent): a request begun within the warm-up time after live
            // view was switched on, or within a shorter time of the first
            // such answer later, is made again before live view counts as
            // failed.
            if (r == GP_ERROR_CAMERA_BUSY || r == GP_ERROR) {
                if (cam->notReadySince == Clock::time_point{}) cam->notReadySince = asked;
                if (asked < cam->evfOnAt + ms(options_.liveViewWarmUpSeconds) ||
                    asked < cam->notReadySince + ms(options_.liveViewNotReadySeconds)) {
                    result = CAM_ERR_OBJECT_NOTREADY;
                    return;
                }
            }
            if (r < GP_OK) {
                cam->notReadySince = {};
                result = failed(cam, "gp_camera_capture_preview", r);
                return;
            }
            cam->notReadySince = {};
            const char* data = nullptr;
            unsigned long size = 0;
            gp_file_get_data_and_size(cam->previewFile, &data, &size);
            if (!data || size == 0) {
                result = CAM_ERR_OBJECT_NOTREADY;
            } else if (!s->assign(data, size)) {
                result = CAM_ERR_STREAM_WRITE_ERROR;
            }
        },
        true);
    return ran ? result : CAM_ERR_INTERNAL_ERROR;
}

}  // namespace klik
