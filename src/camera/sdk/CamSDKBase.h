#pragma once
// The bookkeeping every backend of the CamSDK boundary keeps the same way:
// counted references and the set of live ones (a stale or foreign
// reference is refused instead of followed), camera lists, memory streams
// with their progress callbacks, live-view image references, and the
// handlers of the camera-added event and of each camera's events. A backend
// derives from CamSDKBase and does the device work: listing cameras,
// sessions, commands, properties, downloads and live-view frames.
//
// None of these calls talks to a camera, so none blocks: each takes the
// SDK's lock only for the moment it reads or writes the bookkeeping, and
// handlers always run outside it.

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "camera/sdk/CamSDK.h"

namespace klik {

// An object behind a reference the SDK counts: it is created with one count
// (its creator's) and deleted when the last one is released.
class CamRef : public CamObject {
  public:
    std::uint32_t refs = 1;
};

// The camera list: each child is retained by the list.
class CamRefList : public CamRef {
  public:
    std::vector<CamRef*> children;
};

// A stream writing into the caller's buffer, which outlives it.
class CamMemoryStream : public CamRef {
  public:
    // Adds `size` bytes after those written so far; false (nothing written)
    // when they do not fit.
    bool append(const void* data, std::uint64_t size);
    // Replaces what was written with `size` bytes; false (nothing written)
    // when they do not fit.
    bool assign(const void* data, std::uint64_t size);
    // Tells the progress callback, if any; true when it asks to cancel.
    bool reportProgress(std::uint32_t percent) const;

    std::uint8_t* buffer = nullptr;
    std::uint64_t capacity = 0;
    std::uint64_t length = 0;
    CamProgressCallback progress = nullptr;
    void* progressContext = nullptr;
};

// A live-view image reference on a stream.
class CamEvfImage : public CamRef {
  public:
    CamMemoryStream* stream = nullptr;  // retained by the image
};

// What the SDK keeps of each camera, whatever the backend, guarded by the
// SDK's lock: whether it is still connected and where its events go.
struct CamCameraState {
    bool connected = true;
    CamStateEventHandler stateHandler = nullptr;
    void* stateContext = nullptr;
    CamPropertyEventHandler propertyHandler = nullptr;
    void* propertyContext = nullptr;
    CamObjectEventHandler objectHandler = nullptr;
    void* objectContext = nullptr;
};

class CamSDKBase : public CamSDK {
  public:
    CamError CamSetCameraAddedHandler(CamCameraAddedHandler handler, void* context) override;
    CamError CamGetChildCount(CamBaseRef ref, std::uint32_t* outCount) override;
    CamError CamGetChildAtIndex(CamBaseRef ref, std::int32_t index, CamBaseRef* outChild) override;
    std::uint32_t CamRetain(CamBaseRef ref) override;
    std::uint32_t CamRelease(CamBaseRef ref) override;
    CamError CamSetCameraStateEventHandler(CamCameraRef camera, CamStateEvent event,
                                           CamStateEventHandler handler, void* context) override;
    CamError CamSetPropertyEventHandler(CamCameraRef camera, CamPropertyEvent event,
                                        CamPropertyEventHandler handler, void* context) override;
    CamError CamSetObjectEventHandler(CamCameraRef camera, CamObjectEvent event,
                                      CamObjectEventHandler handler, void* context) override;
    CamError CamCreateMemoryStreamFromPointer(void* buffer, std::uint64_t size,
                                              CamStreamRef* outStream) override;
    CamError CamGetLength(CamStreamRef stream, std::uint64_t* outLength) override;
    CamError CamSetProgressCallback(CamBaseRef ref, CamProgressCallback callback,
                                    std::uint32_t option, void* context) override;
    CamError CamCreateEvfImageRef(CamStreamRef stream, CamEvfImageRef* outImage) override;

  protected:
    // Asked first by every call above except CamRetain, CamRelease and
    // CamGetLength, with the call's name; an error ends the call with it.
    // Not under the lock. The simulated camera counts calls and injects its
    // faults here.
    virtual CamError admitCall(const char* call);
    // The state of the camera behind `camera`, else null. Under mutex_.
    virtual CamCameraState* cameraStateLocked(CamBaseRef camera) = 0;
    // The last count of a backend's own object (a camera, an item) is gone
    // and it has left live_: the backend releases what the object holds and
    // returns true when it disposes of the object itself (else it is
    // deleted). Under mutex_.
    virtual bool disposeLocked(CamRef* ref);

    // The live object behind `ref` when it is a T, else null. Under mutex_.
    template <class T>
    T* lookup(CamBaseRef ref) const {
        if (!ref || !live_.count(ref)) return nullptr;
        return dynamic_cast<T*>(ref);
    }
    // Drops one count of `ref`; returns the count left. Under mutex_.
    std::uint32_t releaseLocked(CamRef* ref);

    // Run the handler of an event outside the lock (read under it). A
    // property event of a camera no longer connected is dropped.
    void raiseCameraAdded();
    void raiseStateEvent(const CamCameraState& camera, CamStateEvent event);
    void raisePropertyEvent(const CamCameraState& camera, CamPropertyEvent event, CamPropertyID id);
    // Offers a new file to the camera's object handler for transfer. `item`
    // is live and holds the SDK's count, which goes once the handler has
    // run (a handler that keeps the item retains it). Not under mutex_.
    void offerItem(const CamCameraState& camera, CamRef* item);

    // The shutter-button command's parameter: false when it names none of
    // the button's positions, else `shoots` says whether the button goes
    // all the way down.
    static bool shutterButton(std::int32_t param, bool& shoots);
    // The boundary's records, zeroed first, their texts cut to fit.
    static void fillDeviceInfo(CamDeviceInfo& out, const std::string& port,
                               const std::string& description, std::uint32_t subType);
    // A picture's file (EXIF/JPEG).
    static void fillItemInfo(CamDirectoryItemInfo& out, const std::string& name,
                             std::uint64_t size);

    mutable std::mutex mutex_;
    std::set<const CamObject*> live_;

  private:
    // Stores one of a camera's handlers; `all`: the event named is its
    // group's "All", the one choice a backend offers.
    template <class Handler>
    CamError setHandler(const char* call, CamCameraRef camera, bool all,
                        Handler CamCameraState::*handlerSlot, void* CamCameraState::*contextSlot,
                        Handler handler, void* context);

    CamCameraAddedHandler addedHandler_ = nullptr;
    void* addedContext_ = nullptr;
};

}  // namespace klik
