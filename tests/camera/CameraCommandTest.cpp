#include "CameraTestFixture.h"

namespace klik::test {

TEST_F(CameraFixture, CommandDescriptionsFallBackForUnknownCommandsAndParameters) {
    auto d = [](std::uint32_t c, std::uint32_t p) {
        return *GLIMRA_Camera::descriptionForCommandDictionary(
            Dictionary{{"commandNumber", Value(c)}, {"commandParam", Value(p)}});
    };
    // The texts are the switch's own rows; what is checked is the fall-backs.
    EXPECT_EQ(d(0, 7), "Take a picture");  // a parameter only the shutter button reads
    EXPECT_EQ(d(4, 2), "Press Shutter Button ");
    EXPECT_EQ(d(0x999, 0), "some unknown command");
    EXPECT_FALSE(
        GLIMRA_Camera::descriptionForCommandDictionary(Dictionary{{"commandParam", Value(1)}})
            .has_value());
}

TEST_F(CameraFixture, QueuedCommandsNeedOneDispatchEach) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    cam->takePicture();
    cam->pressShutterHalf();
    GLIMRA_Camera::waitForBackgroundThreads();
    EXPECT_TRUE(sim->sentCommands().empty());
    EXPECT_EQ(cam->queuedCommandCount(), 2u);
    cam->performNextQueuedCameraCommand();
    GLIMRA_Camera::waitForBackgroundThreads();
    ASSERT_EQ(sim->sentCommands().size(), 1u);
    EXPECT_EQ(sim->sentCommands()[0].command, kCamCommand_TakePicture);
    cam->performNextQueuedCameraCommand();
    GLIMRA_Camera::waitForBackgroundThreads();
    ASSERT_EQ(sim->sentCommands().size(), 2u);
    EXPECT_EQ(sim->sentCommands()[1].param, 1);
    cam->performNextQueuedCameraCommand();  // empty queue: nothing
    GLIMRA_Camera::waitForBackgroundThreads();
    EXPECT_EQ(sim->sentCommands().size(), 2u);
    // No command number: never sent.
    cam->performCommandWithDictionary(Dictionary{{"commandParam", Value(1)}});
    EXPECT_EQ(sim->sentCommands().size(), 2u);
    // A newer camera never gets status commands (UI lock), not even around reads.
    cam->valueForPropertyID(kCamPropID_ISOSpeed, 0);
    for (const auto& s : sim->sentCommands()) EXPECT_FALSE(s.status);
}

TEST_F(CameraFixture, FailedOrDroppedCommandsPostAnErrorWithCodeAndText) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    sim->setFault("CamSendCommand", SimFault{0x8D01, 0, 1, std::nullopt});
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraCommandError) == 1; }));
    auto p = all(GLIMRA_CameraCommandError)[0];
    EXPECT_TRUE(p.onMain);
    EXPECT_EQ(p.n.sender(), cam.get());
    const Value& error = p.n.info(GLIMRA_CameraCommandError);
    EXPECT_EQ(error["domain"].stringOr(), "CamError");
    EXPECT_EQ(error["code"].integerValue(), 0x8D01);
    EXPECT_EQ(error["userInfo"]["NSLocalizedDescription"].stringOr(), "take picture af ng");
    EXPECT_EQ(p.n.info(GLIMRA_CameraCommandDictionary)["description"].stringOr(), "Take a picture");
    // performCameraCommand logs failures only.
    sim->setFault("CamSendCommand", SimFault{0x81, 0, 1, std::nullopt});
    EXPECT_EQ(cam->performCameraCommand(kCamCommand_ExtendShutDownTimer, 0), 0x81u);
    GLIMRA_Camera::waitForBackgroundThreads();
    loop.runPending();
    EXPECT_EQ(count(GLIMRA_CameraCommandError), 1u);

    // The first command takes 0.5 s inside the camera; the second waits
    // 0.05 s (3 s in production) for the command lock and is dropped.
    const size_t sent = sim->sentCommands().size();
    sim->setFault("CamSendCommand", SimFault{0, 0.5, 1, std::nullopt});
    cam->queueCameraCommand(kCamCommand_ExtendShutDownTimer, 0);
    cam->queueCameraCommand(kCamCommand_BulbStart, 0);
    cam->performNextQueuedCameraCommand();
    ASSERT_TRUE(pumpUntil([&] { return sim->callCount("CamSendCommand") == 3; }));
    cam->performNextQueuedCameraCommand();
    GLIMRA_Camera::waitForBackgroundThreads();
    ASSERT_EQ(sim->sentCommands().size(), sent + 1);
    EXPECT_EQ(sim->sentCommands().back().command, kCamCommand_ExtendShutDownTimer);
    EXPECT_EQ(cam->queuedCommandCount(), 0u);
    // Whoever asked hears that it was never sent, as for a refused command.
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraCommandError) == 2; }));
    const Posted q = all(GLIMRA_CameraCommandError)[1];
    EXPECT_TRUE(q.onMain);
    EXPECT_EQ(q.n.sender(), cam.get());
    const Value& dropped = q.n.info(GLIMRA_CameraCommandError);
    EXPECT_EQ(dropped["code"].integerValue(), static_cast<std::int64_t>(CAM_ERR_DEVICE_BUSY));
    EXPECT_EQ(dropped["userInfo"]["NSLocalizedDescription"].stringOr(),
              "device busy: timed out waiting for the command lock");
    EXPECT_EQ(q.n.info(GLIMRA_CameraCommandDictionary)["commandNumber"].integerValue(),
              kCamCommand_BulbStart);
}

TEST_F(CameraFixture, OlderCameraGetsUILockAroundCommandsAndNoLiveView) {
    SimConfig c = smallConfig();
    c.cameras = {SimCameraSpec{"Old Body", "usb:1", 0, "1"}};
    start(c);
    auto cam = scanned(1)[0];
    EXPECT_TRUE(cam->isLegacyModel());
    ASSERT_TRUE(cam->load());
    settle();  // the camera's own change events read properties under the UI lock too
    auto before = sim->sentCommands().size();
    shoot(cam);
    GLIMRA_Camera::waitForBackgroundThreads();
    auto sent = sim->sentCommands();
    ASSERT_EQ(sent.size(), before + 3);
    EXPECT_TRUE(sent[before].status);
    EXPECT_EQ(sent[before].command, kCamCameraStatusCommand_UILock);
    EXPECT_FALSE(sent[before + 1].status);
    EXPECT_TRUE(sent[before + 2].status);
    EXPECT_EQ(sent[before + 2].command, kCamCameraStatusCommand_UIUnLock);
    cam->liveViewBegin();
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_Evf_Mode), 0u);
    EXPECT_FALSE(sim->isLiveViewActive(1));
}

}  // namespace klik::test
