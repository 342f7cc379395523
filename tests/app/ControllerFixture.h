#pragma once
// A controller on a virtual clock with recording fakes for every port and
// a settings file of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakeArtwork.h"
#include "FakeCamera.h"
#include "FakeOverlayScreens.h"
#include "FakePhotoPipeline.h"
#include "FakeVideoRecorder.h"
#include "FakeWebController.h"
#include "RecordingKioskUi.h"
#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "app/SettingsKeys.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"

namespace klik::test {

class ControllerFixture : public ::testing::Test {
  protected:
    ControllerFixture() : settings(dir.file("settings.plist")) {
        RunLoop::setMain(&loop);
        recorder.clock = [this] { return loop.elapsed(); };
        // A screen flow that waits on screen 1 and counts on the live side.
        settings.setBool(key::prefShowLegalese, true);
        settings.setBool(key::prefDoCountdownInSngleMonitorMode, true);
        settings.setInteger(key::liveScreenCountValue, 5);
        settings.setInteger(key::prefDelayScreen2, 3);
        settings.setInteger(key::prefConfettiDelay, 2);
        settings.setInteger(key::prefCameraInputTypeTag, 1);
        settings.setString(key::scratchFolder, dir.file("scratch"));
        makeController();
    }
    ~ControllerFixture() override {
        controller.reset();
        RunLoop::setMain(nullptr);
    }

    void makeController() {
        controller.reset();
        controller =
            std::make_unique<AppController>(AppController::Environment{ui, loop, settings, center});
        controller->setCamera(&camera);
        controller->setWebController(&web);
        controller->setOverlayScreens(&overlays);
        controller->setArtwork(&artwork);
        controller->setPhotoPipeline(&photos);
    }
    // Switches to video input.
    void useVideo() {
        controller->setVideoRecorder(&recorder);
        controller->setInputType(2);
        settings.setInteger(key::prefCameraInputTypeTag, 2);
    }
    // Records the notifications posted with `name`.
    std::vector<Notification>& watch(const std::string& name) {
        auto& list = posted[name];
        center.addObserver(name, [&list](const Notification& n) { list.push_back(n); });
        return list;
    }
    std::uint32_t screen() const { return controller->screenNumber(); }
    // From a start over to screen 3: the legal text accepted, screen 2
    // without its picture, nothing left pending from it.
    void reachScreen3() {
        controller->startOver();
        controller->nextScreenWithLegalese();
        loop.runPending();
        ASSERT_EQ(screen(), 3u);
    }
    // The camera delivers a photo, on a thread of its own as its event
    // thread does, while the main loop turns.
    void deliverPhoto(const std::string& name = "IMG_0001.JPG") {
        ASSERT_TRUE(loop.runAlongside([&] { camera.deliverPhoto(jpegLike(), name); }));
    }
    // Bytes the fake photo module takes for a JPEG.
    static Data jpegLike(size_t n = 64) {
        Data d(n, 0x11);
        d[0] = 0xFF;
        d[1] = 0xD8;
        return d;
    }
    // A guest scans `code` on screen 1.
    void scan(const std::string& code) {
        ASSERT_EQ(screen(), 1u);
        controller->_barcodeEntryField1.setStringValue(code);
        controller->ibBarcodeSendOnEnterAction(&controller->_barcodeEntryField1);
    }
    // Runs the flow on its own timers to screen `target`.
    void runTo(std::uint32_t target) {
        while (screen() != target) {
            const std::uint32_t before = screen();
            runToNextScreen(60);
            ASSERT_NE(screen(), before) << "the flow stopped on screen " << before;
        }
    }
    // Advances until the screen changes or `limit` seconds pass; returns the
    // virtual time spent.
    double runToNextScreen(double limit = 1000) {
        const std::uint32_t start = screen();
        const double t0 = loop.elapsed();
        while (screen() == start && loop.elapsed() - t0 < limit)
            if (!loop.advanceToNextTimer()) break;
        return loop.elapsed() - t0;
    }

    TempDir dir;
    Settings settings;
    ManualRunLoop loop;
    NotificationCenter center;
    RecordingKioskUi ui;
    FakeCamera camera;
    FakeVideoRecorder recorder;
    FakeWebController web;
    FakeOverlayScreens overlays;
    FakeArtwork artwork;
    FakePhotoPipeline photos;
    std::map<std::string, std::vector<Notification>> posted;
    std::unique_ptr<AppController> controller;
};

}  // namespace klik::test
