#pragma once
// The screen sequence's camera over the camera registry: whatever camera
// holds the open session (GLIMRA_Camera::loadedCamera()) is the one used, so
// the kiosk follows the camera the operator's panel loaded.
//
// Main thread (any thread is safe); no call waits for the camera: the shot
// is queued and live view is switched on the camera's session thread.

#include "app/CameraPort.h"

namespace klik {

class RegistryCameraPort : public CameraPort {
  public:
    // True while a camera has an open session.
    bool hasCamera() const override;
    // Queues the shot on the loaded camera and dispatches its queue once;
    // without a camera logs and does nothing.
    void takePicture() override;
    // Switches the loaded camera's live view on / off; without one logs.
    void liveViewOn() override;
    void liveViewOff() override;
};

}  // namespace klik
