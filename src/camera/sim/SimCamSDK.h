#pragma once
// A simulated tethered camera behind the CamSDK boundary: any number of
// bodies plugged and unplugged at run time, properties drawn from the value
// tables, pictures and live-view frames as real JPEG, and injected faults.
// Calls run on the caller's thread; events run on one event thread of the
// SDK's own (SimEventQueue), as a vendor SDK delivers them. In single-worker
// mode (SimConfig::singleWorker) every call that talks to a camera runs on
// that thread too, as libgphoto2 demands: a caller elsewhere waits for it.
// Bookkeeping calls (references, handlers, streams) never wait.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "camera/sdk/CamSDKBase.h"
#include "camera/sim/SimCamera.h"
#include "camera/sim/SimConfig.h"
#include "camera/sim/SimEventQueue.h"
#include "camera/sim/SimObjects.h"

namespace klik {

class SimCamSDK : public CamSDKBase {
  public:
    // Plugs in the cameras of `config` (no camera-added handler is
    // registered yet, so none is told).
    explicit SimCamSDK(SimConfig config = {});
    ~SimCamSDK() override;

    // --- Control of the simulation (any thread, never blocks on events) ---
    // Plugs in a camera and runs the camera-added handler on the event
    // thread. Returns the camera's id.
    int plugCamera(const SimCameraSpec& spec);
    // Unplugs a camera: raises the shutdown state event 0x301 on the event
    // thread; later calls on its reference fail. False for an unknown id.
    bool unplugCamera(int id);
    std::vector<int> pluggedCameras() const;
    void setFault(const std::string& call, const SimFault& fault);
    void clearFaults();
    // The camera unplugs when a transfer reaches `percent` (none: never).
    void setVanishDuringDownload(std::optional<std::uint32_t> percent);
    void setCaptureDelay(double seconds);
    // How an injected fault's Delay passes: by default the calling thread
    // sleeps that long. Tests on a virtual clock hand in a handler that
    // holds the call until the test lets it go, so a 15-second delay costs
    // no real time. Called on the thread making the SDK call, without the
    // SDK's lock held; set before the calls it should see.
    using DelayHandler = std::function<void(const std::string& call, double seconds)>;
    void setDelayHandler(DelayHandler handler);
    void setPictureSize(int width, int height);

    struct SentCommand {
        int cameraId;
        bool status;  // a status command (UI lock / unlock)
        std::uint32_t command;
        std::int32_t param;
    };
    // Every command accepted so far, in order.
    std::vector<SentCommand> sentCommands() const;
    // A picture whose transfer the host completed (CamDownloadComplete
    // answered OK): what the camera delivered, as a soak counts it.
    struct DeliveredPicture {
        std::uint64_t serial;  // 1, 2, ... over every body; in the picture's
                               // Exif.Photo.ImageUniqueID (pictureUniqueId)
        std::string name;      // the camera's file name
        std::size_t bytes;
    };
    // Pictures made so far (the serial of the last one), delivered or not.
    std::uint64_t picturesMade() const;
    // Delivered pictures, oldest first, from the `from`-th on (0: all).
    std::vector<DeliveredPicture> deliveredPictures(std::size_t from = 0) const;
    std::size_t deliveredCount() const;
    // The ImageUniqueID written into the picture with `serial`.
    static std::string pictureUniqueId(std::uint64_t serial);
    // References handed out and not yet released (the SDK's own excluded).
    size_t outstandingReferences() const;
    // A camera's raw 4-byte property value, or 0.
    std::uint32_t propertyValue(int id, CamPropertyID prop) const;
    // Sets a property as the camera's own dials would, raising 0x101.
    void turnDial(int id, CamPropertyID prop, std::uint32_t value);
    bool isLiveViewActive(int id) const;
    // How often an SDK call (by name) was made.
    int callCount(const std::string& call) const;
    unsigned liveViewFrameCount(int id) const;
    // How many threads have asked camera `id` for a live-view frame (in
    // single-worker mode the worker makes every call: 1).
    size_t liveViewCallerThreads(int id) const;
    bool isSessionOpen(int id) const;
    // True on the SDK's worker (event) thread.
    bool isWorkerThread() const { return events_.isEventThread(); }
    // Single-worker mode: a camera call made on `thread` (the main thread)
    // is refused with CAM_ERR_INTERNAL_ERROR, logged and counted, as it
    // would block that thread while the worker is busy. None: no check.
    void setForbiddenThread(std::optional<std::thread::id> thread);
    int forbiddenThreadCalls() const;
    // Blocks until the event thread has nothing queued or running.
    void waitUntilIdle() { events_.waitUntilIdle(); }
    bool eventsIdle() { return events_.idle(); }

