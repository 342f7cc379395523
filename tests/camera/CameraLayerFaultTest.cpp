// Faults of the camera layer that were mended: a camera in use that a
// failed scan dropped comes back as the same object; live view restarted
// while the loop is on its way out keeps running; impossible camera dates
// are refused.

#include "CameraTestFixture.h"

namespace klik::test {

TEST_F(CameraFixture, TheCameraInUseComesBackAsItselfAfterAFailedOrEmptyScan) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    // An unchanged rescan posts nothing and keeps the open session.
    const size_t updates = count(GLIMRA_CameraListDidUpdate);
    GLIMRA_Camera::updateCameraListAsync();
    GLIMRA_Camera::waitForBackgroundThreads();
    loop.runPending();
    EXPECT_EQ(count(GLIMRA_CameraListDidUpdate), updates);
    EXPECT_EQ((*GLIMRA_Camera::cameras())[0].get(), cam.get());
    EXPECT_TRUE(cam->isLoaded());
    EXPECT_TRUE(sim->isSessionOpen(1));
    for (const char* call : {"CamGetCameraList", "CamGetChildCount"}) {
        // A failed scan empties the list, silently...
        loop.runPending();
        const size_t before = count(GLIMRA_CameraListDidUpdate);
        sim->setFault(call, SimFault{0x80, 0, 1, std::nullopt});
        GLIMRA_Camera::updateCameraListAsync();
        GLIMRA_Camera::waitForBackgroundThreads();
        loop.runPending();
        ASSERT_TRUE(GLIMRA_Camera::cameras()->empty()) << call;
        EXPECT_EQ(count(GLIMRA_CameraListDidUpdate), before) << call;
        // ...and the next one lists the very object that holds the session
        // (a second object would take over its state handler).
        GLIMRA_Camera::updateCameraListAsync();
        GLIMRA_Camera::waitForBackgroundThreads();
        auto list = *GLIMRA_Camera::cameras();
        ASSERT_EQ(list.size(), 1u) << call;
        EXPECT_EQ(list[0].get(), cam.get()) << call;
        EXPECT_EQ(GLIMRA_Camera::loadedCamera().get(), cam.get()) << call;
    }
    // So the unplug of the camera in use is still noticed.
    loop.runPending();
    ASSERT_TRUE(sim->unplugCamera(1));
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDidUnload) == 1; }));
    EXPECT_EQ(all(GLIMRA_CameraDidUnload)[0].n.sender(), cam.get());
    EXPECT_FALSE(cam->isLoaded());
}

TEST_F(CameraFixture, LiveViewReportedWhileTheLoopLeavesKeepsRunning) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    cam->liveViewBegin();
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewImageUpdate) >= 1; }));
    std::atomic<bool> once{false};
    // Between the loop leaving its frame loop and letting go of its lock the
    // camera reports the host bit again: that report's own thread finds the
    // lock held and returns before the loop lets go.
    GLIMRA_Camera::setLiveViewLoopExitHookForTesting([&](GLIMRA_Camera& c) {
        if (once.exchange(true)) return;
        std::uint32_t device = kCamEvfOutputDevice_PC;
        sim->CamSetPropertyData(c.cameraRef(), kCamPropID_Evf_OutputDevice, 0, 4, &device);
        c.processPropertyEvent(kCamPropertyEvent_PropertyChanged, kCamPropID_Evf_OutputDevice, 0);
        ASSERT_TRUE(c.isLiveViewRunning());
        // Only this loop's thread is left: the report's thread has returned.
        GLIMRA_Camera::waitUntilBackgroundThreadsAtMost(1);
    });
    cam->liveViewEnd();
    ASSERT_TRUE(pumpUntil([&] { return once.load(); }));
    const size_t frames = count(GLIMRA_CameraLiveViewImageUpdate);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewImageUpdate) >= frames + 3; }));
    GLIMRA_Camera::setLiveViewLoopExitHookForTesting(nullptr);
    cam->liveViewEnd();
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));
    GLIMRA_Camera::waitForBackgroundThreads();
}

TEST(CameraDates, DaysAMonthLacksAreNoDate) {
    auto date = [](std::uint32_t y, std::uint32_t m, std::uint32_t d) {
        CamTime t{y, m, d, 12, 0, 0, 0};
        return GLIMRA_Camera::dateForCamTime(&t);
    };
    EXPECT_FALSE(date(2023, 4, 31));
    EXPECT_FALSE(date(2023, 2, 29));
    EXPECT_FALSE(date(2024, 2, 30));
    EXPECT_FALSE(date(1900, 2, 29));  // no leap year: divisible by 100
    EXPECT_FALSE(date(2023, 6, 31));
    EXPECT_TRUE(date(2024, 2, 29));
    EXPECT_TRUE(date(2000, 2, 29));
    EXPECT_TRUE(date(2023, 1, 31));
    EXPECT_TRUE(date(2023, 12, 31));
    // A valid last day reads back as itself, not as the next month.
    CamTime t{2023, 4, 30, 23, 59, 58, 0};
    CamTime back{};
    GLIMRA_Camera::CamTimeForDate(&back, GLIMRA_Camera::dateForCamTime(&t));
    EXPECT_EQ(back.month, 4u);
    EXPECT_EQ(back.day, 30u);
}

}  // namespace klik::test
