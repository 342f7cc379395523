#include "CameraTestFixture.h"

namespace klik::test {

TEST_F(CameraFixture, ScanAddsCamerasInReverseIndexOrderOneIsLoadedAtATimeAndUnplugRemovesThem) {
    SimConfig c = smallConfig();
    c.cameras = {SimCameraSpec{"Body A", "usb:1", 1, "1"},
                 SimCameraSpec{"Body B", "usb:2", 1, "2"}};
    start(c);
    auto list = scanned(2);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->description(), "Body B");
    EXPECT_EQ(list[1]->description(), "Body A");
    EXPECT_EQ(count(GLIMRA_CameraListDidUpdate), 1u);
    auto update = all(GLIMRA_CameraListDidUpdate)[0];
    EXPECT_TRUE(update.onMain);
    EXPECT_EQ(update.n.sender(), GLIMRA_Camera::classObject());

    // Loading a second camera unloads the first.
    ASSERT_TRUE(list[0]->load());
    EXPECT_EQ(GLIMRA_Camera::loadedCamera().get(), list[0].get());
    EXPECT_EQ(sim->propertyValue(2, kCamPropID_SaveTo), kCamSaveTo_Host);
    ASSERT_EQ(count(GLIMRA_CameraDidLoad), 1u);
    EXPECT_TRUE(list[0]->load());  // already loaded: nothing new
    EXPECT_EQ(count(GLIMRA_CameraDidLoad), 1u);
    ASSERT_TRUE(list[1]->load());
    auto unloads = all(GLIMRA_CameraDidUnload);
    ASSERT_EQ(unloads.size(), 1u);
    EXPECT_EQ(unloads[0].n.sender(), list[0].get());
    EXPECT_FALSE(list[0]->isLoaded());
    EXPECT_FALSE(sim->isSessionOpen(2));
    EXPECT_EQ(sim->propertyValue(2, kCamPropID_SaveTo), kCamSaveTo_Camera);
    EXPECT_TRUE(sim->isSessionOpen(1));
    EXPECT_EQ(GLIMRA_Camera::loadedCamera().get(), list[1].get());
    EXPECT_FALSE(list[0]->unload());  // not the loaded camera
    EXPECT_TRUE(list[1]->unload());
    loop.runPending();
    const size_t unloaded = count(GLIMRA_CameraDidUnload);

    int third = sim->plugCamera(SimCameraSpec{"Body C", "usb:3", 1, "3"});
    ASSERT_TRUE(pumpUntil([&] {
        auto l = GLIMRA_Camera::cameras();
        return count(GLIMRA_CameraAdded) == 1 && l && l->size() == 3;
    }));
    GLIMRA_Camera::waitForBackgroundThreads();
    auto now = *GLIMRA_Camera::cameras();
    EXPECT_EQ(now[0]->description(), "Body C");
    EXPECT_EQ(now[1].get(), list[0].get());  // the same objects stay
    EXPECT_TRUE(all(GLIMRA_CameraAdded)[0].onMain);

    ASSERT_TRUE(now[0]->load());
    ASSERT_TRUE(sim->unplugCamera(third));
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDidUnload) == unloaded + 1; }));
    auto gone = all(GLIMRA_CameraDidUnload).back();
    EXPECT_TRUE(gone.onMain);
    EXPECT_EQ(gone.n.sender(), now[0].get());
    EXPECT_FALSE(now[0]->isLoaded());
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraListDidUpdate) == 3; }));
    EXPECT_EQ(GLIMRA_Camera::cameras()->size(), 2u);
}

TEST_F(CameraFixture, ThreeAddedCallbacksDuringAScanCauseOneFollowUpScan) {
    start(smallConfig());
    sim->setFault("CamGetCameraList", SimFault{0, 0.5, 1, std::nullopt});
    GLIMRA_Camera::initializeClass();
    // The first scan is now inside its slow list call, holding the update lock.
    ASSERT_TRUE(pumpUntil([&] { return sim->callCount("CamGetCameraList") == 1; }));
    for (int i = 0; i < 3; ++i) GLIMRA_Camera::cameraAdded(nullptr);
    GLIMRA_Camera::waitForBackgroundThreads();
    EXPECT_EQ(sim->callCount("CamGetCameraList"), 2);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraAdded) == 3; }));
}

TEST_F(CameraFixture, ListLockBusyGivesNoneAndAScanGivesUpAfterItsWait) {
    start(smallConfig());
    scanned(1);
    auto& lock = GLIMRA_Camera::listLockForTesting();
    lock.lock();
    EXPECT_FALSE(GLIMRA_Camera::cameras().has_value());
    sim->plugCamera(SimCameraSpec{"Body B", "usb:2", 1, "2"});
    // The scan started by the camera-added handler waits 0.2 s (60 s in
    // production) for the list lock, then leaves the list as it was.
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraAdded) == 1; }));
    GLIMRA_Camera::waitForBackgroundThreads();
    lock.unlock();
    EXPECT_EQ(GLIMRA_Camera::cameras()->size(), 1u);
    GLIMRA_Camera::updateCameraListAsync();
    GLIMRA_Camera::waitForBackgroundThreads();
    EXPECT_EQ(GLIMRA_Camera::cameras()->size(), 2u);
}

TEST_F(CameraFixture, AFailedLoadPostsNothingAndShutdownEndsTheSdkOnceReleasingEveryReference) {
    start(smallConfig());
    auto list = scanned(1);
    sim->setFault("CamOpenSession", SimFault{0x81, 0, 1, std::nullopt});
    EXPECT_FALSE(list[0]->load());
    EXPECT_EQ(count(GLIMRA_CameraDidLoad), 0u);
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), nullptr);
    ASSERT_TRUE(list[0]->load());
    list.clear();
    // Shutting down posts the will-terminate notification, which ends the SDK.
    int told = 0;
    auto id = NotificationCenter::defaultCenter().addObserver(
        "NSApplicationWillTerminateNotification", [&](const Notification&) { ++told; });
    GLIMRA_Camera::shutdown();
    NotificationCenter::defaultCenter().removeObserver(id);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(sim->callCount("CamTerminateSDK"), 1);
    settle();
    {
        std::lock_guard l(mutex);
        posted.clear();  // notifications keep their camera alive
    }
    EXPECT_EQ(sim->outstandingReferences(), 0u);
}

}  // namespace klik::test
