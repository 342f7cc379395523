#pragma once
// One connected still camera, and at class level the registry of connected
// cameras. Talks to the camera only through the CamSDK boundary. Objects
// are shared: the registry, the loaded-camera slot and every notification
// that carries a camera keep it alive. Equal (and hashed) by SDK reference.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "camera/sdk/CamSDK.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Value.h"

namespace klik {

class GLIMRA_Camera;
class LiveViewFrameMailbox;
class RunLoop;

// The camera's delegate; `cancelDownloadForProgress` answers nothing unless
// overridden, which leaves downloads running.
class GLIMRA_CameraDelegate {
  public:
    virtual ~GLIMRA_CameraDelegate() = default;
    virtual std::optional<bool> cancelDownloadForProgress(GLIMRA_Camera&, std::uint32_t) {
        return std::nullopt;
    }
};

class GLIMRA_Camera : public std::enable_shared_from_this<GLIMRA_Camera> {
  public:
    using Ptr = std::shared_ptr<GLIMRA_Camera>;

    // ---- class level ----
    // The backend; set once before the class is first used (the program or
    // a test). Main thread.
    static void setSDK(std::shared_ptr<CamSDK> sdk);
    static CamSDK* sdk();
    // The loop notifications for the main thread go to (default RunLoop::main()).
    static void setMainLoop(RunLoop* loop);
    static RunLoop* mainLoop();
    // Lock waits in seconds; the defaults are 60, 30 and 3; the RAW pairing
    // bound 2.
    struct Timeouts {
        double listLock = 60, queueLock = 30, commandLock = 3;
        // How long a shot's first file waits for the second when the
        // camera makes a RAW beside each JPEG.
        double rawPairing = 2;
    };
    static void setTimeouts(Timeouts t);
    // Class initialisation: starts the SDK, registers the camera-added
    // handler and starts a scan. Runs once; every class operation calls it.
    static void initializeClass();
    // The object posted as "the camera class".
    static const void* classObject();

    // A copy of the detected list, or none when the list lock is busy at
    // this instant; never waits. Any thread.
    static std::optional<std::vector<Ptr>> cameras();
    // Starts a scan on a new detached thread and returns.
    static void updateCameraListAsync();
    // True while a scan started by updateCameraListAsync has not finished.
    // Any thread.
    static bool isScanning();
    // The scan itself, on the calling thread; blocks while it runs.
    static void updateCameraList();
    static void applicationWillTerminate(const Notification& n);
    static CamError cameraAdded(void* context);
    // The camera with the open session, or null.
    static Ptr loadedCamera();
    // Blocks until no scan or command thread started by this class runs.
    static void waitForBackgroundThreads();
    // Tests: blocks until at most `count` of those threads run.
    static void waitUntilBackgroundThreadsAtMost(int count);
    // Tests: how many of those threads run now.
    static int backgroundThreadCount();
    // Ends the SDK and forgets every camera, for tests and the tool's exit.
    // Main thread; waits for background threads first.
    static void shutdown();
    // The list lock, so tests can hold it.
    static std::timed_mutex& listLockForTesting();

    // ---- one camera ----
    // initWithCameraRef: retains `ref`, reads the device information and
    // installs the state-event handler. Any thread; the caller owns it.
    static Ptr create(CamCameraRef ref);
    ~GLIMRA_Camera();
    GLIMRA_Camera(const GLIMRA_Camera&) = delete;
    GLIMRA_Camera& operator=(const GLIMRA_Camera&) = delete;

    bool operator==(const GLIMRA_Camera& o) const { return _camera == o._camera; }
    std::size_t hash() const { return reinterpret_cast<std::size_t>(_camera); }
    // The camera as a notification object (keeps it alive).
    Value asValue();

    // Opens the session (unloading another loaded camera first), posts
    // GLIMRA_CameraDidLoad on this thread, installs the event handlers,
    // sends pictures to the host and announces the properties. Blocks:
    // never from the main thread (use loadInBackground).
    bool load();
    // Closes the session of the loaded camera; posts GLIMRA_CameraDidUnload
    // on this thread. False for a camera that is not the loaded one.
    bool unload();
    void startNotifications();
    void stopNotifications();

    // ---- work for the main thread ----
    // Runs `work` on the camera class's session thread, after all work asked
    // for before it (of any camera); the camera stays alive until it has
    // run. Any thread; never blocks. The main thread reaches the camera only
    // this way and learns the results from the camera notifications.
    void performInBackground(std::function<void(GLIMRA_Camera&)> work);
    void loadInBackground();
    void unloadInBackground();
    // Reads the allowed values of each property and posts them as
    // GLIMRA_CameraPropertiesDidChange (without the values entry when they
    // cannot be read), delivered on the main thread, not waited for; nothing
    // is stored. Blocks: run it through performInBackground.
    void announceSupportedValues(const std::vector<CamPropertyID>& ids);
    // Writes a display text (setStringValue) in the background; `done` then
    // gets the result on the camera's main loop.
    void setStringValueInBackground(const std::string& text, CamPropertyID id,
                                    std::function<void(bool)> done);
    // True while work queued with performInBackground is waiting or running.
    static bool backgroundWorkPending();

