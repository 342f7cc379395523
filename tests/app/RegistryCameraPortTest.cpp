// The kiosk's shot and live view through the camera registry: the
// controller's takePicture() makes the simulated camera shoot and the photo
// arrives as GLIMRA_CameraPhotoDataAvailable with its download progress on
// the panel's bar; live-view frames reach the camera view while it is on.

#include <mutex>
#include <optional>

#include "SimCameraControllerFixture.h"
#include "log/Log.h"

namespace klik::test {
namespace {

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class RegistryCameraPortTest : public SimCameraControllerFixture {
  protected:
    void SetUp() override {
        photoObserver = NotificationCenter::defaultCenter().addObserver(
            GLIMRA_CameraPhotoDataAvailable, [this](const Notification& n) {
                std::lock_guard l(mutex);
                const Data* d = n.info(GLIMRA_CameraPhotoData).data();
                photos.push_back(d ? *d : Data{});
                names.push_back(n.info(GLIMRA_CameraPhotoFilename).stringOr());
                onMain.push_back(loop.isMainThread());
            });
    }
    void TearDown() override {
        SimCameraControllerFixture::TearDown();
        NotificationCenter::defaultCenter().removeObserver(photoObserver);
    }
    size_t photoCount() {
        std::lock_guard l(mutex);
        return photos.size();
    }

    NotificationCenter::ObserverId photoObserver = 0;
    std::mutex mutex;
    std::vector<Data> photos;
    std::vector<std::string> names;
    std::vector<bool> onMain;
};

// Both with the camera on one worker as libgphoto2 wants it: the main thread
// never calls the camera and the worker never waits for the main thread.
TEST_F(RegistryCameraPortTest, TakePictureShootsAndThePhotoArrivesAndAFailedShotResetsTheBar) {
    start(1, true);
    std::vector<double> progress;
    controller->_progress.setChangeHandler(
        [&](const View& v) { progress.push_back(v.doubleValue()); });
    controller->takePicture();
    ASSERT_TRUE(pumpUntil([&] { return photoCount() == 1; }));
    settle();
    {
        std::lock_guard l(mutex);
        ASSERT_GE(photos[0].size(), 4u);
        EXPECT_EQ(photos[0][0], 0xFF);  // a JPEG
        EXPECT_EQ(photos[0][1], 0xD8);
        EXPECT_FALSE(names[0].empty());
    }
    // Download progress went to the bar on the main thread, rising to 100.
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), 5);  // the shot's own mark
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin() + 1, progress.end()));
    // Exactly one take-picture command reached the camera.
    int shots = 0;
    for (const auto& c : sim->sentCommands())
        shots += !c.status && c.command == kCamCommand_TakePicture;
    EXPECT_EQ(shots, 1);
    controller->_progress.setChangeHandler(nullptr);

    sim->setFault("CamSendCommand", SimFault{0x8D01, 0, 1, std::nullopt});
    controller->takePicture();
    ASSERT_TRUE(pumpUntil([&] { return controller->_progress.doubleValue() == 0; }));
    settle();
    EXPECT_EQ(photoCount(), 1u);
    expectWorkerRulesKept();
}

TEST_F(RegistryCameraPortTest, LiveViewFramesShowOnlyWhileOnAndAnUnpluggedCameraGetsNothing) {
    GLIMRA_Log::resetForTesting();
    GLIMRA_Log::setRedirectsStdErr(false);
    GLIMRA_Log::setLogFile(dir.file("kiosk.log"));
    start(1, true);
    std::optional<Notification> lastFrame;
    auto frames = NotificationCenter::defaultCenter().addObserver(
        GLIMRA_CameraLiveViewImageUpdate, [&](const Notification& n) { lastFrame = n; });
    controller->liveViewOn();
    EXPECT_TRUE(controller->isLiveView());
    // Switched in the background: the main thread never waits for it.
    ASSERT_TRUE(pumpUntil([&] { return sim->isLiveViewActive(1); }));
    // A frame may already have shown while the loop turned above: start
    // from a hidden, empty view and wait for the next one.
    controller->_EVFView.setImage(nullptr);
    controller->_EVFView.setHidden(true);
    ASSERT_TRUE(pumpUntil([&] { return controller->_EVFView.image() != nullptr; }));
    EXPECT_FALSE(controller->_EVFView.isHidden());
    EXPECT_FALSE(controller->_EVFView.image()->encoded().empty());
    ASSERT_TRUE(lastFrame);

    controller->liveViewOff();
    EXPECT_FALSE(controller->isLiveView());
    ASSERT_TRUE(pumpUntil([&] { return !sim->isLiveViewActive(1); }));
    settle();
    NotificationCenter::defaultCenter().removeObserver(frames);
    controller->_EVFView.setImage(nullptr);
    // A frame still on its way is ignored.
    NotificationCenter::defaultCenter().post(*lastFrame);
    EXPECT_EQ(controller->_EVFView.image(), nullptr);

    // After the camera is unplugged nothing is sent to it.
    ASSERT_TRUE(sim->unplugCamera(1));
    ASSERT_TRUE(pumpUntil([&] { return !port.hasCamera(); }));
    settle();
    const size_t before = sim->sentCommands().size();
    port.takePicture();
    port.liveViewOn();
    port.liveViewOff();
    controller->takePicture();
    settle();
    EXPECT_EQ(sim->sentCommands().size(), before);
    EXPECT_EQ(photoCount(), 0u);
    EXPECT_FALSE(sim->isLiveViewActive(1));
    // The port itself turned each request away; none went to the camera
    // object that is left of the unplugged body.
    const std::string log = readFile(dir.file("kiosk.log"));
    GLIMRA_Log::resetForTesting();
    EXPECT_EQ(countOf(log, "no loaded camera to take a picture with"), 2u) << log;
    EXPECT_EQ(countOf(log, "no loaded camera to start live view on"), 1u) << log;
    EXPECT_EQ(countOf(log, "no loaded camera to end live view on"), 1u) << log;
    expectWorkerRulesKept();
}

