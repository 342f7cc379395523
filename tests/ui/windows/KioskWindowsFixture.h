#pragma once
// The kiosk's windows over a controller on a virtual clock, on the
// offscreen platform, with artwork the test chooses.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/AppController.h"
#include "app/ArtworkPort.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"
#include "ui/windows/KioskWindows.h"
#include "ui/windows/QtKioskUi.h"

namespace klik::test {

// Exactly the pictures it is given exist.
class MemoryArtwork : public ArtworkPort {
  public:
    PicturePtr imageNamed(const std::string& name) const override {
        auto it = pictures.find(name);
        return it == pictures.end() ? nullptr : it->second;
    }
    std::map<std::string, PicturePtr> pictures;
};

class KioskWindowsFixture : public ::testing::Test {
  protected:
    KioskWindowsFixture() : settings(dir.file("settings.plist")), ui(loop, settings) {
        RunLoop::setMain(&loop);
        settings.setBool("prefSingleMonitorMode", true);
        settings.setBool("prefAlwaysShowCursor", true);
    }
    ~KioskWindowsFixture() override {
        if (quitObserver) center.removeObserver(quitObserver);
        ui.attach(nullptr);
        windows.reset();
        app.reset();
        RunLoop::setMain(nullptr);
    }
    // Builds the controller and its windows (after the test chose artwork).
    void build() {
        app =
            std::make_unique<AppController>(AppController::Environment{ui, loop, settings, center});
        app->setArtwork(&artwork);
        windows = std::make_unique<KioskWindows>(*app, settings, loop, center, artwork);
        ui.attach(windows.get());
    }
    // From now on `quits` records the code of each quit command ("" without).
    void recordQuits() {
        quitObserver = center.addObserver(kKlikUserQuitCommand, [this](const Notification& n) {
            const std::string* s = n.userInfo ? n.userInfo->at("stringData").string() : nullptr;
            quits.push_back(s ? *s : "");
        });
    }

    TempDir dir;
    Settings settings;
    ManualRunLoop loop;
    NotificationCenter center;
    QtKioskUi ui;
    MemoryArtwork artwork;
    std::unique_ptr<AppController> app;
    std::unique_ptr<KioskWindows> windows;
    std::vector<std::string> quits;
    NotificationCenter::ObserverId quitObserver = 0;
};

}  // namespace klik::test