    CamCameraRef cameraRef() const { return _camera; }
    std::uint32_t subType() const { return _subType; }
    const std::string& description() const { return _description; }
    bool isLoaded() const { return _isLoaded.load(); }
    bool isLegacyModel() const { return _subType == 0; }
    // The vendor controls (kCamControl_*) the camera has; all when the
    // backend cannot tell. Never blocks.
    std::uint32_t controls() const;
    GLIMRA_CameraDelegate* delegate() const { return _delegate.load(); }
    void setDelegate(GLIMRA_CameraDelegate* d) { _delegate.store(d); }

    // Older cameras' UI lock (status commands); newer cameras: always true.
    bool waitForCameraLock(double timeout);
    void unlockCameraLock();

    // Command queue. Queueing and dispatch take the queue lock (30 s);
    // each dispatched command is sent on a detached thread of its own under
    // the command lock (3 s). A command dropped because a lock stayed busy
    // is reported as a failed one (GLIMRA_CameraCommandError, code
    // CAM_ERR_DEVICE_BUSY). Any thread.
    void queueCameraCommand(std::uint32_t command, std::uint32_t param);
    void performNextQueuedCameraCommand();
    void performCommandWithDictionary(const Dictionary& command);
    // Sends at once on this thread (command lock and UI lock); failures
    // are logged only.
    CamError performCameraCommand(std::uint32_t command, std::uint32_t param);
    static std::optional<std::string> descriptionForCommandDictionary(const Dictionary& command);
    static Dictionary commandDictionary(std::uint32_t command, std::uint32_t param);
    size_t queuedCommandCount();

    void takePicture();
    void pressShutter(std::uint32_t param);
    void pressShutterFull() { pressShutter(kCamShutterButton_Completely); }
    void pressShutterHalf() { pressShutter(kCamShutterButton_Halfway); }
    void releaseShutter() { pressShutter(kCamShutterButton_OFF); }
    Value cameraClock();
    bool setCameraClock(Date when);
    bool setOwnerName(const std::string& name);

    // State events (SDK thread); always 0.
    CamError processCameraEvent(CamStateEvent event, std::uint32_t data);

    // ---- properties (caller's thread) ----
    Value valueForPropertyID(CamPropertyID id, std::uint32_t param);
    bool setValue(const Value& value, CamPropertyID id, std::uint32_t param);
    bool setStringValue(const std::string& text, CamPropertyID id);
    std::optional<Dictionary> supportedValuesForPropertyID(CamPropertyID id);
    void setSupportedValues(const std::optional<Dictionary>& values, CamPropertyID id);
    // The allowed values last reported for a property name, if any.
    std::optional<Dictionary> storedSupportedValues(const std::string& name);
    void propertyDidChange(CamPropertyID id, std::uint32_t param);
    void updateValueForPropertyID(CamPropertyID id) { propertyDidChange(id, 0); }
    CamError processPropertyEvent(CamPropertyEvent event, CamPropertyID id, std::uint32_t param);
    void getDeviceProperties();
    static std::string stringNameForPropertyID(CamPropertyID id);
    static std::string stringForPropertyID(CamPropertyID id, std::uint32_t value);
    // The display text of a raw value of this camera: the backend's own
    // name for a choice the tables lack, else stringForPropertyID.
    std::string displayTextForValue(CamPropertyID id, std::uint32_t value);
    static std::optional<Date> dateForCamTime(const CamTime* t);
    static void CamTimeForDate(CamTime* t, std::optional<Date> when);
    CamError setProperty(CamCameraRef ref, CamPropertyID id, std::uint32_t param,
                         std::uint32_t size, const void* data);

    // ---- download (SDK event thread) ----
    CamError processObjectEvent(CamObjectEvent event, CamBaseRef object);
    CamError downloadObject(CamDirectoryItemRef item);
    static CamError progressCallback(std::uint32_t percent, void* context, bool* cancel);
    bool cancelDownloadForProgress(std::uint32_t percent);
    bool setDestination(std::uint32_t destination);
    bool setHostStorageCapacityAtPath(const std::optional<std::string>& path, bool reset);

