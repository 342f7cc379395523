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
    void raiseObjectAdded(GPCamera* cam, const std::string& folder, const std::string& name);
    CamError capture(GPCamera* cam);
    int refreshConfig(GPCamera* cam);
    void announceChangedProperties(GPCamera* cam);
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
