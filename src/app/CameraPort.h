#pragma once
// The still camera as the controller needs it: the list of connected
// cameras and the choice among them, the shutter, live view with its zoom
// and focus, the property controls and the camera clock; and what the
// camera has to say, as typed events to a listener (the controller).
//
// "No camera" is NoCameraPort (hasCamera() false, every call does nothing,
// no event ever comes), never a null pointer. The camera module implements
// the port over its camera registry (RegistryCameraPort, in the camera
// module).
//
// Calls: main thread only; none blocks on the camera (commands are queued
// and run on the camera's own threads).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

// One connected camera: an identity that stays the same while the camera
// is connected (0 is no camera) and its description ("model, port").
struct CameraEntry {
    std::uint64_t id = 0;
    std::string description;
    friend bool operator==(const CameraEntry& a, const CameraEntry& b) { return a.id == b.id; }
};

// A failed camera command or download, as the camera library told it.
struct CameraError {
    std::optional<std::int64_t> code;  // the library's code, when it gave one
    std::optional<std::string> text;   // its words, when it gave any
    std::string description;           // the whole error as the log shows it
};

// The property tags of the operator's panel, as the camera module numbers
// them (the adapter checks they agree).
namespace camprop {
inline constexpr std::uint32_t OwnerName = 0x04;
inline constexpr std::uint32_t DateTime = 0x06;
inline constexpr std::uint32_t FirmwareVersion = 0x07;
inline constexpr std::uint32_t BatteryLevel = 0x08;
inline constexpr std::uint32_t BatteryQuality = 0x10;
inline constexpr std::uint32_t ImageQuality = 0x100;
inline constexpr std::uint32_t WhiteBalance = 0x106;
inline constexpr std::uint32_t AEMode = 0x400;
inline constexpr std::uint32_t DriveMode = 0x401;
inline constexpr std::uint32_t ISOSpeed = 0x402;
inline constexpr std::uint32_t MeteringMode = 0x403;
inline constexpr std::uint32_t AFMode = 0x404;
inline constexpr std::uint32_t Av = 0x405;
inline constexpr std::uint32_t Tv = 0x406;
inline constexpr std::uint32_t ExposureCompensation = 0x407;
inline constexpr std::uint32_t Artist = 0x418;
inline constexpr std::uint32_t Copyright = 0x419;
}  // namespace camprop

// Vendor controls a camera may lack, one bit each, as the camera module
// numbers them (the adapter checks they agree).
namespace camcontrol {
inline constexpr std::uint32_t HalfPress = 1u << 0;         // shutter button half-way
inline constexpr std::uint32_t Autofocus = 1u << 1;         // live-view autofocus
inline constexpr std::uint32_t EvfZoom = 1u << 2;           // live-view zoom
inline constexpr std::uint32_t EvfZoomPosition = 1u << 3;   // live-view zoom position
inline constexpr std::uint32_t ManualFocusDrive = 1u << 4;  // live-view focus drive
inline constexpr std::uint32_t All = 0x1F;
}  // namespace camcontrol

// What the camera says. Each event comes on the thread the camera said it
// on (the main thread or one of the camera's); the listener moves it to the
// thread it needs. A camera the port does not know is given as nullopt.
class CameraPortListener {
  public:
    virtual ~CameraPortListener() = default;

