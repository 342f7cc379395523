#include <thread>

#include "CameraTestFixture.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/sim/SimJpeg.h"

namespace klik::test {

// Frames arrive decoded on main; a second report of the host bit starts no
// second loop; an end asked for is not announced, an end by itself is.
TEST_F(CameraFixture, LiveViewFramesArriveOnMainFromOneLoopAndAnEndByItselfIsAnnounced) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    cam->liveViewBegin();
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_Evf_Mode), 1u);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewImageUpdate) >= 3; }));
    auto frames = all(GLIMRA_CameraLiveViewImageUpdate);
    std::vector<const QZNSImageFlipped*> images;
    for (const auto& f : frames) {
        EXPECT_TRUE(f.onMain);
        const OpaqueObject* o = f.n.info(GLIMRA_CameraLiveViewImage).object();
        ASSERT_NE(o, nullptr);
        images.push_back(static_cast<const QZNSImageFlipped*>(o->ptr));
        EXPECT_EQ(images.back()->width(), 160);
        EXPECT_EQ(images.back()->height(), 120);
    }
    EXPECT_NE(images[0]->pixels(), images[1]->pixels());  // each frame keeps its own bytes
    // The frames delivered prove the loop thread holds the loop lock.
    ASSERT_TRUE(cam->isLiveViewRunning());
    ASSERT_EQ(sim->liveViewCallerThreads(1), 1u);
    // The host bit reported again while the loop runs, and a loop entered
    // on another thread (as a late report's thread enters it): the camera
    // must still be asked for frames by the one running loop only.
    cam->processPropertyEvent(kCamPropertyEvent_PropertyChanged, kCamPropID_Evf_OutputDevice, 0);
    std::thread late([&] { cam->downloadLiveViewImage(); });
    // A second loop asks within a frame's time; ten frames are given.
    const unsigned frame = sim->liveViewFrameCount(1);
    const bool framesCame = pumpUntil([&] { return sim->liveViewFrameCount(1) >= frame + 10; });
    EXPECT_TRUE(framesCame);
    EXPECT_EQ(sim->liveViewCallerThreads(1), 1u);
    EXPECT_TRUE(cam->isLiveViewRunning());
    // Asked to end: nothing to announce.
    cam->liveViewEnd();
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));
    late.join();
    GLIMRA_Camera::waitForBackgroundThreads();
    loop.runPending();
    EXPECT_EQ(count(GLIMRA_CameraLiveViewDidEnd), 0u);
    // A frame that fails ends the loop by itself: whoever shows the frames
    // hears it on the main thread.
    cam->liveViewBegin();
    ASSERT_TRUE(pumpUntil([&] { return cam->isLiveViewRunning(); }));
    sim->setFault("CamDownloadEvfImage", SimFault{0x2, 0, -1, std::nullopt});
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewDidEnd) == 1; }));
    auto p = all(GLIMRA_CameraLiveViewDidEnd)[0];
    EXPECT_TRUE(p.onMain);
    EXPECT_EQ(p.n.sender(), cam.get());
    sim->clearFaults();
    GLIMRA_Camera::waitForBackgroundThreads();
    loop.runPending();
    EXPECT_EQ(count(GLIMRA_CameraLiveViewDidEnd), 1u);
}

