// The camera class over a simulated camera that keeps libgphoto2's rules:
// every camera call on one worker thread, events delivered there. The main
// thread hands its camera work to the background and never calls the SDK;
// no thread holding the worker waits for the main thread.

#include <thread>

#include "CameraTestFixture.h"
#include "camera/CamTables.h"
#include "support/WorkerGuardRunLoop.h"

namespace klik::test {

class CameraWorkerTest : public CameraFixture {
  protected:
    void startSingleWorker() {
        SimConfig c = smallConfig();
        c.singleWorker = true;
        start(std::move(c));
        guard =
            std::make_unique<WorkerGuardRunLoop>(loop, [s = sim] { return s->isWorkerThread(); });
        GLIMRA_Camera::setMainLoop(guard.get());
        sim->setForbiddenThread(std::this_thread::get_id());
        photoObserver = NotificationCenter::defaultCenter().addObserver(
            GLIMRA_CameraPhotoDataAvailable, [this](const Notification&) {
                photoOnWorker.store(sim->isWorkerThread());
                photoOnMain.store(loop.isMainThread());
            });
    }
    void TearDown() override {
        if (sim) {
            // Shutting down unloads the camera from this thread.
            sim->setForbiddenThread(std::nullopt);
            settle();
        }
        NotificationCenter::defaultCenter().removeObserver(photoObserver);
        CameraFixture::TearDown();
    }

    std::unique_ptr<WorkerGuardRunLoop> guard;
    NotificationCenter::ObserverId photoObserver = 0;
    std::atomic<bool> photoOnWorker{true}, photoOnMain{true};
};

TEST_F(CameraWorkerTest, TheCheckCatchesACameraCallFromTheMainThread) {
    startSingleWorker();
    auto cam = scanned(1)[0];
    // Loading here would block the main thread: the simulated camera
    // refuses the call, so a layer that still did it fails these tests.
    EXPECT_FALSE(cam->load());
    EXPECT_GE(sim->forbiddenThreadCalls(), 1);
    EXPECT_FALSE(sim->isSessionOpen(1));
}

// Load, the panel's lists, writes, a dial turned, a picture, live view and
// an unplug, all kept to the worker's rules.
TEST_F(CameraWorkerTest, ASessionKeepsToTheWorkersRulesAndAnnouncesOnMain) {
    startSingleWorker();
    auto cam = scanned(1)[0];
    cam->loadInBackground();
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPropertyDidChange) >= 18; }));
    EXPECT_TRUE(cam->isLoaded());
    EXPECT_TRUE(sim->isSessionOpen(1));
    EXPECT_EQ(count(GLIMRA_CameraDidLoad), 1u);
    for (const auto& p : all(GLIMRA_CameraPropertyDidChange)) EXPECT_TRUE(p.onMain);
    // The panel's lists, read in the background and announced.
    cam->performInBackground([](GLIMRA_Camera& c) {
        c.announceSupportedValues({kCamPropID_ISOSpeed, 0x7777});
    });
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPropertiesDidChange) >= 2; }));
    auto lists = all(GLIMRA_CameraPropertiesDidChange);
    EXPECT_TRUE(lists[0].n.info(GLIMRA_CameraProperties).dictionary() != nullptr);
    EXPECT_EQ(lists[0].n.info(GLIMRA_CameraPropertyID).integerValue(), kCamPropID_ISOSpeed);
    // A property the camera lacks: announced without its list.
    EXPECT_TRUE(lists[1].n.info(GLIMRA_CameraProperties).isNone());

    std::optional<bool> written, refused;
    cam->setStringValueInBackground("ISO 400", kCamPropID_ISOSpeed, [&](bool ok) {
        EXPECT_TRUE(loop.isMainThread());
        written = ok;
    });
    cam->setStringValueInBackground("ISO 123", kCamPropID_ISOSpeed, [&](bool ok) { refused = ok; });
    ASSERT_TRUE(pumpUntil([&] { return written && refused; }));
    EXPECT_TRUE(*written);
    EXPECT_FALSE(*refused);
    EXPECT_EQ(strForCameraISO(sim->propertyValue(1, kCamPropID_ISOSpeed)), std::string("ISO 400"));
    const size_t before = count(GLIMRA_CameraPropertyDidChange);
    sim->turnDial(1, kCamPropID_ISOSpeed, 0x50);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPropertyDidChange) > before; }));
    EXPECT_EQ(all(GLIMRA_CameraPropertyDidChange).back().n.info(GLIMRA_CameraProperty).stringOr(),
              strForCameraISO(0x50));

    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    // The photo chain runs on a thread of its own: neither the worker it
    // would hold nor the main thread.
    EXPECT_FALSE(photoOnWorker.load());
    EXPECT_FALSE(photoOnMain.load());
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDownloadProgress) >= 2; }));
    for (const auto& p : all(GLIMRA_CameraDownloadProgress)) EXPECT_TRUE(p.onMain);

    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewBegin(); });
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewImageUpdate) >= 3; }));
    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewEnd(); });
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));

    sim->unplugCamera(1);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDidUnload) == 1; }));
    EXPECT_TRUE(all(GLIMRA_CameraDidUnload)[0].onMain);
    EXPECT_FALSE(cam->isLoaded());
    settle();
    EXPECT_EQ(sim->forbiddenThreadCalls(), 0);
    EXPECT_EQ(guard->violations(), 0);
}

}  // namespace klik::test
