#include "camera/sdk/CamSDKBase.h"

#include <algorithm>
#include <cstring>

namespace klik {

namespace {

void copyText(char* dst, size_t cap, const std::string& s) {
    const size_t n = std::min(cap - 1, s.size());
    std::memcpy(dst, s.data(), n);
    dst[n] = 0;
}

}  // namespace

// ---- memory streams ----

bool CamMemoryStream::append(const void* data, std::uint64_t size) {
    if (size > capacity - length) return false;
    std::memcpy(buffer + length, data, size);
    length += size;
    return true;
}

bool CamMemoryStream::assign(const void* data, std::uint64_t size) {
    if (size > capacity) return false;
    std::memcpy(buffer, data, size);
    length = size;
    return true;
}

bool CamMemoryStream::reportProgress(std::uint32_t percent) const {
    if (!progress) return false;
    bool cancel = false;
    progress(percent, progressContext, &cancel);
    return cancel;
}

// ---- references ----

CamError CamSDKBase::admitCall(const char*) {
    return CAM_ERR_OK;
}

bool CamSDKBase::disposeLocked(CamRef*) {
    return false;
}

std::uint32_t CamSDKBase::releaseLocked(CamRef* ref) {
    if (--ref->refs > 0) return ref->refs;
    live_.erase(ref);
    if (auto* list = dynamic_cast<CamRefList*>(ref)) {
        for (CamRef* child : list->children) releaseLocked(child);
    } else if (auto* img = dynamic_cast<CamEvfImage*>(ref)) {
        if (img->stream) releaseLocked(img->stream);
    } else if (disposeLocked(ref)) {
        return 0;
    }
    delete ref;
    return 0;
}

std::uint32_t CamSDKBase::CamRetain(CamBaseRef ref) {
    std::lock_guard lock(mutex_);
    auto* r = lookup<CamRef>(ref);
    return r ? ++r->refs : 0;
}

std::uint32_t CamSDKBase::CamRelease(CamBaseRef ref) {
    std::lock_guard lock(mutex_);
    auto* r = lookup<CamRef>(ref);
    return r ? releaseLocked(r) : 0;
}

CamError CamSDKBase::CamGetChildCount(CamBaseRef ref, std::uint32_t* outCount) {
    if (CamError e = admitCall("CamGetChildCount")) return e;
    if (!outCount) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    auto* list = lookup<CamRefList>(ref);
    if (!list) return CAM_ERR_INVALID_HANDLE;
    *outCount = static_cast<std::uint32_t>(list->children.size());
    return CAM_ERR_OK;
}

CamError CamSDKBase::CamGetChildAtIndex(CamBaseRef ref, std::int32_t index, CamBaseRef* outChild) {
    if (CamError e = admitCall("CamGetChildAtIndex")) return e;
    if (!outChild) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    auto* list = lookup<CamRefList>(ref);
    if (!list) return CAM_ERR_INVALID_HANDLE;
    if (index < 0 || static_cast<size_t>(index) >= list->children.size())
        return CAM_ERR_INVALID_INDEX;
    CamRef* child = list->children[static_cast<size_t>(index)];
    ++child->refs;
    *outChild = child;
    return CAM_ERR_OK;
}

// ---- handlers ----

CamError CamSDKBase::CamSetCameraAddedHandler(CamCameraAddedHandler handler, void* context) {
    if (CamError e = admitCall("CamSetCameraAddedHandler")) return e;
    std::lock_guard lock(mutex_);
    addedHandler_ = handler;
    addedContext_ = context;
    return CAM_ERR_OK;
}

template <class Handler>
CamError CamSDKBase::setHandler(const char* call, CamCameraRef camera, bool all,
                                Handler CamCameraState::*handlerSlot,
                                void* CamCameraState::*contextSlot, Handler handler,
                                void* context) {
    if (CamError e = admitCall(call)) return e;
    if (!all) return CAM_ERR_NOT_SUPPORTED;
    std::lock_guard lock(mutex_);
    CamCameraState* c = cameraStateLocked(camera);
    if (!c) return CAM_ERR_INVALID_HANDLE;
    c->*handlerSlot = handler;
    c->*contextSlot = context;
    return CAM_ERR_OK;
}

CamError CamSDKBase::CamSetCameraStateEventHandler(CamCameraRef camera, CamStateEvent event,
                                                   CamStateEventHandler handler, void* context) {
    return setHandler("CamSetCameraStateEventHandler", camera, event == kCamStateEvent_All,
                      &CamCameraState::stateHandler, &CamCameraState::stateContext, handler,
                      context);
}

CamError CamSDKBase::CamSetPropertyEventHandler(CamCameraRef camera, CamPropertyEvent event,
                                                CamPropertyEventHandler handler, void* context) {
    return setHandler("CamSetPropertyEventHandler", camera, event == kCamPropertyEvent_All,
                      &CamCameraState::propertyHandler, &CamCameraState::propertyContext, handler,
                      context);
}

CamError CamSDKBase::CamSetObjectEventHandler(CamCameraRef camera, CamObjectEvent event,
                                              CamObjectEventHandler handler, void* context) {
    return setHandler("CamSetObjectEventHandler", camera, event == kCamObjectEvent_All,
                      &CamCameraState::objectHandler, &CamCameraState::objectContext, handler,
                      context);
}

void CamSDKBase::raiseCameraAdded() {
    CamCameraAddedHandler h;
    void* ctx;
    {
        std::lock_guard lock(mutex_);
        h = addedHandler_;
        ctx = addedContext_;
    }
    if (h) h(ctx);
}

void CamSDKBase::raiseStateEvent(const CamCameraState& camera, CamStateEvent event) {
    CamStateEventHandler h;
    void* ctx;
    {
        std::lock_guard lock(mutex_);
        h = camera.stateHandler;
        ctx = camera.stateContext;
    }
    if (h) h(event, 0, ctx);
}

void CamSDKBase::raisePropertyEvent(const CamCameraState& camera, CamPropertyEvent event,
                                    CamPropertyID id) {
    CamPropertyEventHandler h;
    void* ctx;
    {
        std::lock_guard lock(mutex_);
        if (!camera.connected) return;
        h = camera.propertyHandler;
        ctx = camera.propertyContext;
    }
    if (h) h(event, id, 0, ctx);
}

void CamSDKBase::offerItem(const CamCameraState& camera, CamRef* item) {
    CamObjectEventHandler h;
    void* ctx;
    {
        std::lock_guard lock(mutex_);
        h = camera.objectHandler;
        ctx = camera.objectContext;
    }
    if (h) h(kCamObjectEvent_DirItemRequestTransfer, item, ctx);
    std::lock_guard lock(mutex_);
    releaseLocked(item);
}

// ---- commands ----

bool CamSDKBase::shutterButton(std::int32_t param, bool& shoots) {
    const auto p = static_cast<std::uint32_t>(param);
    if (p != kCamShutterButton_OFF && p != kCamShutterButton_Halfway &&
        p != kCamShutterButton_Completely && p != kCamShutterButton_Halfway_NonAF &&
        p != kCamShutterButton_Completely_NonAF)
        return false;
    shoots = p == kCamShutterButton_Completely || p == kCamShutterButton_Completely_NonAF;
    return true;
}

// ---- records ----

void CamSDKBase::fillDeviceInfo(CamDeviceInfo& out, const std::string& port,
                                const std::string& description, std::uint32_t subType) {
    std::memset(&out, 0, sizeof out);
    copyText(out.szPortName, sizeof out.szPortName, port);
    copyText(out.szDeviceDescription, sizeof out.szDeviceDescription, description);
    out.deviceSubType = subType;
}

void CamSDKBase::fillItemInfo(CamDirectoryItemInfo& out, const std::string& name,
                              std::uint64_t size) {
    std::memset(&out, 0, sizeof out);
    out.size = size;
    out.format = 0x3801;  // EXIF/JPEG
    copyText(out.szFileName, sizeof out.szFileName, name);
}

// ---- streams and live-view images ----

CamError CamSDKBase::CamCreateMemoryStreamFromPointer(void* buffer, std::uint64_t size,
                                                      CamStreamRef* outStream) {
    if (CamError e = admitCall("CamCreateMemoryStreamFromPointer")) return e;
    if (!buffer || !outStream) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    auto* s = new CamMemoryStream;
    s->buffer = static_cast<std::uint8_t*>(buffer);
    s->capacity = size;
    live_.insert(s);
    *outStream = s;
    return CAM_ERR_OK;
}

CamError CamSDKBase::CamGetLength(CamStreamRef stream, std::uint64_t* outLength) {
    if (!outLength) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    auto* s = lookup<CamMemoryStream>(stream);
    if (!s) return CAM_ERR_INVALID_HANDLE;
    *outLength = s->length;
    return CAM_ERR_OK;
}

CamError CamSDKBase::CamSetProgressCallback(CamBaseRef ref, CamProgressCallback callback,
                                            std::uint32_t option, void* context) {
    if (CamError e = admitCall("CamSetProgressCallback")) return e;
    if (option != kCamProgressOption_Done && option != kCamProgressOption_Periodically)
        return CAM_ERR_INVALID_PARAMETER;
    std::lock_guard lock(mutex_);
    auto* s = lookup<CamMemoryStream>(ref);
    if (!s) return CAM_ERR_INVALID_HANDLE;
    s->progress = callback;
    s->progressContext = context;
    return CAM_ERR_OK;
}

CamError CamSDKBase::CamCreateEvfImageRef(CamStreamRef stream, CamEvfImageRef* outImage) {
    if (CamError e = admitCall("CamCreateEvfImageRef")) return e;
    if (!outImage) return CAM_ERR_INVALID_POINTER;
    std::lock_guard lock(mutex_);
    auto* s = lookup<CamMemoryStream>(stream);
    if (!s) return CAM_ERR_INVALID_HANDLE;
    auto* img = new CamEvfImage;
    img->stream = s;
    ++s->refs;
    live_.insert(img);
    *outImage = img;
    return CAM_ERR_OK;
}

}  // namespace klik
