// The kiosk's controller on the real libgphoto2 talking PTP/IP to our own
// camera program: a photo whose download is cut half-way never reaches the
// photo module; the camera in use that vanishes is let go, and once it
// answers again the kiosk uses it again with no operator action. Every wait
// is on a condition with a generous limit.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "FakePhotoPipeline.h"
#include "RecordingKioskUi.h"
#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "camera/CameraNotifications.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/RegistryCameraPort.h"
#include "camera/gphoto2/GPhotoCamSDK.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "support/PtpIpCameraProcess.h"
#include "support/TempDir.h"
#include "support/WorkerGuardRunLoop.h"

namespace klik::test {
namespace {

class GPhotoControllerTest : public ::testing::Test {
  protected:
    // libgphoto2 reads HOME once per process (its PTP/IP identity goes
    // under it): one temporary HOME for all, set once, when the first test
    // starts and before any camera thread exists.
    static TempDir& home() {
        static TempDir* dir = [] {
            auto* made = new TempDir;
            // NOLINTNEXTLINE(concurrency-mt-unsafe): no other thread runs yet
            setenv("HOME", made->path().c_str(), 1);
            return made;
        }();
        return *dir;
    }
    GPhotoControllerTest() : settings(dir.file("settings.plist")) {
        home();
        RunLoop::setMain(&loop);
        GLIMRA_Log::setRedirectsStdErr(false);
        GLIMRA_Log::setLogFile(dir.file("klik.log"));
    }
    ~GPhotoControllerTest() override {
        GLIMRA_Log::resetForTesting();
        RunLoop::setMain(nullptr);
    }
    // The camera program with `faults` (plist body, may be empty), the
    // camera class on libgphoto2 and the controller; waits until the
    // controller uses the camera. False when the program is not built.
    bool start(const std::string& faults = "") {
        if (PtpIpCameraProcess::absentOnPurpose()) return false;
        std::string error, plist;
        if (!faults.empty())
            plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" +
                    faults + "</dict></plist>\n";
        EXPECT_TRUE(camera.start({"--photo", "640x480"}, plist, &error)) << error;
        GPhotoOptions options;
        options.usb = false;
        options.ptpipAddresses = {"127.0.0.1:" + std::to_string(camera.port())};
        options.presenceInterval = std::chrono::milliseconds(50);
        sdk = std::make_shared<GPhotoCamSDK>(options);
        GLIMRA_Camera::setSDK(sdk);
        GLIMRA_Camera::setMainLoop(&guard);
        GLIMRA_Camera::setTimeouts({5, 5, 5});
        photoObserver = NotificationCenter::defaultCenter().addObserver(
            GLIMRA_CameraPhotoDataAvailable, [this](const Notification&) { ++photos; });
        controller = std::make_unique<AppController>(
            AppController::Environment{ui, loop, settings, NotificationCenter::defaultCenter()});
        controller->setCamera(&port);
        controller->setPhotoPipeline(&pipeline);
        GLIMRA_Camera::initializeClass();
        // The registry has the camera before its news reaches the main thread
        // and the panel: wait for both.
        EXPECT_TRUE(pumpUntil(
            [&] { return inUse() != nullptr && panels("PTP/IP Camera\nAvailable!") >= 1; }));
        return true;
    }
    void TearDown() override {
        if (!sdk) return;
        // A photo's own thread may still be handing it to the controller
        // (it waits for this loop): it ends before the controller goes.
        loop.runAlongside([] { GLIMRA_Camera::waitForBackgroundThreads(); },
                          std::chrono::seconds(60));
        controller.reset();
        loop.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(30));
        loop.runPending();
        NotificationCenter::defaultCenter().removeObserver(photoObserver);
        GLIMRA_Camera::setSDK(nullptr);
        GLIMRA_Camera::setMainLoop(nullptr);
        sdk.reset();
        camera.stop();
    }
    bool pumpUntil(const std::function<bool()>& done) {
        return loop.runUntil(done, std::chrono::seconds(60));
    }
    // The controller's camera once it is loaded and the kiosk's shots go to
    // it, else null.
    GLIMRA_Camera::Ptr inUse() const {
        const auto& cam = GLIMRA_Camera::loadedCamera();
        return cam && cam->isLoaded() && port.hasCamera() ? cam : nullptr;
    }
    size_t panels(const std::string& text) const { return ui.count("panel " + text); }

