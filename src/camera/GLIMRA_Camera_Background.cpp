// Camera work asked for by the main thread, run on the camera class's
// session thread so that the main thread never waits for a camera.

#include "camera/CameraNotifications.h"
#include "camera/CameraSupport.h"
#include "camera/GLIMRA_Camera.h"
#include "foundation/RunLoop.h"
#include "log/Log.h"

namespace klik {

using namespace camera_detail;

void GLIMRA_Camera::performInBackground(std::function<void(GLIMRA_Camera&)> work) {
    registry().sessionWork.enqueue(
        [self = shared_from_this(), work = std::move(work)] { work(*self); });
}

bool GLIMRA_Camera::backgroundWorkPending() {
    return registry().sessionWork.busy();
}

void GLIMRA_Camera::loadInBackground() {
    performInBackground([](GLIMRA_Camera& cam) {
        if (!cam.load()) GLIMRA_Log::debug("could not load camera " + cam.description());
    });
}

void GLIMRA_Camera::unloadInBackground() {
    performInBackground([](GLIMRA_Camera& cam) { cam.unload(); });
}

void GLIMRA_Camera::announceSupportedValues(const std::vector<CamPropertyID>& ids) {
    for (CamPropertyID id : ids) {
        std::optional<Dictionary> values = supportedValuesForPropertyID(id);
        Dictionary info{{GLIMRA_CameraPropertyName, Value(stringNameForPropertyID(id))},
                        {GLIMRA_CameraPropertyID, Value(id)}};
        if (values) info[GLIMRA_CameraProperties] = Value(*values);
        NotificationCenter::defaultCenter().postOnMainThread(
            Notification{GLIMRA_CameraPropertiesDidChange, asValue(), std::move(info)}, false,
            mainLoop());
    }
}

void GLIMRA_Camera::setStringValueInBackground(const std::string& text, CamPropertyID id,
                                               std::function<void(bool)> done) {
    performInBackground([text, id, done = std::move(done)](GLIMRA_Camera& cam) {
        const bool ok = cam.setStringValue(text, id);
        if (done) mainLoop()->performOnMain([done, ok] { done(ok); }, false);
    });
}

void GLIMRA_Camera::setLiveViewLoopExitHookForTesting(std::function<void(GLIMRA_Camera&)> hook) {
    std::lock_guard l(registry().stateMutex);
    registry().liveViewLoopExitHook = std::move(hook);
}

void GLIMRA_Camera::setSessionOpenedHookForTesting(std::function<void(GLIMRA_Camera&)> hook) {
    std::lock_guard l(registry().stateMutex);
    registry().sessionOpenedHook = std::move(hook);
}

}  // namespace klik
