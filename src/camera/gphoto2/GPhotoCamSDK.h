#pragma once
// The camera SDK boundary over libgphoto2: cameras found on USB
// (gp_camera_autodetect) and at configured PTP/IP addresses, one worker
// thread per camera that owns every libgphoto2 call for it (and one for the
// listing), properties through a mapping table onto the value tables,
// capture through trigger plus the backend's own deadline loop of events,
// downloads with progress, live view at a bounded rate, unplug and replug
// (I/O errors, libudev, the PTP/IP address answering again).

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "camera/gphoto2/GPhotoHotplug.h"
#include "camera/gphoto2/GPhotoObjects.h"
#include "camera/gphoto2/GPhotoWorker.h"
#include "camera/sdk/CamSDKBase.h"

namespace klik {

struct GPhotoOptions {
    // PTP/IP cameras to look for, each "HOST:PORT" (numeric IPv4).
    std::vector<std::string> ptpipAddresses;
    bool usb = true;
    // Live-view frames asked for at most this often.
    double liveViewFramesPerSecond = 30;
    // From the shutter to the new file's event.
    double captureTimeoutSeconds = 30;
    // How long a busy camera is asked again to fire.
    double busyRetrySeconds = 3;
    // Live view answering "not ready" (warming up, or now and then later)
    // is asked again for this long after it is switched on, and for this
    // long from the first such answer later, before it counts as failed.
    double liveViewWarmUpSeconds = 3;
    double liveViewNotReadySeconds = 1;
    // After one file of a shot that makes two (RAW and JPEG), how long the
    // other is waited for.
    double pairWaitSeconds = 3;
    // How often an absent PTP/IP address is tried.
    std::chrono::milliseconds presenceInterval{250};
    // How often an open camera's events are read.
    std::chrono::milliseconds eventInterval{50};
    // How often an idle open camera is asked whether it is still there (a
    // PTP/IP camera switched off says nothing).
    std::chrono::milliseconds heartbeatInterval{500};
};

class GPhotoCamSDK : public CamSDKBase {
  public:
    explicit GPhotoCamSDK(GPhotoOptions options = {});
    ~GPhotoCamSDK() override;

    // The libgphoto2 port of a PTP/IP address "HOST:PORT":
    // "ptpip:HOST:PORT:PORT" (the event port given too: with one port only
    // libgphoto2 keeps 15740 for events). Empty when not a numeric IPv4
    // address with a port.
    static std::string ptpipPort(const std::string& address);

    // How often the whole configuration tree, and single widgets, were read
    // from cameras (for tests and benchmarks). Any thread.
    unsigned configTreeReads() const { return treeReads_.load(); }
    unsigned singleWidgetReads() const { return widgetReads_.load(); }

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
    bool CamGetValueText(CamCameraRef camera, CamPropertyID id, std::uint32_t value,
                         std::string& out) override;
    std::string CamLastErrorText(CamBaseRef ref) override;
    CamError CamGetControls(CamCameraRef camera, std::uint32_t* outControls) override;
    CamError CamGetSiblingItem(CamDirectoryItemRef item, CamDirectoryItemRef* outSibling) override;

  protected:
    CamCameraState* cameraStateLocked(CamBaseRef camera) override;
    // An item lets go of its camera; a camera is closed and destroyed on
    // the listing worker.
    bool disposeLocked(CamRef* ref) override;