TEST_F(CameraFixture, StalledMainThreadNeverHoldsMoreThanOneFrame) {
    const SimConfig config = smallConfig();
    start(config);
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    cam->liveViewBegin();
    // Let the property event start the loop, then stop turning the loop.
    ASSERT_TRUE(pumpUntil([&] { return cam->isLiveViewRunning(); }));
    loop.runPending();
    const size_t seen = count(GLIMRA_CameraLiveViewImageUpdate);
    const unsigned startFrame = sim->liveViewFrameCount(1);
    // The main loop is not turned here: frames keep coming and must replace
    // each other instead of piling up.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((sim->liveViewFrameCount(1) < startFrame + 10 || cam->droppedLiveViewFrames() < 8) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_GE(sim->liveViewFrameCount(1), startFrame + 10);
    EXPECT_GE(cam->droppedLiveViewFrames(), 8u);
    EXPECT_EQ(count(GLIMRA_CameraLiveViewImageUpdate), seen);
    // The frame loop ends while the main thread still stands: a failed
    // frame download stops it, and the camera's frame count stays.
    sim->setFault("CamDownloadEvfImage", SimFault{0x2, 0, -1, std::nullopt});
    while (cam->isLiveViewRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_FALSE(cam->isLiveViewRunning());
    GLIMRA_Camera::waitForBackgroundThreads();
    const unsigned lastFrame = sim->liveViewFrameCount(1);
    EXPECT_EQ(cam->pendingLiveViewFrames(), 1u);

    // The main thread coming back sees one frame, the newest, not a backlog.
    loop.runPending();
    const auto frames = all(GLIMRA_CameraLiveViewImageUpdate);
    ASSERT_EQ(frames.size(), seen + 1);
    const OpaqueObject* o = frames.back().n.info(GLIMRA_CameraLiveViewImage).object();
    ASSERT_NE(o, nullptr);
    std::vector<std::uint8_t> scratch;
    EXPECT_EQ(static_cast<const QZNSImageFlipped*>(o->ptr)->data(),
              SimJpeg::makeLiveViewFrame(config.liveViewWidth, config.liveViewHeight, lastFrame,
                                         scratch));
    EXPECT_EQ(cam->pendingLiveViewFrames(), 0u);
    sim->clearFaults();
    cam->liveViewEnd();
}

TEST_F(CameraFixture, ZoomAndLensDriveCheckTheirParametersAndQuittingEndsLiveView) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    cam->liveViewSetZoom(2);
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_Evf_Zoom), 1u);
    cam->liveViewSetZoom(5);
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_Evf_Zoom), 5u);
    cam->liveViewDriveAF(4);
    cam->liveViewDriveAF(0x8004);
    EXPECT_EQ(cam->queuedCommandCount(), 0u);
    GLIMRA_Camera::waitForBackgroundThreads();
    EXPECT_EQ(sim->callCount("CamSendCommand"), 0);
    cam->liveViewDriveAFNear1();
    GLIMRA_Camera::waitForBackgroundThreads();
    EXPECT_EQ(sim->callCount("CamSendCommand"), 1);
    // The kiosk quits in the middle of a countdown, live view running.
    cam->liveViewBegin();
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewImageUpdate) >= 2; }));
    EXPECT_TRUE(loop.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(20)));
    EXPECT_EQ(GLIMRA_Camera::backgroundThreadCount(), 0);
}

TEST(LiveViewFrameTime, FrameCarriesTheTimeItsBytesWereTakenNotWhenItWasDecoded) {
    std::vector<std::uint8_t> scratch;
    const Data jpeg = SimJpeg::makeLiveViewFrame(160, 120, 7, scratch);
    const auto before = std::chrono::steady_clock::now();
    auto first = QZNSImageFlipped::imageWithBytes(jpeg.data(), jpeg.size());
    const auto between = std::chrono::steady_clock::now();
    auto second = QZNSImageFlipped::imageWithData(jpeg);
    const auto after = std::chrono::steady_clock::now();
    ASSERT_TRUE(first && second);
    EXPECT_GE(first->arrivalTime(), before);
    EXPECT_LE(first->arrivalTime(), between);
    EXPECT_GE(second->arrivalTime(), between);
    EXPECT_LE(second->arrivalTime(), after);
    // Bytes that do not decode give no frame (and so no time) at all.
    const std::uint8_t junk[] = {0xFF, 0xD8, 0x00, 0x01};
    EXPECT_EQ(QZNSImageFlipped::imageWithBytes(junk, sizeof junk), nullptr);
}

}  // namespace klik::test
