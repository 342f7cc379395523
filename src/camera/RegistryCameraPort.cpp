#include "camera/RegistryCameraPort.h"

#include "camera/GLIMRA_Camera.h"
#include "log/Log.h"

namespace klik {

bool RegistryCameraPort::hasCamera() const {
    return GLIMRA_Camera::loadedCamera() != nullptr;
}

void RegistryCameraPort::takePicture() {
    GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera();
    if (!camera) {
        GLIMRA_Log::debug("no loaded camera to take a picture with");
        return;
    }
    camera->takePicture();
    camera->performNextQueuedCameraCommand();
}

void RegistryCameraPort::liveViewOn() {
    GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera();
    if (!camera) {
        GLIMRA_Log::debug("no loaded camera to start live view on");
        return;
    }
    camera->performInBackground([](GLIMRA_Camera& c) { c.liveViewBegin(); });
}

void RegistryCameraPort::liveViewOff() {
    GLIMRA_Camera::Ptr camera = GLIMRA_Camera::loadedCamera();
    if (!camera) {
        GLIMRA_Log::debug("no loaded camera to end live view on");
        return;
    }
    camera->performInBackground([](GLIMRA_Camera& c) { c.liveViewEnd(); });
}

}  // namespace klik
