#pragma once
// The camera class over the real libgphoto2 talking PTP/IP to our own camera
// program on a loopback port, with a manual main loop, a record of every
// camera notification and a count of waits for the main thread made on a
// camera worker. HOME points at a temporary folder: libgphoto2 keeps its
// PTP/IP identity under $HOME/.gphoto.

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "../CameraNotificationFixture.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/gphoto2/GPhotoCamSDK.h"
#include "log/Log.h"
#include "support/PtpIpCameraProcess.h"
#include "support/TempDir.h"
#include "support/WorkerGuardRunLoop.h"

namespace klik::test {

class GPhotoPtpipFixture : public CameraNotificationFixture {
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
    // A faults file for the camera program holding the plist keys `body`.
    static std::string faults(const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
               "</dict></plist>\n";
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
        recordNotifications();
    }
    void TearDown() override {
        if (sdk) {
            loop.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(30));
            loop.runPending();
            stopRecording();
            GLIMRA_Camera::setSDK(nullptr);
            GLIMRA_Camera::setMainLoop(nullptr);
            sdk.reset();
        }
        camera.stop();
        if (HasFailure()) showBackendLog();
        GLIMRA_Log::resetForTesting();
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
    // Runs `job` on the camera's thread and waits for it.
    void onCameraThread(const GLIMRA_Camera::Ptr& cam,
                        const std::function<void(GLIMRA_Camera&)>& job) {
        bool done = false;
        cam->performInBackground([&done, job](GLIMRA_Camera& c) {
            job(c);
            GLIMRA_Camera::mainLoop()->performOnMain([&done] { done = true; }, false);
        });
        ASSERT_TRUE(pumpUntil([&] { return done; }));
    }
    // The choices of `id`, read on the camera's thread.
    std::optional<Dictionary> listOf(const GLIMRA_Camera::Ptr& cam, CamPropertyID id) {
        std::optional<Dictionary> read;
        onCameraThread(
            cam, [&read, id](GLIMRA_Camera& c) { read = c.supportedValuesForPropertyID(id); });
        return read;
    }
    bool set(const GLIMRA_Camera::Ptr& cam, const std::string& text, CamPropertyID id) {
        std::optional<bool> ok;
        cam->setStringValueInBackground(text, id, [&](bool r) { ok = r; });
        return pumpUntil([&] { return ok.has_value(); }) && *ok;
    }

    TempDir logDir;
    PtpIpCameraProcess camera;
    std::shared_ptr<GPhotoCamSDK> sdk;
    WorkerGuardRunLoop guard{loop, [] { return GPhotoWorker::onAnyWorker(); }};
};

// Starts the camera program with startCamera's arguments, or skips the test.
#define START_CAMERA_OR_SKIP(...)                                                      \
    do {                                                                               \
        if (!startCamera(__VA_ARGS__))                                                 \
            GTEST_SKIP() << "klik-ptpip-camera is not built (KLIK_NO_PTPIP_CAMERA=1)"; \
    } while (0)

}  // namespace klik::test
