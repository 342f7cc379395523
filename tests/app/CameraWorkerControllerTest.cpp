// The controller over a simulated camera that keeps libgphoto2's rules
// (every camera call on one worker; calls from the main thread refused):
// live view runs and a photo arrives without the main thread ever calling
// the camera and without the worker ever waiting for the main thread.

#include "SimCameraControllerFixture.h"

namespace klik::test {
namespace {

// Loading, filling and writing the panel and an unplugged camera under the
// same rules: CameraPanelSimTest.
using CameraWorkerControllerTest = SimCameraControllerFixture;

TEST_F(CameraWorkerControllerTest, LiveViewAndAPhotoWithoutWaitingForTheCamera) {
    start(1, true);
    controller->liveViewOn();
    ASSERT_TRUE(pumpUntil([&] { return controller->_EVFView.image() != nullptr; }));
    const std::uint64_t shots = sim->callCount("CamSendCommand");
    controller->takePicture();
    ASSERT_TRUE(
        pumpUntil([&] { return sim->callCount("CamSendCommand") > static_cast<int>(shots); }));
    ASSERT_TRUE(pumpUntil([&] { return controller->_progress.doubleValue() == 100; }));
    controller->liveViewOff();
    ASSERT_TRUE(pumpUntil([&] { return !sim->isLiveViewActive(1); }));
    expectWorkerRulesKept();
}

}  // namespace
}  // namespace klik::test