    TempDir dir;
    Settings settings;
    ManualRunLoop loop;
    WorkerGuardRunLoop guard{loop, [] { return GPhotoWorker::onAnyWorker(); }};
    RecordingKioskUi ui;
    RegistryCameraPort port;
    FakePhotoPipeline pipeline;
    PtpIpCameraProcess camera;
    std::shared_ptr<GPhotoCamSDK> sdk;
    std::unique_ptr<AppController> controller;
    std::atomic<int> photos{0};
    NotificationCenter::ObserverId photoObserver = 0;
};

TEST_F(GPhotoControllerTest, ACutPhotoNeverReachesThePhotoModuleAndAVanishedCameraIsUsedAgain) {
    if (!start("<key>DropDownloadAtPercent</key><integer>50</integer>"))
        GTEST_SKIP() << "klik-ptpip-camera is not built (KLIK_NO_PTPIP_CAMERA=1)";
    const GLIMRA_Camera::Ptr first = inUse();
    ASSERT_TRUE(first);
    EXPECT_EQ(panels("PTP/IP Camera\nAvailable!"), 1u);
    size_t failed = 0;
    const auto observer = NotificationCenter::defaultCenter().addObserver(
        GLIMRA_CameraDownloadFailed, [&](const Notification&) { ++failed; });
    port.takePicture();
    ASSERT_TRUE(pumpUntil([&] { return failed == 1; }));
    // The cut connection lets the camera go; it still answers and is used
    // again by itself.
    ASSERT_TRUE(pumpUntil([&] { return inUse() != nullptr && inUse() != first; }));
    EXPECT_EQ(photos.load(), 0);
    EXPECT_EQ(pipeline.decodes.load(), 0);
    {
        std::lock_guard l(pipeline.mutex);
        EXPECT_EQ(pipeline.kept, 0);  // nothing filed, nothing half-filed
    }
    // The next shot arrives whole.
    port.takePicture();
    ASSERT_TRUE(pumpUntil([&] { return photos.load() == 1 && pipeline.decodes.load() == 1; }));
    NotificationCenter::defaultCenter().removeObserver(observer);

    // The camera in use vanishes: let go, and used again by itself once it
    // answers again.
    const GLIMRA_Camera::Ptr before = inUse();
    const size_t gone = panels("PTP/IP Camera\nDISCONNECTED!");
    const size_t available = panels("PTP/IP Camera\nAvailable!");
    camera.vanish();
    ASSERT_TRUE(pumpUntil([&] {
        return GLIMRA_Camera::loadedCamera() == nullptr &&
               panels("PTP/IP Camera\nDISCONNECTED!") >= gone + 1;
    }));
    EXPECT_FALSE(port.hasCamera());
    EXPECT_EQ(panels("PTP/IP Camera\nDISCONNECTED!"), gone + 1);
    camera.comeBack();
    ASSERT_TRUE(pumpUntil([&] {
        return inUse() != nullptr && panels("PTP/IP Camera\nAvailable!") >= available + 1;
    }));
    EXPECT_NE(inUse(), before);  // a new reference for the camera that came back
    EXPECT_EQ(panels("PTP/IP Camera\nAvailable!"), available + 1);
    // And it is really used: the kiosk's shot comes back as a photo.
    port.takePicture();
    ASSERT_TRUE(pumpUntil([&] { return photos.load() == 2 && pipeline.decodes.load() == 2; }));
    EXPECT_EQ(guard.violations(), 0);
}

}  // namespace
}  // namespace klik::test
