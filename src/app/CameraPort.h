#pragma once
// The connected still camera as the screen sequence needs it. The camera
// module implements it over its camera registry; "no camera" is a port
// whose hasCamera() is false (calls then do nothing).
//
// Main thread only; no call blocks on the camera (commands are queued and
// run on the camera's own threads).

namespace klik {

class CameraPort {
  public:
    virtual ~CameraPort() = default;

    // True when a camera is connected and loaded (the kiosk's port asks the
    // camera registry, as the controller's currentCamera() does).
    virtual bool hasCamera() const = 0;
    // Queues the shot command and runs the camera's next queued command.
    // The photo arrives later as a camera notification.
    virtual void takePicture() = 0;
    // Starts / stops the camera's live view.
    virtual void liveViewOn() = 0;
    virtual void liveViewOff() = 0;
};

}  // namespace klik
