// The launch sequence, the start-up warnings, the bring-to-front timers,
// termination, relaunch and the companion application, on a virtual clock.

#include <unistd.h>
#include <algorithm>

#include "ControllerFixture.h"
#include "FakeApplication.h"
#include "app/RelaunchRequest.h"
#include "log/Log.h"

namespace klik::test {
namespace {

class LaunchTest : public ControllerFixture {
  protected:
    LaunchTest() : app(ui.calls) {
        GLIMRA_Log::resetForTesting();
        GLIMRA_Log::setRedirectsStdErr(false);
        GLIMRA_Log::setLogFile(dir.file("kiosk.log"));
        settings.setBool(key::prefSingleMonitorMode, true);
        wire();
    }
    ~LaunchTest() override { GLIMRA_Log::resetForTesting(); }
    void wire() {
        controller->setApplication(&app);
        controller->setLogFilePath(dir.file("kiosk.log"));
        Watchdog::Options quiet;
        quiet.sleepOneSecond = [] { return false; };  // the watchdog ends at once
        controller->setWatchdogOptions(quiet);
    }
    void launch() {
        controller->startup();
        controller->awakeFromNib();
        controller->applicationWillFinishLaunching();
        controller->applicationDidFinishLaunching();
    }
    size_t indexOf(const std::string& call) const {
        auto it = std::find(ui.calls.begin(), ui.calls.end(), call);
        return it == ui.calls.end() ? std::string::npos
                                    : static_cast<size_t>(it - ui.calls.begin());
    }
    std::string log() const { return readFile(dir.file("kiosk.log")); }
    // Virtual times at which the application was activated, up to `until`.
    std::vector<double> activationsUntil(double until) {
        std::vector<double> at;
        size_t seen = ui.count("app activate");
        while (loop.elapsed() < until && loop.advanceToNextTimer()) {
            for (size_t n = ui.count("app activate"); seen < n; ++seen)
                at.push_back(loop.elapsed());
        }
        return at;
    }