  private:
    struct Found {
        std::string model, port;
    };
    // A connected camera behind `ref`, else null with the error.
    GPCamera* usableCamera(CamBaseRef ref, CamError& err);
    void destroyCamera(GPCamera* cam);  // not under mutex_
    // Records a failed libgphoto2 call: logs it with the library's text,
    // keeps the text, and reports the camera gone when the result says so.
    // Returns the CamSDK code. Camera's worker.
    CamError failed(GPCamera* cam, const char* call, int result);
    void cameraGone(GPCamera* cam);
    // Asks the camera something small; false (and the camera reported
    // gone) when it no longer answers. Camera's worker.
    bool stillAnswers(GPCamera* cam);
    // Listing worker.
    std::vector<Found> detect();
    bool probe(const std::string& address);
    void presenceStep();
    // Camera worker.
    int openCamera(GPCamera* cam);
    void closeCamera(GPCamera* cam);
    void eventStep(GPCamera* cam);
    void handleEvent(GPCamera* cam, CameraEventType type, void* data);
    struct NewFile {
        std::string folder, name;
    };
    // Offers a shot's files as one item: the photo, and its RAW as the
    // sibling when it made two.
    void raiseObjectAdded(GPCamera* cam, const std::vector<NewFile>& files);
    GPItem* newItem(GPCamera* cam, const NewFile& file, std::uint32_t group);
    // A file added outside a capture: a late RAW of the last shot is kept
    // from being offered as a photo of its own.
    void fileAddedOutsideCapture(GPCamera* cam, const NewFile& file);
    CamError capture(GPCamera* cam);
    // Whether the shot whose first file is `first` makes a second one.
    bool expectsPair(GPCamera* cam, const std::string& first);
    int refreshConfig(GPCamera* cam);
    // Reads one widget fresh from the camera (gp_camera_get_single_config).
    int readWidget(GPCamera* cam, const std::string& name);
    // The widgets named by events since the last time, each read once (all
    // at once when an event named none), and the changes announced.
    void readChangedWidgets(GPCamera* cam);
    // Notes the widget a property event's text names, read later.
    void propertyEventText(GPCamera* cam, const char* text);
    // The widgets whose choices follow the exposure mode, read again.
    void readModeDependents(GPCamera* cam);
    void updateControls(GPCamera* cam);
    // Sets a vendor widget of the camera by name: a text, a choice, a
    // toggle or a number. Camera's worker.
    CamError setWidget(GPCamera* cam, const char* name, const std::string& text);
    CamError setToggle(GPCamera* cam, const char* name);
    CameraWidget* namedWidget(GPCamera* cam, const char* name);
    // The capture target of a camera that has one follows "SaveTo": the
    // camera's internal memory when the host takes the pictures.
    CamError applyCaptureTarget(GPCamera* cam);
    CamError halfPress(GPCamera* cam, std::int32_t param);
    CamError evfAf(GPCamera* cam, std::int32_t param);
    CamError driveLens(GPCamera* cam, std::int32_t param);
    void announceChangedProperties(GPCamera* cam, bool announce = true);
    CameraWidget* widgetFor(GPCamera* cam, CamPropertyID id, std::string* name = nullptr);
    // The raw value of a mapped property as the layer reads it.
    CamError readProperty(GPCamera* cam, CamPropertyID id, CamDataType& type,
                          std::vector<std::uint8_t>& bytes);
    CamError writeProperty(GPCamera* cam, CamPropertyID id, const std::uint8_t* data,
                           std::uint32_t size);
    std::string valueText(GPCamera* cam, CamPropertyID id);
    static void reportProgress(GPCamera* cam, std::uint32_t percent);
    static int handlerWrite(void* priv, unsigned char* data, std::uint64_t* len);
    static int handlerSize(void* priv, std::uint64_t* size);
    static int handlerRead(void* priv, unsigned char* data, std::uint64_t* len);
    static unsigned progressStart(GPContext*, float target, const char*, void* data);
    static void progressUpdate(GPContext*, unsigned id, float current, void* data);
    static void progressStop(GPContext*, unsigned id, void* data);

    const GPhotoOptions options_;
    std::atomic<unsigned> treeReads_{0}, widgetReads_{0};
    std::map<std::string, GPCamera*> cameras_;  // connected, by port; one SDK count each
    std::set<std::string> ptpipPresent_;        // addresses answering at the last try
    bool initialized_ = false;
    bool closing_ = false;  // the destructor has taken every camera

    // listing worker
    CameraAbilitiesList* abilities_ = nullptr;
    GPPortInfoList* ports_ = nullptr;
    GPContext* listContext_ = nullptr;

    GPhotoHotplug hotplug_;
    std::unique_ptr<GPhotoWorker> listWorker_;  // last: stops first
};

}  // namespace klik