    // ---- live view ----
    static constexpr std::uint32_t liveViewStreamSize = 0x200000;
    void liveViewBegin();
    void liveViewEnd();
    std::uint32_t liveViewOutputDevice();
    void liveViewSetZoom(std::uint32_t zoom);
    void liveViewDriveAF(std::uint32_t param);
    void liveViewDriveAFNear1() { liveViewDriveAF(kCamDriveLens_Near1); }
    // The frame loop (on its own thread).
    void downloadLiveViewImage();
    bool isLiveViewRunning() const { return _shouldDownloadLiveViewImage.load(); }
    // Frames waiting for the main thread (at most 1) and frames replaced.
    size_t pendingLiveViewFrames() const;
    size_t droppedLiveViewFrames() const;
    // Tests: runs on the frame loop's thread after the loop has left its
    // frame loop and before it lets go of the live-view lock.
    static void setLiveViewLoopExitHookForTesting(std::function<void(GLIMRA_Camera&)> hook);
    // Tests: runs on the loading thread right after load() opened the
    // camera's session and before the camera becomes the loaded one.
    static void setSessionOpenedHookForTesting(std::function<void(GLIMRA_Camera&)> hook);

  private:
    explicit GLIMRA_Camera(CamCameraRef ref);
    static Ptr fromContext(void* context);
    // The live object already standing for `ref`, if any.
    static Ptr liveCameraForRef(CamCameraRef ref);
    void runLiveViewLoop();
    static CamError cameraEventCallback(CamStateEvent, std::uint32_t, void*);
    static CamError propertyEventCallback(CamPropertyEvent, CamPropertyID, std::uint32_t, void*);
    static CamError objectEventCallback(CamObjectEvent, CamBaseRef, void*);
    bool getLock(std::timed_mutex& lock, const char* name, double seconds);
    // GLIMRA_CameraCommandError on the main loop, not waiting; `why` (when
    // given) stands for the library's last error text.
    void postCommandError(const Dictionary& command, CamError err, const std::string& why = {});
    // GLIMRA_CameraDownloadFailed on the main loop, not waiting.
    void postDownloadFailed(CamError err, const std::string& fileName);
    // A picture downloaded whole: a shot's JPEG and its RAW (a RAW file by
    // its extension) go out together as one photo, whichever came first,
    // when the second comes within the pairing bound. A JPEG waits for its
    // RAW only while the camera has been sending RAW files; a RAW that
    // finds no JPEG within the bound is dropped (logged), never a photo.
    struct HeldPicture {
        Data bytes;
        std::string name;
        std::uint64_t serial = 0;
    };
    void pictureDownloaded(Data bytes, const std::string& name);
    // The other file of a shot the backend offered as one item; none when
    // it could not be read (logged: the photo goes out alone).
    std::optional<HeldPicture> downloadSibling(CamDirectoryItemRef sibling);
    void deliverPhoto(HeldPicture photo, std::optional<HeldPicture> raw);
    // The pairing bound for the held picture `serial` (the RAW slot or the
    // JPEG slot); on its own thread.
    void expireHeldPicture(std::uint64_t serial, bool raw);
    void startLiveViewLoopIfNeeded();
    // The frame loop's mailbox, made at the first frame loop. Any thread.
    LiveViewFrameMailbox& liveViewMailbox();

    std::atomic<GLIMRA_CameraDelegate*> _delegate{nullptr};
    CamCameraRef _camera = nullptr;
    std::string _description;
    std::uint32_t _subType = 0;
    std::timed_mutex _commandLock;
    std::timed_mutex _queueLock;
    std::timed_mutex _liveViewLock;
    std::mutex _propertiesMutex;
    Dictionary _properties;
    std::deque<Dictionary> _commandQueue;
    Data _mLiveViewData;
    std::atomic<bool> _isLoaded{false};
    // Times the camera was reported gone (changed under the registry's
    // state lock), so a load can tell it went while the session opened.
    std::atomic<std::uint64_t> _unplugs{0};
    std::atomic<bool> _shouldDownloadLiveViewImage{false};
    // Times the host asked live view to end, so a frame loop that ends can
    // tell whether it was asked to.
    std::atomic<std::uint64_t> _liveViewEndsAsked{0};
    // A shot's first file waiting for its second (under _pairMutex).
    std::mutex _pairMutex;
    std::condition_variable _pairChanged;
    std::optional<HeldPicture> _heldPhoto, _heldRaw;
    std::uint64_t _heldSerial = 0;
    bool _rawExpected = false;  // the camera sent a RAW with its last shots
    // Made by a frame loop and read by any thread (the frame counts).
    mutable std::mutex _liveViewMailboxMutex;
    std::unique_ptr<LiveViewFrameMailbox> _liveViewMailbox;
};

}  // namespace klik
