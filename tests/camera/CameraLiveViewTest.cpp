#include <thread>

#include "CameraTestFixture.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/sim/SimJpeg.h"

namespace klik::test {

TEST_F(CameraFixture, LiveViewFramesArriveAsDecodedImagesOnMain) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    cam->liveViewBegin();
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_Evf_Mode), 1u);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewImageUpdate) >= 3; }));
    auto frames = all(GLIMRA_CameraLiveViewImageUpdate);
    std::vector<const void*> images;
    for (const auto& f : frames) {
        EXPECT_TRUE(f.onMain);
        const OpaqueObject* o = f.n.info(GLIMRA_CameraLiveViewImage).object();
        ASSERT_NE(o, nullptr);
        auto* img = static_cast<const QZNSImageFlipped*>(o->ptr);
        EXPECT_EQ(img->width(), 160);
        EXPECT_EQ(img->height(), 120);
        images.push_back(img);
    }
    // Each posted frame keeps its own bytes.
    auto* a = static_cast<const QZNSImageFlipped*>(images[0]);
    auto* b = static_cast<const QZNSImageFlipped*>(images[1]);
    EXPECT_NE(a->pixels(), b->pixels());
    cam->liveViewEnd();
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));
    GLIMRA_Camera::waitForBackgroundThreads();
}

TEST_F(CameraFixture, StalledMainThreadNeverHoldsMoreThanOneFrame) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    cam->liveViewBegin();
    // Let the property event start the loop, then stop turning the loop.
    ASSERT_TRUE(pumpUntil([&] { return cam->isLiveViewRunning(); }));
    loop.runPending();
    size_t seen = count(GLIMRA_CameraLiveViewImageUpdate);
    unsigned startFrame = sim->liveViewFrameCount(1);
    // The main loop is not turned here: frames keep coming and must not pile up.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((sim->liveViewFrameCount(1) < startFrame + 10 || cam->droppedLiveViewFrames() < 8) &&
           std::chrono::steady_clock::now() < deadline) {
        EXPECT_LE(cam->pendingLiveViewFrames(), 1u);
        std::this_thread::yield();
    }
    EXPECT_GE(sim->liveViewFrameCount(1), startFrame + 10);
    EXPECT_LE(cam->pendingLiveViewFrames(), 1u);
    EXPECT_GE(cam->droppedLiveViewFrames(), 8u);
    EXPECT_EQ(count(GLIMRA_CameraLiveViewImageUpdate), seen);
    cam->liveViewEnd();  // stops the loop from the main thread
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));
    GLIMRA_Camera::waitForBackgroundThreads();
    loop.runPending();
    // The main thread coming back sees one frame, the newest, not a backlog.
    EXPECT_LE(count(GLIMRA_CameraLiveViewImageUpdate), seen + 2);
    EXPECT_EQ(cam->pendingLiveViewFrames(), 0u);
}

TEST_F(CameraFixture, ZoomAndLensDriveCheckTheirParameters) {
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
}

TEST_F(CameraFixture, TwoHostBitReportsStartOneLoop) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    cam->liveViewBegin();
    // A delivered frame proves the loop thread holds the loop lock; before
    // that, the call below could become the loop itself on this thread.
    ASSERT_TRUE(pumpUntil(
        [&] { return cam->isLiveViewRunning() && count(GLIMRA_CameraLiveViewImageUpdate) > 0; }));
    cam->processPropertyEvent(kCamPropertyEvent_PropertyChanged, kCamPropID_Evf_OutputDevice, 0);
    cam->downloadLiveViewImage();  // a second loop returns at once: the lock is held
    EXPECT_TRUE(cam->isLiveViewRunning());
    cam->liveViewEnd();
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));
    GLIMRA_Camera::waitForBackgroundThreads();
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
