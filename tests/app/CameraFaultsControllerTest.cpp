// What a real camera does to the kiosk, through the camera registry on the
// simulated camera: a shot dropped before it reached the camera, a camera
// that goes while its session is being opened.

#include <atomic>

#include "SimCameraControllerFixture.h"
#include "soak/HeldDelays.h"

namespace klik::test {
namespace {

class CameraFaultsControllerTest : public SimCameraControllerFixture {
  protected:
    void TearDown() override {
        holds.release();
        SimCameraControllerFixture::TearDown();
        GLIMRA_Camera::setSessionOpenedHookForTesting(nullptr);
    }
    soak::HeldDelays holds{true};
};

TEST_F(CameraFaultsControllerTest, AShotDroppedOnTheBusyCommandLockIsNotWaitedFor) {
    start(1);
    sim->setDelayHandler(holds.handler());
    // The panel's half-press is inside the camera and keeps its command
    // lock; the guest's shot waits for that lock longer than it may.
    sim->setFault("CamSendCommand", SimFault{0, 1, 1, std::nullopt});
    controller->pressShutterHalf();
    ASSERT_TRUE(pumpUntil([&] { return holds.held() == 1; }));
    controller->takePicture();
    ASSERT_EQ(controller->shotLedger().waiting(), 1u);
    // The shot never reached the camera: the kiosk stops waiting for it,
    // so no later picture is taken as its answer.
    ASSERT_TRUE(pumpUntil([&] { return controller->shotLedger().waiting() == 0; }));
    EXPECT_EQ(controller->_progress.doubleValue(), 0);
    holds.release();
    settle();
    ASSERT_EQ(sim->sentCommands().size(), 1u);
    EXPECT_EQ(sim->sentCommands()[0].command, kCamCommand_PressShutterButton);
}

TEST_F(CameraFaultsControllerTest, ACameraUnpluggedWhileItOpensIsNotLoadedAndItsReplugIsLoaded) {
    // The first camera goes between opening its session and becoming the
    // loaded camera; it is plugged in again at once.
    std::atomic<bool> first{true};
    std::atomic<int> replugged{0};
    GLIMRA_Camera::setSessionOpenedHookForTesting([&](GLIMRA_Camera&) {
        if (!first.exchange(false)) return;
        sim->unplugCamera(sim->pluggedCameras().front());
        sim->waitUntilIdle();  // its unplug has been told
        replugged = sim->plugCamera(spec(1));
    });
    start(1);
    // The camera plugged in again is loaded by itself, with its session
    // open; the dead one never counted as loaded.
    ASSERT_TRUE(pumpUntil([&] {
        auto cam = GLIMRA_Camera::loadedCamera();
        return replugged != 0 && cam && cam->isLoaded() && sim->isSessionOpen(replugged);
    }));
    settle();
    EXPECT_TRUE(port.hasCamera());
    EXPECT_EQ(menuTitles().size(), 1u);
}

TEST_F(CameraFaultsControllerTest,
       NoCameraAlarmAtLaunchWhileACameraOpensAndItsControlsReachThePanel) {
    const std::string alarm = "panel NO Camera Found!!!\nPlease Check Your Connection!";
    start(0);
    EXPECT_FALSE(port.isOpeningCamera());
    // A body is found, but opening its session takes long.
    sim->setDelayHandler(holds.handler());
    sim->setFault("CamOpenSession", SimFault{0, 10, 1, std::nullopt});
    SimCameraSpec body = spec(1);
    body.controls = camcontrol::HalfPress;  // no vendor controls
    sim->plugCamera(body);
    ASSERT_TRUE(pumpUntil([&] { return holds.held() == 1; }));
    EXPECT_FALSE(port.hasCamera());
    EXPECT_TRUE(port.isOpeningCamera());
    controller->applicationDidFinishLaunching();
    loop.advance(5);
    loop.runPending();
    EXPECT_EQ(ui.count(alarm), 0u);
    // It opens: the kiosk has its camera and never cried wolf.
    holds.release();
    ASSERT_TRUE(pumpUntil([&] { return port.hasCamera(); }));
    EXPECT_FALSE(port.isOpeningCamera());
    loop.advance(30);
    loop.runPending();
    EXPECT_EQ(ui.count(alarm), 0u);
    // What the body says it has reaches the panel through the camera class:
    // no buttons for vendor controls.
    ASSERT_TRUE(pumpUntil(
        [&] { return controller->_cameraPanel.availableControls() == camcontrol::HalfPress; }));
    EXPECT_EQ(port.controls(), camcontrol::HalfPress);
}

TEST_F(CameraFaultsControllerTest, ALiveViewThatDiesDuringTheCountdownComesBack) {
    start(1);
    const int id = sim->pluggedCameras().front();
    std::atomic<int> ended{0};
    auto watch = NotificationCenter::defaultCenter().addObserver(
        GLIMRA_CameraLiveViewDidEnd, [&](const Notification&) { ++ended; });
    controller->startOver();
    for (int steps = 0; controller->screenNumber() != 4; ++steps) {
        ASSERT_LT(steps, 50) << "stuck on screen " << controller->screenNumber();
        ASSERT_TRUE(loop.advanceToNextTimer());
    }
    ASSERT_TRUE(pumpUntil([&] { return sim->liveViewFrameCount(id) >= 2; }));
    // One frame fails: the camera's frame loop ends by itself.
    sim->setFault("CamDownloadEvfImage", SimFault{0x2, 0, 1, std::nullopt});
    ASSERT_TRUE(pumpUntil([&] { return ended == 1; }));
    const unsigned before = sim->liveViewFrameCount(id);
    // The countdown's live view is started again and frames flow on.
    ASSERT_TRUE(pumpUntil([&] { return sim->liveViewFrameCount(id) >= before + 3; }));
    EXPECT_EQ(controller->screenNumber(), 4u);
    EXPECT_TRUE(controller->isLiveView());
    EXPECT_EQ(ended, 1);
    controller->liveViewOff();
    ASSERT_TRUE(pumpUntil([&] { return !GLIMRA_Camera::loadedCamera()->isLiveViewRunning(); }));
    NotificationCenter::defaultCenter().removeObserver(watch);
}

}  // namespace
}  // namespace klik::test
