#pragma once
// The controller's camera port over the camera registry: whatever camera
// holds the open session (GLIMRA_Camera::loadedCamera()) is the current one,
// so the kiosk follows the camera the operator's panel loaded. The camera
// notifications reach the listener as the port's typed events; this is the
// one place outside the camera library that reads them.
//
// Calls: main thread (any thread is safe); none waits for the camera: work
// is queued on the camera's session thread. Events come on the thread the
// camera posted on.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "app/CameraPort.h"
#include "camera/GLIMRA_Camera.h"
#include "foundation/NotificationCenter.h"

namespace klik {

class RegistryCameraPort : public CameraPort {
  public:
    // Listens on `center` (the one the camera class posts on).
    explicit RegistryCameraPort(NotificationCenter& center = NotificationCenter::defaultCenter());
    ~RegistryCameraPort() override;
    RegistryCameraPort(const RegistryCameraPort&) = delete;
    RegistryCameraPort& operator=(const RegistryCameraPort&) = delete;

    // Starts listening to the camera notifications with a listener and
    // stops without one.
    void setListener(CameraPortListener* listener) override;

    // True while a camera has an open session.
    bool hasCamera() const override;
    // No camera loaded, and a scan runs or a camera is listed (its load is
    // queued or running, or failed and may be tried again).
    bool isOpeningCamera() const override;
    std::optional<CameraEntry> currentCamera() const override;
    std::optional<std::vector<CameraEntry>> cameras() const override;
    void chooseCamera(const CameraEntry& camera) override;
    void unloadCurrentCamera() override;
    std::uint32_t controls() const override;
    // Queues the shot on the loaded camera and dispatches its queue once;
    // without a camera logs and does nothing.
    void takePicture() override;
    void pressShutterFull() override;
    void pressShutterHalf() override;
    void releaseShutter() override;
    // Switches the loaded camera's live view on / off; without one logs.
    void liveViewOn() override;
    void liveViewOff() override;
    void liveViewZoom(std::uint32_t tag) override;
    void liveViewFocus(std::uint32_t tag) override;
    void refreshPropertyValues(const std::vector<std::uint32_t>& tags) override;
    void setProperty(std::uint32_t tag, const std::string& text, WriteDone done) override;
    void setClock(Date when) override;
    std::string propertyName(std::uint32_t tag) const override;
    std::string propertyText(std::uint32_t tag, std::uint32_t raw) const override;

    // The camera behind `camera`, or null when it is no longer known.
    GLIMRA_Camera::Ptr cameraFor(const CameraEntry& camera) const;

  private:
    // `camera` as the port names it (null: nullopt).
    std::optional<CameraEntry> entryFor(const GLIMRA_Camera::Ptr& camera) const;
    // The known camera that posted `n`, or null.
    GLIMRA_Camera::Ptr cameraForNotification(const Notification& n) const;
    std::optional<CameraEntry> senderOf(const Notification& n) const;
    // Queues `command` on the loaded camera and runs its next queued
    // command; `what` names it for the log when there is no camera (null:
    // nothing is logged).
    void queueOnLoaded(void (GLIMRA_Camera::*command)(), const char* what);
    void observe(const char* name, void (RegistryCameraPort::*handler)(const Notification&));
    void stopObserving();

    void listed(const Notification& n);
    void added(const Notification& n);
    void loaded(const Notification& n);
    void unloaded(const Notification& n);
    void propertiesChanged(const Notification& n);
    void propertyChanged(const Notification& n);
    void liveViewFrame(const Notification& n);
    void liveViewEnded(const Notification& n);
    void downloadProgress(const Notification& n);
    void commandError(const Notification& n);
    void photoArrived(const Notification& n);
    void downloadFailed(const Notification& n);

    NotificationCenter& center_;
    CameraPortListener* listener_ = nullptr;
    std::vector<NotificationCenter::ObserverId> observers_;

    // Identities given out, and the cameras of the last list (kept alive as
    // the camera menu shows them, so a camera that went can still be named).
    mutable std::mutex lock_;
    struct Known {
        std::weak_ptr<GLIMRA_Camera> camera;
        std::uint64_t id;
    };
    mutable std::map<const GLIMRA_Camera*, Known> ids_;
    mutable std::uint64_t nextId_ = 1;
    std::vector<GLIMRA_Camera::Ptr> listed_;
};

}  // namespace klik