    FakeApplication app;
};

TEST_F(LaunchTest, LaunchGoesFullScreenWithUpdatesHeldThenEntersScreenOne) {
    settings.setInteger(key::prefKeyForShowPrintDialogModeIndex, 0);
    controller->startup();
    controller->awakeFromNib();
    EXPECT_EQ(web.startWebViews, 1);
    controller->applicationWillFinishLaunching();
    controller->applicationDidFinishLaunching();
    const size_t off = indexOf("disableScreenUpdates");
    const size_t full = indexOf("app toggleFullScreen");
    const size_t screen1 = indexOf("screen 1");
    ASSERT_NE(off, std::string::npos);
    ASSERT_NE(full, std::string::npos);
    ASSERT_NE(screen1, std::string::npos);
    EXPECT_LT(off, full);
    EXPECT_LT(full, screen1);
    // Every update hold of the launch is released again.
    EXPECT_EQ(ui.depth, 0);
    EXPECT_EQ(screen(), 1u);
    EXPECT_TRUE(app.isFullScreen());
    EXPECT_EQ(photos.folderSetups, 1);
    EXPECT_EQ(settings.integerForKey(key::prefKeyForShowPrintDialogModeIndex), 1);
    EXPECT_EQ(settings.stringForKey(key::prefAppName).value_or(""), "klik-kiosk");
    EXPECT_EQ(settings.stringForKey(key::prefQuitAppName).value_or(""), "Quit klik-kiosk");
    EXPECT_EQ(settings.stringForKey(key::prefAboutAppName).value_or(""), "About klik-kiosk");
    const std::string text = log();
    EXPECT_NE(text.find("Inside startup..."), std::string::npos);
    EXPECT_LT(text.find("Inside startup..."), text.find("awake from NIB!"));
    // The movie view is asked for once; the log says whether it came up.
    EXPECT_EQ(overlays.movieViewRequests, 1);
    EXPECT_NE(text.find("UNABLE to create MovieViewcontroller"), std::string::npos);
    EXPECT_EQ(text.find("ADDED movieViewController view..."), std::string::npos);
    // A second awakeFromNib does nothing.
    controller->awakeFromNib();
    EXPECT_EQ(ui.count("app toggleFullScreen"), 1u);
    EXPECT_EQ(overlays.movieViewRequests, 1);

    makeController();
    wire();
    overlays.movieViewShown = true;
    launch();
    EXPECT_EQ(overlays.movieViewRequests, 2);
    EXPECT_NE(log().find("ADDED movieViewController view..."), std::string::npos);
}

TEST_F(LaunchTest,
       MissingFoldersWarnTwiceOpenThePreferencesAndKeepTheWebPageHiddenAsASheetsFirstButtonDoes) {
    photos.foldersValid = false;
    photos.missing = {"upload folder [/x/up]: not a folder"};
    controller->startup();
    controller->awakeFromNib();
    EXPECT_EQ(ui.count("alert WARNING! - UNABLE To FIND/Mount all the Needed Folders!!!!"), 2u);
    EXPECT_EQ(ui.count("panel Missing folders:\nupload folder [/x/up]: not a folder"), 2u);
    EXPECT_EQ(web.startWebViews, 0);
    EXPECT_TRUE(web.hidden);
    controller->applicationWillFinishLaunching();
    controller->applicationDidFinishLaunching();
    EXPECT_EQ(ui.count("makeKeyAndOrderFront preferences"), 0u);
    loop.advance(0.5);
    EXPECT_EQ(ui.count("makeKeyAndOrderFront preferences"), 2u);
    // The kiosk still runs its screens.
    EXPECT_EQ(screen(), 1u);
    controller->closePref();
    EXPECT_FALSE(web.hidden);
    EXPECT_EQ(ui.count("orderOut preferences"), 1u);
    // The first button of a sheet opens the preferences on the next turn.
    controller->alertSheetDidEnd(1001);
    controller->alertSheetDidEnd(1000);
    EXPECT_EQ(ui.count("makeKeyAndOrderFront preferences"), 2u);
    loop.runPending();
    EXPECT_EQ(ui.count("makeKeyAndOrderFront preferences"), 3u);
    EXPECT_TRUE(web.hidden);
}

TEST_F(LaunchTest, OneScreenOutsideSingleMonitorModeWarnsAndTheAnswerDecides) {
    settings.setBool(key::prefSingleMonitorMode, false);
    ui.attachedScreens = 1;
    ui.alertAnswers = {1};  // "Quit"
    launch();
    EXPECT_EQ(ui.count("alert WARNING! - You need at least 2 monitors."), 1u);
    EXPECT_EQ(ui.count("app terminate"), 1u);

    // "Open Prefs..." brings the preferences after half a second.
    makeController();
    wire();
    ui.clear();
    ui.alertAnswers = {2};
    launch();
    EXPECT_EQ(ui.count("app terminate"), 0u);
    loop.advance(0.5);
    EXPECT_EQ(ui.count("makeKeyAndOrderFront preferences"), 1u);

    // "Continue": one screen for both sides, the touch side in front.
    makeController();
    wire();
    ui.clear();
    ui.alertAnswers = {0};
    launch();
    EXPECT_EQ(ui.count("app terminate"), 0u);
    const auto alertAt = std::find(ui.calls.begin(), ui.calls.end(),
                                   "alert WARNING! - You need at least 2 monitors.");
    ASSERT_NE(alertAt, ui.calls.end());
    ASSERT_NE(std::next(alertAt), ui.calls.end());
    EXPECT_EQ(*std::next(alertAt), "orderFront touch");

    // Two screens: no warning.
    makeController();
    wire();
    ui.clear();
    ui.attachedScreens = 2;
    launch();
    EXPECT_EQ(ui.count("alert WARNING! - You need at least 2 monitors."), 0u);
}

TEST_F(LaunchTest, TheInputTypeIsCheckedAndTakenFromTheWebActionTableAtLaunch) {
    settings.setInteger(key::prefCameraInputTypeTag, 7);
    launch();
    EXPECT_EQ(settings.integerForKey(key::prefCameraInputTypeTag), 1);
    EXPECT_NE(log().find("2010-11-19orlo forcing cameraTypeTag = [7]"), std::string::npos);
    EXPECT_FALSE(controller->isVideoInput());

    makeController();
    wire();
    controller->setVideoRecorder(&recorder);
    settings.setInteger(key::prefCameraInputTypeTag, 2);
    launch();
    EXPECT_TRUE(controller->isVideoInput());
    EXPECT_EQ(recorder.sessionStarts, 1);

    // Web mode takes the input and the station from the action table.
    makeController();
    wire();
    settings.setInteger(key::prefCameraInputTypeTag, 1);
    settings.setBool(key::prefDoUseWebView, true);
    settings.setString(key::prefBaseURL, "http://kiosk.local");
    settings.setObject(key::prefWebViewFuseActions,
                       Value(Dictionary{{"cameraMain", Value("booth.html?F=Video")}}));
    controller->setVideoRecorder(&recorder);
    launch();
    EXPECT_EQ(settings.integerForKey(key::prefCameraInputTypeTag), 2);
    EXPECT_EQ(settings.stringForKey(key::prefKioskStationName).value_or(""), "video");
    EXPECT_EQ(settings.stringForKey(key::prefHomeAddress).value_or(""),
              "http://kiosk.local/booth.html?F=Video");
    EXPECT_TRUE(doNewWebViewMethod);
    doNewWebViewMethod = false;
}

TEST_F(LaunchTest, AMissingCameraIsReportedTwoSecondsAfterLaunchAnOpeningOneAfterTwenty) {
    // The camera-gone handling tells the guest there is no camera.
    const auto gone = [&] {
        return ui.count("panel NO Camera Found!!!\nPlease Check Your Connection!");
    };
    camera.connected = false;
    launch();
    size_t beepsAtLaunch = ui.count("beep");
    loop.advance(1.9);
    EXPECT_EQ(gone(), 0u);
    loop.advance(0.2);
    loop.runPending();
    EXPECT_EQ(gone(), 1u);
    // Two beeps of the check itself; the camera-gone handling may add its own.
    EXPECT_GE(ui.count("beep"), beepsAtLaunch + 2);

    // With a camera nothing happens.
    makeController();
    wire();
    ui.clear();
    camera.connected = true;
    launch();
    loop.advance(3);
    loop.runPending();
    EXPECT_EQ(gone(), 0u);

    // A camera still opening is waited for quietly; it opens ten seconds
    // after the launch: nothing was ever said.
    makeController();
    wire();
    ui.clear();
    camera.connected = false;
    camera.opening = true;
    launch();
    beepsAtLaunch = ui.count("beep");
    loop.advance(2.1);
    loop.runPending();
    loop.advance(7.9);
    loop.runPending();
    EXPECT_EQ(gone(), 0u);
    EXPECT_EQ(ui.count("beep"), beepsAtLaunch);
    camera.connected = true;
    loop.advance(30);
    loop.runPending();
    EXPECT_EQ(gone(), 0u);
    EXPECT_EQ(ui.count("beep"), beepsAtLaunch);

    // One that has not opened twenty seconds after the launch counts as
    // none, said once.
    makeController();
    wire();
    camera.connected = false;
    launch();
    loop.advance(19.9);
    loop.runPending();
    EXPECT_EQ(gone(), 0u);
    loop.advance(0.2);
    loop.runPending();
    EXPECT_EQ(gone(), 1u);
    loop.advance(60);
    loop.runPending();
    EXPECT_EQ(gone(), 1u);
}

TEST_F(LaunchTest, TheKioskComesToTheFrontAfterOneAndAHalfAndFiveSecondsAndWhenForced) {
    launch();
    const auto at = activationsUntil(6);
    ASSERT_GE(at.size(), 2u);
    EXPECT_DOUBLE_EQ(at[0], 1.5);
    EXPECT_DOUBLE_EQ(at[1], 5.0);
    // No delay or a negative one waits five seconds.
    for (double d : {0.0, -2.0}) {
        const double start = loop.elapsed();
        ui.clear();
        controller->setupAutoBringToFront(d);
        const auto at = activationsUntil(start + 6);
        ASSERT_EQ(at.size(), 1u) << d;
        EXPECT_DOUBLE_EQ(at[0] - start, 5.0) << d;
    }
    // Losing the front comes back after a moment only when forced.
    ui.clear();
    controller->applicationDidResignActive();
    loop.advance(10);
    EXPECT_EQ(ui.count("app activate"), 0u);
    settings.setBool(key::prefForceAppToFront, true);
    controller->applicationDidResignActive();
    loop.advance(0.29);
    EXPECT_EQ(ui.count("app activate"), 0u);
    loop.advance(0.02);
    EXPECT_EQ(ui.count("app activate"), 1u);
}

TEST_F(LaunchTest, QuittingWhileAClipIsComposedAsksFirst) {
    EXPECT_TRUE(controller->applicationShouldTerminate());
    EXPECT_EQ(ui.count("alert WARNING - Cannot Terminate App..."), 0u);
    VideoProcessingScope composing;
    ui.alertAnswers = {0, 1};
    EXPECT_FALSE(controller->applicationShouldTerminate());  // "OK" waits for the clip
    EXPECT_TRUE(controller->applicationShouldTerminate());   // "Terminate NOW..."
    EXPECT_EQ(ui.count("alert WARNING - Cannot Terminate App..."), 2u);
    EXPECT_NE(log().find("userEntered: 1"), std::string::npos);
}

TEST_F(LaunchTest, RelaunchStartsTheHelperAndQuitsOnlyWhenItStartedAndMayQuit) {
    // No path, or a helper that does not start: the kiosk keeps running.
    EXPECT_FALSE(controller->relaunch(Dictionary{{kLSLaunchFlags, Value(std::int64_t{1})}}));
    EXPECT_TRUE(app.launches.empty());
    EXPECT_NE(log().find("No key = [pathOfAppToLaunch] not specified.."), std::string::npos);
    app.launchSucceeds = false;
    EXPECT_FALSE(controller->relaunch(std::nullopt));
    EXPECT_EQ(ui.count("app terminate"), 0u);
    app.launchSucceeds = true;

    // A request that keeps the caller passes pid 0 whatever the flag says.
    for (bool keep : {false, true}) {
        app.launches.clear();
        ui.clear();
        EXPECT_TRUE(controller->relaunch(Dictionary{{kPathOfAppToLaunch, Value("/usr/bin/other")},
                                                    {kLSLaunchFlags, Value(std::int64_t{42})},
                                                    {kTerminateSelf, Value(keep)}}));
        ASSERT_EQ(app.launches.size(), 1u);
        EXPECT_EQ(app.launches[0].args, (std::vector<std::string>{"/usr/bin/other", "0", "42"}));
        EXPECT_EQ(ui.count("app terminate"), 0u);
    }

    // The kiosk's own relaunch: path, pid and flags, then it quits.
    app.launches.clear();
    ui.clear();
    EXPECT_TRUE(controller->relaunch(std::nullopt));
    ASSERT_EQ(app.launches.size(), 1u);
    EXPECT_EQ(app.launches[0].program, "/opt/klik/bin/klik-relaunch");
    EXPECT_EQ(app.launches[0].args, (std::vector<std::string>{"/opt/klik/bin/klik-kiosk",
                                                              std::to_string(getpid()), "1"}));
    EXPECT_EQ(ui.count("app terminate"), 1u);
    EXPECT_LT(indexOf("app launch /opt/klik/bin/klik-relaunch"), indexOf("app terminate"));
}

TEST_F(LaunchTest, TheCompanionStartsHiddenBesideTheKioskAndOnlyByName) {
    EXPECT_FALSE(controller->launchChildProcess1());  // none set
    settings.setString(key::prefChildProcess1Name, "");
    EXPECT_FALSE(controller->launchChildProcess1());
    settings.setString(key::prefChildProcess1Name, "../../bin/sh");
    EXPECT_FALSE(controller->launchChildProcess1());
    EXPECT_TRUE(app.launches.empty());

    settings.setString(key::prefChildProcess1Name, "klik-slideshow");
    EXPECT_TRUE(controller->launchChildProcess1());
    ASSERT_EQ(app.launches.size(), 1u);
    EXPECT_EQ(app.launches[0].args,
              (std::vector<std::string>{"/opt/klik/bin/klik-slideshow", "0",
                                        std::to_string(kCompanionLaunchFlags)}));
    EXPECT_EQ(ui.count("app terminate"), 0u);
}

}  // namespace
}  // namespace klik::test
