#pragma once
// The camera class over the real libgphoto2 talking PTP/IP to our own camera
// program on a loopback port, with a manual main loop, a record of every
// camera notification and a count of waits for the main thread made on a
// camera worker. HOME points at a temporary folder: libgphoto2 keeps its
// PTP/IP identity under $HOME/.gphoto.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include <unistd.h>

#include "camera/CameraNotifications.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/gphoto2/GPhotoCamSDK.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "log/Log.h"
#include "support/PtpIpCameraProcess.h"
#include "support/TempDir.h"
#include "support/WorkerGuardRunLoop.h"

namespace klik::test {

struct Seen {
    std::string name;
    Notification n;
    bool onMain;
};

class GPhotoPtpipFixture : public ::testing::Test {
  protected:
    // libgphoto2 reads HOME once per process: one temporary HOME for all.
    static TempDir& home() {
        static TempDir* dir = new TempDir;
        return *dir;
    }
    void SetUp() override {
        setenv("HOME", home().path().c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
        GLIMRA_Log::setRedirectsStdErr(false);
        GLIMRA_Log::setLogFile(logDir.file("klik.log"));
    }
    // The backend's own lines, shown when a test failed.
    void showBackendLog() {
        std::ifstream in(logDir.file("klik.log"));
        for (std::string line; std::getline(in, line);)
            if (line.find("libgphoto2") != std::string::npos) std::cerr << line << "\n";
    }
    // Starts the camera program (`faults`: the XML of its faults file, may be
    // empty; `args`: more of its options); false when it is not built (the
    // test then skips).
    bool startCamera(const std::string& faults = "", const std::vector<std::string>& args = {}) {
        if (PtpIpCameraProcess::absentOnPurpose()) return false;
        std::string error;
        EXPECT_TRUE(camera.start(args, faults, &error)) << error;
        return true;
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(camera.port()); }
    void startLayer(GPhotoOptions options = {}) {
        options.usb = false;
        options.ptpipAddresses = {address()};
        options.presenceInterval = std::chrono::milliseconds(50);
        sdk = std::make_shared<GPhotoCamSDK>(options);
        GLIMRA_Camera::setSDK(sdk);
        GLIMRA_Camera::setMainLoop(&guard);
        GLIMRA_Camera::setTimeouts({5, 5, 5});
        observer =
            NotificationCenter::defaultCenter().addObserver("", [this](const Notification& n) {
                if (n.name.rfind("GLIMRA_Camera", 0) != 0) return;
                std::lock_guard l(mutex);
                seen.push_back(Seen{n.name, n, loop.isMainThread()});
            });
    }
    void TearDown() override {
        if (sdk) {
            loop.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(30));
            loop.runPending();
            NotificationCenter::defaultCenter().removeObserver(observer);
            GLIMRA_Camera::setSDK(nullptr);
            GLIMRA_Camera::setMainLoop(nullptr);
            sdk.reset();
        }
        camera.stop();
        if (HasFailure()) showBackendLog();
        GLIMRA_Log::resetForTesting();
    }
    size_t count(const std::string& name) {
        std::lock_guard l(mutex);
        size_t n = 0;
        for (const auto& p : seen) n += p.name == name;
        return n;
    }
    std::vector<Seen> all(const std::string& name) {
        std::lock_guard l(mutex);
        std::vector<Seen> out;
        for (const auto& p : seen)
            if (p.name == name) out.push_back(p);
        return out;
    }
    bool pumpUntil(const std::function<bool()>& done, int seconds = 30) {
        return loop.runUntil(done, std::chrono::seconds(seconds));
    }
    // The first listed camera, once the first scan has listed it.
    GLIMRA_Camera::Ptr listed() {
        GLIMRA_Camera::initializeClass();
        GLIMRA_Camera::Ptr cam;
        EXPECT_TRUE(pumpUntil([&] {
            auto c = GLIMRA_Camera::cameras();
            if (c && !c->empty()) cam = c->front();
            return cam != nullptr;
        }));
        return cam;
    }
    // Loads `cam` in the background and waits for its announcements.
    bool loaded(const GLIMRA_Camera::Ptr& cam) {
        const size_t before = count(GLIMRA_CameraPropertyDidChange);
        cam->loadInBackground();
        return pumpUntil([&] {
            return cam->isLoaded() && count(GLIMRA_CameraPropertyDidChange) >= before + 18;
        });
    }
    std::string announced(const std::string& property) {
        std::string text;
        for (const auto& p : all(GLIMRA_CameraPropertyDidChange))
            if (p.n.info(GLIMRA_CameraPropertyName).stringOr() == property)
                text = p.n.info(GLIMRA_CameraProperty).stringOr();
        return text;
    }
    TempDir logDir;
    PtpIpCameraProcess camera;
    ManualRunLoop loop;
    std::shared_ptr<GPhotoCamSDK> sdk;
    WorkerGuardRunLoop guard{loop, [] { return GPhotoWorker::onAnyWorker(); }};
    std::mutex mutex;
    std::vector<Seen> seen;
    NotificationCenter::ObserverId observer = 0;
};

#define START_CAMERA_OR_SKIP(faults)                                                   \
    do {                                                                               \
        if (!startCamera(faults))                                                      \
            GTEST_SKIP() << "klik-ptpip-camera is not built (KLIK_NO_PTPIP_CAMERA=1)"; \
    } while (0)

}  // namespace klik::test
