#pragma once
// The kiosk web page on the real engine against a private klik-webserver:
// web mode on, the page's start, done and error actions set. A machine
// where the engine cannot load a page skips the test.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "WebEngineProbe.h"
#include "WebServerProcess.h"
#include "app/SettingsKeys.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"
#include "ui/web/WebViewWindowController.h"
#include "ui/windows/QtRunLoop.h"

namespace klik::test {

class WebPageFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!engineUnavailableReason().empty()) GTEST_SKIP() << engineUnavailableReason();
        RunLoop::setMain(&loop);
        settings.setBool(key::prefDoUseWebView, true);
        settings.setObject(key::prefWebViewFuseActions,
                           Value(Dictionary{{"cameraMain", "start"},
                                            {"cameraDone", "done"},
                                            {"cameraError", "error?sittingid=%@"}}));
    }
    void TearDown() override {
        web.reset();
        RunLoop::setMain(nullptr);
    }
    // Starts the server with `args` and points the settings at it.
    void startServer(const std::vector<std::string>& args) {
        std::string error;
        ASSERT_TRUE(server.start(dir.file("server.log"), args, &error)) << error;
        settings.setString(key::prefBaseURL, server.base());
    }
    size_t hits(const std::string& needle) const { return server.logLines(needle).size(); }

    TempDir dir;
    Settings settings{dir.file("settings.plist")};
    QtRunLoop loop;
    NotificationCenter center;
    WebServerProcess server;
    std::unique_ptr<WebViewWindowController> web;
};

}  // namespace klik::test
