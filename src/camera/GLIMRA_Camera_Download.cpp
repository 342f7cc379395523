// Picture download and the host's storage capacity.

#include <cstring>

#include "camera/CamTables.h"
#include "camera/CameraNotifications.h"
#include "camera/CameraSupport.h"
#include "camera/CameraWorkQueue.h"
#include "camera/GLIMRA_Camera.h"
#include "log/Log.h"
#include "util/FreeSpace.h"

namespace klik {

namespace {

// Every camera's downloaded pictures, handed to their observers in turn.
// Never destroyed: its thread may outlive the statics at exit.
CameraWorkQueue& photoDeliveries() {
    static CameraWorkQueue* q = new CameraWorkQueue;
    return *q;
}

}  // namespace

CamError GLIMRA_Camera::objectEventCallback(CamObjectEvent event, CamBaseRef object,
                                            void* context) {
    if (Ptr cam = fromContext(context)) return cam->processObjectEvent(event, object);
    return 0;
}

CamError GLIMRA_Camera::processObjectEvent(CamObjectEvent event, CamBaseRef object) {
    if (event == kCamObjectEvent_DirItemRequestTransfer) {
        GLIMRA_Log::debugf("camera %s requests that obj (%p) be downloaded", _description.c_str(),
                           static_cast<void*>(object));
        downloadObject(object);
    } else {
        GLIMRA_Log::debugf("received object event %x for camera %s", event, _description.c_str());
    }
    return 0;
}

// Tells the application that the picture it is waiting for will not come,
// so a guest is not promised a photo that exists nowhere.
void GLIMRA_Camera::postDownloadFailed(CamError err, const std::string& fileName) {
    Dictionary error{{kCameraErrorDomainKey, Value("CamError")},
                     {kCameraErrorCodeKey, Value(err)},
                     {kCameraErrorUserInfoKey,
                      Value(Dictionary{{kCameraErrorDescriptionKey, Value(strForCamError(err))}})}};
    Dictionary info{{GLIMRA_CameraDownloadError, Value(std::move(error))}};
    if (!fileName.empty()) info[GLIMRA_CameraPhotoFilename] = fileName;
    NotificationCenter::defaultCenter().postOnMainThread(
        Notification{GLIMRA_CameraDownloadFailed, asValue(), std::move(info)}, false, mainLoop());
}

CamError GLIMRA_Camera::downloadObject(CamDirectoryItemRef item) {
    GLIMRA_Log::debug("should download an object");
    CamSDK* s = sdk();
    CamDirectoryItemInfo info{};
    if (CamError err = s->CamGetDirectoryItemInfo(item, &info)) {
        postDownloadFailed(err, "");
        return err;
    }
    info.szFileName[sizeof info.szFileName - 1] = 0;
    const std::string name = info.szFileName;
    GLIMRA_Log::debugf("starting download of %u byte file named \"%s\"",
                       static_cast<unsigned>(info.size), name.c_str());
    // One buffer of the file's exact size; it becomes the picture's data
    // without a copy, or is freed on failure.
    Data buffer;
    try {
        buffer.resize(info.size);
    } catch (const std::bad_alloc&) {
        GLIMRA_Log::debug("error creating image data from download stream");
        postDownloadFailed(CAM_ERR_MEM_ALLOC_FAILED, name);
        return CAM_ERR_MEM_ALLOC_FAILED;
    }
    CamStreamRef stream = nullptr;
    CamError err = s->CamCreateMemoryStreamFromPointer(buffer.data(), buffer.size(), &stream);
    bool made = false;
    if (err) {
        GLIMRA_Log::debugf("error %x creating memory stream", err);
    } else {
        if (CamError e = s->CamSetProgressCallback(stream, &GLIMRA_Camera::progressCallback,
                                                   kCamProgressOption_Periodically, this))
            GLIMRA_Log::debugf("error %x registering for download progress", e);
        GLIMRA_Log::debug("beginning download");
        err = s->CamDownload(item, info.size, stream);
        if (err) {
            GLIMRA_Log::debugf("error %x during download of image stream", err);
        } else {
            made = true;
            err = s->CamDownloadComplete(item);
            if (err) {
                GLIMRA_Log::debugf("error %x completing download stream", err);
            } else {
                GLIMRA_Log::debug("image download complete");
                s->CamRelease(stream);
                stream = nullptr;
                // The picture's observers (the whole photo chain) run off
                // the SDK's thread, which they would hold while they wait
                // for the main thread and while the photo is filed; one
                // picture at a time, in the order the pictures came, as
                // the chain keeps the photo and its guest while it files
                // them (a late picture and the next guest's must not meet).
                photoDeliveries().enqueue(
                    [self = shared_from_this(), photo = Value(std::move(buffer)), name] {
                        NotificationCenter::defaultCenter().post(
                            GLIMRA_CameraPhotoDataAvailable, self->asValue(),
                            Dictionary{{GLIMRA_CameraPhotoData, photo},
                                       {GLIMRA_CameraPhotoFilename, Value(name)}});
                    });
            }
        }
        if (stream) s->CamRelease(stream);
    }
    if (!made) GLIMRA_Log::debug("error creating image data from download stream");
    if (err) postDownloadFailed(err, name);
    return err;
}

CamError GLIMRA_Camera::progressCallback(std::uint32_t percent, void* context, bool* cancel) {
    Ptr cam = fromContext(context);
    if (!cam) return 0;
    // Not waited for: the transfer runs on the camera's worker.
    NotificationCenter::defaultCenter().postOnMainThread(
        Notification{GLIMRA_CameraDownloadProgress, cam->asValue(),
                     Dictionary{{GLIMRA_CameraDownloadProgressPercent, Value(percent)}}},
        false, mainLoop());
    bool answer = cam->cancelDownloadForProgress(percent);
    GLIMRA_Log::debugf("download progress (%u %%)", percent);
    if (cancel) *cancel = answer;
    return 0;
}

bool GLIMRA_Camera::cancelDownloadForProgress(std::uint32_t percent) {
    if (GLIMRA_CameraDelegate* d = delegate())
        if (auto answer = d->cancelDownloadForProgress(*this, percent)) return *answer;
    return false;
}

bool GLIMRA_Camera::setDestination(std::uint32_t destination) {
    bool ok = setValue(Value(destination), kCamPropID_SaveTo, 0);
    setHostStorageCapacityAtPath(std::nullopt, true);
    return ok;
}

bool GLIMRA_Camera::setHostStorageCapacityAtPath(const std::optional<std::string>& path,
                                                 bool reset) {
    long blockSize = 0, freeBlocks = 0;
    if (auto room = freeSpaceAtPath(path ? *path : "/")) {
        // Free blocks are counted in fragments (f_frsize), not in the
        // preferred I/O size a share reports as f_bsize.
        blockSize = static_cast<long>(std::min<unsigned long>(room->blockSize, 0x7FFFFFFF));
        freeBlocks = static_cast<long>(std::min<unsigned long>(room->freeBlocks, 0x7FFFFFFF));
    } else {
        // Unknown room: report plenty so the camera still sends pictures,
        // and let a full disk show itself when the picture is filed.
        blockSize = 4096;
        freeBlocks = 0x7FFFFFFF;
    }
    GLIMRA_Log::debugf("file system stats:\n block size:%ld\n free blocks:%ld", blockSize,
                       freeBlocks);
    // The record holds 32-bit counts; a huge volume is reported as the most
    // it can say rather than wrapping to a small or negative number.
    CamCapacity cap{static_cast<std::int32_t>(std::min<long>(freeBlocks, 0x7FFFFFFF)),
                    static_cast<std::int32_t>(std::min<long>(blockSize, 0x7FFFFFFF)), reset};
    if (CamError err = sdk()->CamSetCapacity(_camera, cap)) {
        GLIMRA_Log::debugf("set capacity failed with error %x", err);
        return false;
    }
    return true;
}

}  // namespace klik
