#pragma once
// A controller wired to the camera class over the simulated camera, on a
// manual main loop, with the process-wide notification centre (the one the
// camera class posts on) and a recording kiosk UI.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RecordingKioskUi.h"
#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "camera/CameraNotifications.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/RegistryCameraPort.h"
#include "camera/sim/SimCamSDK.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "support/SimCameraTestSupport.h"
#include "support/TempDir.h"
#include "support/WorkerGuardRunLoop.h"

namespace klik::test {

class SimCameraControllerFixture : public ::testing::Test {
  protected:
    SimCameraControllerFixture() : settings(dir.file("settings.plist")) { RunLoop::setMain(&loop); }
    ~SimCameraControllerFixture() override { RunLoop::setMain(nullptr); }

    static SimCameraSpec spec(int n) {
        SimCameraSpec s;
        s.model = "Sim Body " + std::to_string(n);
        s.port = "usb:001,00" + std::to_string(n);
        s.serial = "000000000" + std::to_string(n);
        return s;
    }
    // Plugs `cameras` simulated bodies, builds the controller and starts the
    // camera class; with cameras, waits until the first one is current.
    // With `singleWorker` the simulated camera keeps libgphoto2's rules
    // (one worker thread for every camera call) and refuses calls from this,
    // the main, thread; the camera class's waits for the main thread made on
    // that worker are counted by `guard`.
    void start(int cameras, bool singleWorker = false) {
        SimConfig c = smallSimConfig();
        c.cameras.clear();
        c.singleWorker = singleWorker;
        for (int i = 1; i <= cameras; ++i) c.cameras.push_back(spec(i));
        startWith(std::move(c));
    }
    // The same over the simulated camera `c`; `beforeCameras` runs once the
    // controller is built, before the camera class starts.
    void startWith(SimConfig c, const std::function<void()>& beforeCameras = {}) {
        const bool cameras = !c.cameras.empty();
        const bool singleWorker = c.singleWorker;
        sim = std::make_shared<SimCamSDK>(std::move(c));
        GLIMRA_Camera::setSDK(sim);
        GLIMRA_Camera::setMainLoop(&guard);
        if (singleWorker) sim->setForbiddenThread(std::this_thread::get_id());
        GLIMRA_Camera::setTimeouts({0.2, 0.2, 0.05});
        controller = std::make_unique<AppController>(
            AppController::Environment{ui, loop, settings, NotificationCenter::defaultCenter()});
        controller->setCamera(&port);
        if (beforeCameras) beforeCameras();
        GLIMRA_Camera::initializeClass();
        if (cameras) {
            EXPECT_TRUE(pumpUntil([&] { return GLIMRA_Camera::loadedCamera() != nullptr; }));
        } else {
            EXPECT_TRUE(pumpUntil([&] { return !controller->_cameraPanel.cameraItems().empty(); }));
        }
        settle();
    }
    void TearDown() override {
        if (sim) sim->setForbiddenThread(std::nullopt);
        if (sim) loop.runUntil([&] { return sim->eventsIdle(); }, std::chrono::seconds(10));
        controller.reset();
        // The camera's threads (a photo on its way to the controller) may
        // wait for this loop while they finish.
        loop.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(20));
        loop.runPending();
        GLIMRA_Camera::setSDK(nullptr);
        GLIMRA_Camera::setMainLoop(nullptr);
    }
    bool pumpUntil(const std::function<bool()>& done) {
        return loop.runUntil(done, std::chrono::seconds(20));
    }
    // Lets the camera's threads finish while the main loop keeps turning.
    void settle() { EXPECT_TRUE(settleSimCamera(loop, *sim)); }
    // After start(n, true): the main thread never called the camera and the
    // camera's worker never waited for the main thread.
    void expectWorkerRulesKept() {
        settle();
        EXPECT_EQ(sim->forbiddenThreadCalls(), 0);
        EXPECT_EQ(guard.violations(), 0);
    }
    std::vector<std::string> menuTitles() const {
        std::vector<std::string> out;
        for (const auto& item : controller->_cameraPanel.cameraItems()) out.push_back(item.title);
        return out;
    }
    std::string currentDescription() const {
        return GLIMRA_Camera::loadedCamera() ? GLIMRA_Camera::loadedCamera()->description() : "";
    }

    TempDir dir;
    Settings settings;
    ManualRunLoop loop;
    WorkerGuardRunLoop guard{loop, [this] { return sim && sim->isWorkerThread(); }};
    RecordingKioskUi ui;
    RegistryCameraPort port;
    std::shared_ptr<SimCamSDK> sim;
    std::unique_ptr<AppController> controller;
};

}  // namespace klik::test
