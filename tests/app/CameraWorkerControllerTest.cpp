// The controller and its camera panel over a simulated camera that keeps
// libgphoto2's rules (every camera call on one worker; calls from the main
// thread refused): a camera loads, the panel fills and writes, live view
// runs, a photo arrives and an unplugged camera goes, without the main
// thread ever calling the camera and without the worker ever waiting for
// the main thread.

#include "SimCameraControllerFixture.h"
#include "camera/CamTables.h"

namespace klik::test {
namespace {

constexpr std::uint32_t kISO = kCamPropID_ISOSpeed;

class CameraWorkerControllerTest : public SimCameraControllerFixture {
  protected:
    void expectRulesKept() {
        settle();
        EXPECT_EQ(sim->forbiddenThreadCalls(), 0);
        EXPECT_EQ(guard.violations(), 0);
    }
};

TEST_F(CameraWorkerControllerTest, LoadingFillsThePanelFromTheBackground) {
    start(1, true);
    auto& panel = controller->_cameraPanel;
    ASSERT_TRUE(pumpUntil([&] { return panel.controlWithTag(kISO)->itemTitles().size() > 2; }));
    ASSERT_TRUE(pumpUntil([&] {
        return panel.controlWithTag(kISO)->titleOfSelectedItem() ==
               strForCameraISO(sim->propertyValue(1, kISO));
    }));
    ASSERT_TRUE(pumpUntil(
        [&] { return panel.controlWithTag(kCamPropID_BatteryLevel)->stringValue() == "87 %"; }));
    expectRulesKept();
}

TEST_F(CameraWorkerControllerTest, PanelWritesAndRefusalsGoThroughTheWorker) {
    start(1, true);
    auto& iso = *controller->_cameraPanel.controlWithTag(kISO);
    ASSERT_TRUE(pumpUntil([&] { return iso.itemTitles().size() > 2; }));
    ASSERT_TRUE(iso.selectItemWithTitle("ISO 400"));
    controller->setCameraProperty(iso);
    ASSERT_TRUE(pumpUntil(
        [&] { return strForCameraISO(sim->propertyValue(1, kISO)) == std::string("ISO 400"); }));
    // A refused write beeps and the control goes back to the camera's value.
    sim->setFault("CamSetPropertyData", SimFault{0x201C, 0, 1, kISO});
    ASSERT_TRUE(iso.selectItemWithTitle("ISO 800"));
    const size_t beeps = ui.count("beep");
    controller->setCameraProperty(iso);
    ASSERT_TRUE(pumpUntil([&] { return ui.count("beep") == beeps + 1; }));
    ASSERT_TRUE(pumpUntil([&] { return iso.titleOfSelectedItem() == "ISO 400"; }));
    controller->setCameraClockToCurrent();
    expectRulesKept();
}

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
    expectRulesKept();
}

TEST_F(CameraWorkerControllerTest, AnUnpluggedCameraGoesAndAnotherIsChosen) {
    start(2, true);
    auto first = GLIMRA_Camera::loadedCamera();
    ASSERT_TRUE(first);
    const int id = currentDescription() == "Sim Body 1" ? 1 : 2;
    const std::string other = id == 1 ? "Sim Body 2" : "Sim Body 1";
    ASSERT_TRUE(sim->unplugCamera(id));
    ASSERT_TRUE(pumpUntil(
        [&] { return GLIMRA_Camera::loadedCamera() && GLIMRA_Camera::loadedCamera() != first; }));
    EXPECT_EQ(currentDescription(), other);
    EXPECT_FALSE(first->isLoaded());
    expectRulesKept();
}

}  // namespace
}  // namespace klik::test
