// Picture download and the host's storage capacity.

#include <chrono>
#include <cstring>

#include "camera/CamTables.h"
#include "camera/CameraNotifications.h"
#include "camera/CameraSupport.h"
#include "camera/CameraWorkQueue.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/sdk/RawFileNames.h"
#include "log/Log.h"
#include "util/FreeSpace.h"

namespace klik {

using namespace camera_detail;

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
    // A RAW is never a guest's photo: its failure costs no one a photo.
    const bool raw = isRawFileName(name);
    GLIMRA_Log::debugf("starting download of %u byte file named \"%s\"",
                       static_cast<unsigned>(info.size), name.c_str());
    // One buffer of the file's exact size; it becomes the picture's data
    // without a copy, or is freed on failure.
    Data buffer;
    try {
        buffer.resize(info.size);
    } catch (const std::bad_alloc&) {
        GLIMRA_Log::debug("error creating image data from download stream");
        if (!raw) postDownloadFailed(CAM_ERR_MEM_ALLOC_FAILED, name);
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
                // A backend that offers a RAW+JPEG shot as one item gives
                // the other file as its sibling: both go out together now.
                CamDirectoryItemRef sibling = nullptr;
                std::optional<HeldPicture> other;
                if (s->CamGetSiblingItem(item, &sibling) == CAM_ERR_OK && sibling) {
                    other = downloadSibling(sibling);
                    s->CamRelease(sibling);
                }
                if (other && raw != isRawFileName(other->name)) {
                    HeldPicture mine{std::move(buffer), name, 0};
                    if (raw) std::swap(mine, *other);
                    deliverPhoto(std::move(mine), std::move(other));
                } else {
                    if (other)
                        GLIMRA_Log::err("the second file " + other->name + " of the shot " + name +
                                        " is no RAW beside a JPEG; not kept");
                    pictureDownloaded(std::move(buffer), name);
                }
            }
        }
        if (stream) s->CamRelease(stream);
    }
    if (!made) GLIMRA_Log::debug("error creating image data from download stream");
    if (err && raw)
        GLIMRA_Log::debugf("the RAW file %s was not downloaded (error %x)", name.c_str(), err);
    else if (err)
        postDownloadFailed(err, name);
    return err;
}

std::optional<GLIMRA_Camera::HeldPicture> GLIMRA_Camera::downloadSibling(
    CamDirectoryItemRef sibling) {
    CamSDK* s = sdk();
    CamDirectoryItemInfo info{};
    if (CamError err = s->CamGetDirectoryItemInfo(sibling, &info)) {
        GLIMRA_Log::debugf("error %x reading the second file of a shot", err);
        return std::nullopt;
    }
    info.szFileName[sizeof info.szFileName - 1] = 0;
    HeldPicture out{{}, info.szFileName, 0};
    try {
        out.bytes.resize(info.size);
    } catch (const std::bad_alloc&) {
        GLIMRA_Log::err("no memory for the second file " + out.name + " of a shot; not kept");
        return std::nullopt;
    }
    CamStreamRef stream = nullptr;
    CamError err = s->CamCreateMemoryStreamFromPointer(out.bytes.data(), out.bytes.size(), &stream);
    if (!err) err = s->CamDownload(sibling, info.size, stream);
    if (!err) err = s->CamDownloadComplete(sibling);
    if (stream) s->CamRelease(stream);
    if (err) {
        GLIMRA_Log::err("the second file " + out.name + " of a shot was not downloaded (" +
                        strForCamError(err) + "); not kept");
        return std::nullopt;
    }
    return out;
}

void GLIMRA_Camera::pictureDownloaded(Data bytes, const std::string& name) {
    const bool raw = isRawFileName(name);
    std::vector<std::pair<HeldPicture, std::optional<HeldPicture>>> out;
    std::optional<HeldPicture> dropped;
    std::uint64_t held = 0;
    {
        std::lock_guard l(_pairMutex);
        HeldPicture now{std::move(bytes), name, 0};
        if (raw) {
            _rawExpected = true;
            if (_heldPhoto) {
                out.emplace_back(std::move(*_heldPhoto), std::move(now));
                _heldPhoto.reset();
            } else {
                if (_heldRaw) dropped = std::move(_heldRaw);
                now.serial = held = ++_heldSerial;
                _heldRaw = std::move(now);
            }
        } else if (_heldRaw) {
            out.emplace_back(std::move(now), std::move(*_heldRaw));
            _heldRaw.reset();
        } else if (_rawExpected) {
            // Its RAW may still come; an earlier JPEG still waiting has
            // waited enough (a new shot has come).
            if (_heldPhoto) out.emplace_back(std::move(*_heldPhoto), std::nullopt);
            now.serial = held = ++_heldSerial;
            _heldPhoto = std::move(now);
        } else {
            out.emplace_back(std::move(now), std::nullopt);
        }
        _pairChanged.notify_all();
    }
    if (dropped)
        GLIMRA_Log::err("the RAW file " + dropped->name + " came without its photo; not kept");
    for (auto& [photo, rawFile] : out) deliverPhoto(std::move(photo), std::move(rawFile));
    if (held)
        spawnDetached(
            [self = shared_from_this(), held, raw] { self->expireHeldPicture(held, raw); });
}

void GLIMRA_Camera::expireHeldPicture(std::uint64_t serial, bool raw) {
    const double bound = lockWaitSeconds(&Timeouts::rawPairing);
    std::unique_lock l(_pairMutex);
    std::optional<HeldPicture>& slot = raw ? _heldRaw : _heldPhoto;
    _pairChanged.wait_for(l, std::chrono::duration<double>(bound),
                          [&] { return !slot || slot->serial != serial; });
    if (!slot || slot->serial != serial) return;
    HeldPicture picture = std::move(*slot);
    slot.reset();
    // A JPEG without its RAW: the camera makes JPEG only again.
    if (!raw) _rawExpected = false;
    l.unlock();
    if (raw) {
        GLIMRA_Log::err("the RAW file " + picture.name + " came without its photo within " +
                        std::to_string(bound) + " s; not kept");
        return;
    }
    deliverPhoto(std::move(picture), std::nullopt);
}

void GLIMRA_Camera::deliverPhoto(HeldPicture photo, std::optional<HeldPicture> raw) {
    Dictionary info{{GLIMRA_CameraPhotoData, Value(std::move(photo.bytes))},
                    {GLIMRA_CameraPhotoFilename, Value(photo.name)}};
    if (raw) {
        info[GLIMRA_CameraRawData] = Value(std::move(raw->bytes));
        info[GLIMRA_CameraRawFilename] = Value(raw->name);
    }
    // The picture's observers (the whole photo chain) run off the SDK's
    // thread, which they would hold while they wait for the main thread and
    // while the photo is filed; one picture at a time, in the order the
    // pictures came, as the chain keeps the photo and its guest while it
    // files them (a late picture and the next guest's must not meet).
    photoDeliveries().enqueue([self = shared_from_this(), info = std::move(info)] {
        NotificationCenter::defaultCenter().post(GLIMRA_CameraPhotoDataAvailable, self->asValue(),
                                                 info);
    });
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