// What the port makes of the camera's notifications on their own, without
// a camera: a progress without its percentage says nothing, a failed
// command is a refused shot only when it was the shot, and the camera's
// error reaches the listener with its code and words.
class RecordingListener : public CameraPortListener {
  public:
    void cameraAdded() override {}
    void camerasListed(const std::optional<std::vector<CameraEntry>>&) override {}
    void cameraLoaded(const std::optional<CameraEntry>&) override {}
    void cameraUnloaded(const std::optional<CameraEntry>& camera) override {
        unloads.push_back(camera);
    }
    void cameraPropertyValuesChanged(const std::optional<CameraEntry>&, std::uint32_t,
                                     const std::optional<Dictionary>&) override {}
    void cameraPropertyChanged(const std::optional<CameraEntry>&, const std::string&, std::uint32_t,
                               const Value&, const Value&) override {}
    void cameraLiveViewFrame(const Data&) override {}
    void cameraDownloadProgress(double percent) override { progress.push_back(percent); }
    void cameraCommandFailed(const std::optional<CameraEntry>&, bool shot, const CameraError& error,
                             const std::string&) override {
        shots.push_back(shot);
        errors.push_back(error);
    }
    void cameraPhotoArrived(const Dictionary&) override {}
    void cameraDownloadFailed(const std::string&, const CameraError&) override {}

    std::vector<std::optional<CameraEntry>> unloads;
    std::vector<double> progress;
    std::vector<bool> shots;
    std::vector<CameraError> errors;
};

TEST(RegistryCameraPortEvents, NotificationsBecomeTypedEventsForTheListener) {
    NotificationCenter center;
    RegistryCameraPort port(center);
    RecordingListener listener;
    port.setListener(&listener);

    center.post(GLIMRA_CameraDownloadProgress, {}, Dictionary{});
    center.post(GLIMRA_CameraDownloadProgress, {},
                Dictionary{{GLIMRA_CameraDownloadProgressPercent, Value(250)}});
    EXPECT_EQ(listener.progress, std::vector<double>{250});

    auto fail = [&](std::uint32_t command, Dictionary error) {
        center.post(GLIMRA_CameraCommandError, {},
                    Dictionary{{GLIMRA_CameraCommandDictionary,
                                Value(Dictionary{{"commandNumber", Value(command)}})},
                               {GLIMRA_CameraCommandError, Value(std::move(error))}});
    };
    fail(4, Dictionary{{kCameraErrorDomainKey, Value("CamError")}});
    fail(kCamCommand_TakePicture,
         Dictionary{{kCameraErrorCodeKey, Value(0x81)},
                    {kCameraErrorUserInfoKey,
                     Value(Dictionary{{kCameraErrorDescriptionKey, Value("device busy")}})}});
    EXPECT_EQ(listener.shots, (std::vector<bool>{false, true}));
    ASSERT_EQ(listener.errors.size(), 2u);
    EXPECT_FALSE(listener.errors[0].code);
    EXPECT_FALSE(listener.errors[0].text);
    EXPECT_EQ(listener.errors[1].code, 0x81);
    EXPECT_EQ(listener.errors[1].text, "device busy");

    // The guest-side "no camera" carries no camera; an object that is no
    // known camera is not trusted as one.
    center.post(GLIMRA_CameraDidUnload);
    center.post(Notification{GLIMRA_CameraDidUnload, Value(makeOpaque(std::make_shared<int>(0))),
                             std::nullopt});
    ASSERT_EQ(listener.unloads.size(), 2u);
    EXPECT_FALSE(listener.unloads[0]);
    EXPECT_FALSE(listener.unloads[1]);

    // Without a listener nothing is delivered.
    port.setListener(nullptr);
    center.post(GLIMRA_CameraDownloadProgress, {},
                Dictionary{{GLIMRA_CameraDownloadProgressPercent, Value(5)}});
    EXPECT_EQ(listener.progress.size(), 1u);
}

}  // namespace
}  // namespace klik::test