    // --- CamSDK ---
    CamError CamInitializeSDK() override;
    CamError CamTerminateSDK() override;
    CamError CamGetCameraList(CamCameraListRef* outList) override;
    CamError CamGetDeviceInfo(CamCameraRef camera, CamDeviceInfo* outInfo) override;
    CamError CamOpenSession(CamCameraRef camera) override;
    CamError CamCloseSession(CamCameraRef camera) override;
    CamError CamSendCommand(CamCameraRef camera, CamCameraCommand command,
                            std::int32_t param) override;
    CamError CamSendStatusCommand(CamCameraRef camera, CamCameraStatusCommand command,
                                  std::int32_t param) override;
    CamError CamGetPropertySize(CamBaseRef ref, CamPropertyID propertyID, std::int32_t param,
                                CamDataType* outType, std::uint32_t* outSize) override;
    CamError CamGetPropertyData(CamBaseRef ref, CamPropertyID propertyID, std::int32_t param,
                                std::uint32_t size, void* data) override;
    CamError CamSetPropertyData(CamBaseRef ref, CamPropertyID propertyID, std::int32_t param,
                                std::uint32_t size, const void* data) override;
    CamError CamGetPropertyDesc(CamBaseRef ref, CamPropertyID propertyID,
                                CamPropertyDesc* outDesc) override;
    CamError CamSetCapacity(CamCameraRef camera, CamCapacity capacity) override;
    CamError CamGetDirectoryItemInfo(CamDirectoryItemRef item,
                                     CamDirectoryItemInfo* outInfo) override;
    CamError CamDownload(CamDirectoryItemRef item, std::uint64_t size,
                         CamStreamRef stream) override;
    CamError CamDownloadComplete(CamDirectoryItemRef item) override;
    CamError CamDownloadEvfImage(CamCameraRef camera, CamEvfImageRef image) override;
    CamError CamGetControls(CamCameraRef camera, std::uint32_t* outControls) override;

  protected:
    // Every call counts and may meet an injected fault (fault()).
    CamError admitCall(const char* call) override { return fault(call); }
    CamCameraState* cameraStateLocked(CamBaseRef camera) override;

  private:
    // Single-worker mode, off the worker: runs `call` there and returns its
    // answer; none when the call is to run on this thread.
    template <class F>
    std::optional<CamError> onWorker(const char* name, F&& call);
    // Applies an injected fault: waits its delay, then returns its error
    // (0 when there is none). Called before the SDK lock is taken.
    CamError fault(const char* call, std::optional<CamPropertyID> property = std::nullopt);
    // The camera behind a usable camera reference (connected), else null.
    std::shared_ptr<SimCamera> cameraFor(CamBaseRef ref, CamError& err) const;  // under mutex_
    void unplugLocked(std::shared_ptr<SimCamera> cam);  // a copy: it leaves cameras_
    void postPropertyEvent(const std::shared_ptr<SimCamera>& cam, CamPropertyEvent event,
                           CamPropertyID id);
    void capture(const std::shared_ptr<SimCamera>& cam);

    SimConfig config_;
    DelayHandler delay_;
    bool initialized_ = false;
    int nextCameraId_ = 1;
    std::vector<std::shared_ptr<SimCamera>> cameras_;  // plugged, in plug order
    std::vector<SentCommand> sent_;
    std::map<std::string, int> calls_;
    std::uint64_t pictureSerial_ = 0;          // under mutex_
    std::vector<DeliveredPicture> delivered_;  // under mutex_
    const bool singleWorker_;
    std::optional<std::thread::id> forbiddenThread_;  // under mutex_
    int forbiddenCalls_ = 0;                          // under mutex_
    SimEventQueue events_;  // last: stops before the state it touches goes
};

}  // namespace klik