    // A camera was plugged in (the list follows).
    virtual void cameraAdded() = 0;
    // The list of connected cameras changed; nullopt before any is found.
    virtual void camerasListed(const std::optional<std::vector<CameraEntry>>& cameras) = 0;
    // `camera` opened its session and is the current one (unless it has
    // gone again since).
    virtual void cameraLoaded(const std::optional<CameraEntry>& camera) = 0;
    // `camera` closed its session or went away.
    virtual void cameraUnloaded(const std::optional<CameraEntry>& camera) = 0;
    // The allowed values of property `tag` (text -> raw value); nullopt or
    // empty when the camera has none.
    virtual void cameraPropertyValuesChanged(const std::optional<CameraEntry>& camera,
                                             std::uint32_t tag,
                                             const std::optional<Dictionary>& values) = 0;
    // Property `tag` (`name`) now holds `raw`, shown as `text` (a string,
    // or a date for the clock).
    virtual void cameraPropertyChanged(const std::optional<CameraEntry>& camera,
                                       const std::string& name, std::uint32_t tag, const Value& raw,
                                       const Value& text) = 0;
    // A live-view frame (JPEG).
    virtual void cameraLiveViewFrame(const Data& jpeg) = 0;
    // `camera`'s live view ended without being asked to (no frames come
    // until liveViewOn() again).
    virtual void cameraLiveViewEnded(const std::optional<CameraEntry>& camera) { (void)camera; }
    // Download progress of the photo on its way, 0..100 (not clamped).
    virtual void cameraDownloadProgress(double percent) = 0;
    // A queued command failed; `shot` when it was the shot. `command` is
    // the command as the log shows it.
    virtual void cameraCommandFailed(const std::optional<CameraEntry>& camera, bool shot,
                                     const CameraError& error, const std::string& command) = 0;
    // A photo arrived: a dictionary with kPhotoDataKey and
    // kPhotoFilenameKey (app/PhotoPipelinePort.h). Comes on the camera's
    // thread, which may block here while the photo is filed.
    virtual void cameraPhotoArrived(const Dictionary& photo) = 0;
    // A picture the camera offered could not be downloaded (`name` "" when
    // its name was not read): no photo comes for it.
    virtual void cameraDownloadFailed(const std::string& name, const CameraError& error) = 0;
};

class CameraPort {
  public:
    virtual ~CameraPort() = default;

    // The one listener (or none): events go to it from now on.
    virtual void setListener(CameraPortListener* listener) = 0;

    // True when a camera is connected and loaded.
    virtual bool hasCamera() const = 0;
    // True while no camera is loaded but one is on its way: the connected
    // cameras are still being looked for, or one is connected and its
    // session is being opened (a real body may take many seconds).
    virtual bool isOpeningCamera() const { return false; }
    // The loaded camera, nullopt without one.
    virtual std::optional<CameraEntry> currentCamera() const = 0;
    // The connected cameras; nullopt before the first list.
    virtual std::optional<std::vector<CameraEntry>> cameras() const = 0;
    // Loads `camera` in the background; it becomes current when
    // cameraLoaded() says so. Nothing when it is no longer connected.
    virtual void chooseCamera(const CameraEntry& camera) = 0;
    // Unloads the current camera in the background, if any.
    virtual void unloadCurrentCamera() = 0;
    // The vendor controls (camcontrol bits) the current camera has; all
    // when there is none or it cannot tell. Never blocks.
    virtual std::uint32_t controls() const { return camcontrol::All; }

    // Queues the shot; the photo arrives later through cameraPhotoArrived().
    virtual void takePicture() = 0;
    // The panel's shutter button, queued like the shot.
    virtual void pressShutterFull() = 0;
    virtual void pressShutterHalf() = 0;
    virtual void releaseShutter() = 0;
    // Starts / stops the camera's live view.
    virtual void liveViewOn() = 0;
    virtual void liveViewOff() = 0;
    // Live-view lens controls (`tag` names the step).
    virtual void liveViewZoom(std::uint32_t tag) = 0;
    virtual void liveViewFocus(std::uint32_t tag) = 0;

    // Asks the current camera for the allowed values of each of `tags`;
    // each answer comes as cameraPropertyValuesChanged().
    virtual void refreshPropertyValues(const std::vector<std::uint32_t>& tags) = 0;
    // Writes `text` to property `tag` of the current camera; `done` is told
    // on a camera thread whether it was taken, with `askAgain` that asks
    // that camera for the property's real value (it comes as
    // cameraPropertyChanged()).
    using WriteDone = std::function<void(bool ok, std::function<void()> askAgain)>;
    virtual void setProperty(std::uint32_t tag, const std::string& text, WriteDone done) = 0;
    // Sets the current camera's clock.
    virtual void setClock(Date when) = 0;

    // Names and value texts of properties ("Tv", "1/125").
    virtual std::string propertyName(std::uint32_t tag) const = 0;
    virtual std::string propertyText(std::uint32_t tag, std::uint32_t raw) const = 0;
};

}  // namespace klik
