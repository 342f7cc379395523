// The life of the kiosk process: the launch sequence in the order the
// application runs it, the start-up warnings, the watchdog, the timers that
// bring the kiosk back to the front, termination, relaunch and the
// companion application, and the preferences window's opening and closing.

#include <unistd.h>

#include <algorithm>

#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "app/RelaunchRequest.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"
#include "log/LogPaths.h"
#include "log/StringUtils.h"

namespace klik {

namespace {

const KioskAlert kFolderWarning{
    "WARNING! - UNABLE To FIND/Mount all the Needed Folders!!!!",
    "Please Make sure the server is up and running.\nOR\nRe-select the Folders - PLEASE CALL "
    "Ardvane TechSupport...",
    {"Open Prefs..."}};

const KioskAlert kTwoMonitorWarning{
    "WARNING! - You need at least 2 monitors.",
    "Please connect up your second monitor.\rOtherwise this app may not work properly.",
    {"Continue", "Quit", "Open Prefs..."}};

const KioskAlert kTerminationWarning{
    "WARNING - Cannot Terminate App...",
    "Waiting for the a Video to be Processed...\nTerminate NOW will delete video file...",
    {"OK", "Terminate NOW..."}};

bool containsNoCase(const std::string& haystack, const std::string& needle) {
    return asciiLowercased(haystack).find(asciiLowercased(needle)) != std::string::npos;
}

}  // namespace

std::string AppController::defaultLogFilePath() {
    return klik::defaultLogFilePath();
}

// ---- Launch sequence -----------------------------------------------------------

void AppController::startup() {
    GLIMRA_Log::debug("Inside startup...");
    const std::string logFile = _logFilePath.empty() ? defaultLogFilePath() : _logFilePath;
    if (!GLIMRA_Log::setLogFile(logFile))
        GLIMRA_Log::errf("could not open the log file [%s]", logFile.c_str());
    GLIMRA_Log::debug(GLIMRA_Log::startupInfo());

    _watchdog = std::make_unique<Watchdog>(env_.runLoop, _watchdogOptions);
    _watchdog->start();

    _emails.clear();
    if (_screenTimer) _screenTimer->invalidate();
    _screenTimer.reset();
    if (_floaterTimer) _floaterTimer->invalidate();
    _floaterTimer.reset();
    GLIMRA_Log::debugf("initial HUD alpha = %.2f", 0.0);

    if (!validateFolders()) {
        if (_webViewWindowController) _webViewWindowController->hideWebView(true);
        GLIMRA_Log::err("startup: not all the needed folders were found");
        showFolderWarning();
    }
    if (_photoPipeline) _photoPipeline->initFolderGlobalsAtLaunch();

    _recordingEndTimer.reset();
    _isLiveView = false;
}

void AppController::awakeFromNib() {
    if (_awoken) return;
    _awoken = true;

    doNewWebViewMethod = env_.settings.boolForKey(key::prefDoUseWebView);
    if (doNewWebViewMethod) applyWebViewFuseActions();
    if (env_.settings.boolForKey(key::prefSingleMonitorMode)) forceSingleMonitor = true;

    const bool foldersOk = validateFolders();

    if (env_.settings.integerForKey(key::prefKeyForShowPrintDialogModeIndex) == 0) {
        env_.settings.setInteger(key::prefKeyForShowPrintDialogModeIndex, 1);
        env_.settings.synchronize();
    }

    // The views' starting state was set when the controller was made; the
    // launch starts on the camera input, moved into place like any switch.
    if (_currentInputView != &_EVFView) setInputType(kInputTagCamera);
    // The take-photo key is the space bar, whatever the interface file had.
    const std::string oldKey = _takePhotoButton.keyEquivalent();
    _takePhotoButton.setKeyEquivalent(" ");
    GLIMRA_Log::debugf("take photo key equivalent [%s] -> [%s]", oldKey.c_str(),
                       _takePhotoButton.keyEquivalent().c_str());

    // Enabled again when the launch finishes, so the first screen appears
    // whole.
    env_.ui.disableScreenUpdates();
    _screenUpdatesHeldForLaunch = true;
    if (_application) _application->toggleFullScreen();
    resizeLiveViewToFit();
    GLIMRA_Log::debug("awake from NIB!");

    _progress.setDoubleValue(0);

    // The input: 1 camera, 2 video; anything else is stored as 1.
    const auto tag =
        static_cast<std::int16_t>(env_.settings.integerForKey(key::prefCameraInputTypeTag));
    if (tag != 1 && tag != 2) {
        env_.settings.setInteger(key::prefCameraInputTypeTag, 1);
        GLIMRA_Log::debugf("2010-11-19orlo forcing cameraTypeTag = [%i]", static_cast<int>(tag));
    } else {
        GLIMRA_Log::debugf("2010-11-19orlo cameraTypeTag = [%i]", static_cast<int>(tag));
    }
    if (tag == 2) {
        setInputType(2);
        if (_videoRecorder) _videoRecorder->startSession();
    } else {
        std::string list = "(";
        if (auto cams = _camera->cameras())
            for (size_t i = 0; i < cams->size(); ++i)
                list += (i ? ", " : "") + (*cams)[i].description;
        GLIMRA_Log::debugf("cameras = %s)", list.c_str());
    }

    _floaterDisplayTime = 3;

    if (env_.settings.boolForKey(key::prefSingleMonitorMode)) {
        forceSingleMonitor = true;
    } else if (env_.ui.screenCount() < 2) {
        showTwoMonitorWarning();
    }

    if (foldersOk) {
        GLIMRA_Log::debug("awakeFromNib: all folders found, starting the web page");
        if (_webViewWindowController) _webViewWindowController->startWebView();
    } else {
        if (_webViewWindowController) _webViewWindowController->hideWebView(true);
        GLIMRA_Log::err("awakeFromNib: not all the needed folders were found");
        showFolderWarning();
    }
    doDisplayMovieView();
}

void AppController::applicationWillFinishLaunching() {
    if (_screenUpdatesHeldForLaunch) {
        _screenUpdatesHeldForLaunch = false;
        env_.ui.enableScreenUpdates();
    }
    startOver();
}

void AppController::applicationDidFinishLaunching() {
    const std::string path = _application ? _application->bundlePath() : std::string();
    const std::string name = _application ? _application->bundleName() : std::string("klik-kiosk");
    GLIMRA_Log::debugf("Inside %s => %s... bundlePath = %s", "AppController",
                       "applicationDidFinishLaunching", path.c_str());
    env_.settings.setString(key::prefAppName, name);
    env_.settings.setString(key::prefAboutAppName, "About " + name);
    env_.settings.setString(key::prefQuitAppName, "Quit " + name);

    _launchedAt = loopSeconds();
    TimerPtr check = env_.runLoop.scheduleTimer(2, false, [this](Timer&) { timerToCheckCamera(); });
    _pending.push_back(check);

    // The full-screen switch has already ordered the normal windows out; the
    // windows named here now stand for the full-screen ones, so nothing is
    // ordered out again.
    if (_application && _application->isFullScreen())
        GLIMRA_Log::debug("applicationDidFinishLaunching: running full screen");

    validateFolders();
    setupAutoBringToFront(1.5);
    setupAutoBringToFront(5);
}

void AppController::timerToCheckCamera() {
    if (_currentInputView != &_EVFView) return;
    if (_camera->hasCamera()) return;
    if (_camera->isOpeningCamera()) {
        // A real body takes its time to open: no alarm while it does, but
        // not for ever.
        const double waited = loopSeconds() - _launchedAt;
        if (waited + 1 <= kCameraOpeningBound) {
            GLIMRA_Log::debugf("launch: a camera is still opening after %.0f s; checking again",
                               waited);
            _pending.push_back(
                env_.runLoop.scheduleTimer(1, false, [this](Timer&) { timerToCheckCamera(); }));
            return;
        }
        GLIMRA_Log::errf("launch: no camera finished opening within %.0f s of the launch",
                         kCameraOpeningBound);
    }
    env_.ui.beep();
    // Handled as a camera that went, after this beep and the next.
    performOnMainLater([this] { cameraDisappeared(std::nullopt); });
    env_.ui.beep();
}

bool AppController::validateFolders() {
    return _photoPipeline ? _photoPipeline->validateAllFolders() : true;
}

void AppController::applyWebViewFuseActions() {
    auto table = env_.settings.dictionaryForKey(key::prefWebViewFuseActions);
    if (!table) return;
    const Value& main = (*table)["cameraMain"];
    const std::string entry = main.stringOr();
    if (entry.empty()) return;
    if (containsNoCase(entry, "f=still")) {
        env_.settings.setInteger(key::prefCameraInputTypeTag, 1);
        env_.settings.setString(key::prefKioskStationName, "still");
    } else if (containsNoCase(entry, "f=vid")) {
        env_.settings.setInteger(key::prefCameraInputTypeTag, 2);
        env_.settings.setString(key::prefKioskStationName, "video");
    }
    const std::string base = env_.settings.stringForKey(key::prefBaseURL).value_or("");
    env_.settings.setString(key::prefHomeAddress, base + "/" + entry);
}

void AppController::doDisplayMovieView() {
    if (_overlayScreens && _overlayScreens->displayMovieView())
        GLIMRA_Log::debug("2011-03-02orlo ADDED movieViewController view...");
    else
        GLIMRA_Log::debug("2011-03-02orlo UNABLE to create MovieViewcontroller");
}

// ---- Warnings ------------------------------------------------------------------

void AppController::showFolderWarning() {
    if (_application) _application->activateIgnoringOtherApps();
    // The alert's text is fixed; the panel names what is missing.
    if (_photoPipeline) {
        std::string names;
        for (const std::string& m : _photoPipeline->missingFolders()) names += "\n" + m;
        if (!names.empty()) floatingAlertWithString("Missing folders:" + names);
    }
    env_.ui.runAlert(kFolderWarning);
    performAfterDelay(0.5, [this] { openPref(); });
}

void AppController::showTwoMonitorWarning() {
    if (_application) _application->activateIgnoringOtherApps();
    switch (env_.ui.runAlert(kTwoMonitorWarning)) {
        case 0:
            // One screen carries both sides: the guest's touch side goes in
            // front (the switch to full screen left the live side on top).
            forceSingleMonitor = true;
            env_.ui.orderFront(KioskWindow::Touch);
            break;
        case 1:
            if (_application) _application->terminate();
            break;
        case 2:
            performAfterDelay(0.5,
                              [this] { env_.ui.makeKeyAndOrderFront(KioskWindow::Preferences); });
            break;
        default:
            break;
    }
}

// ---- Front, termination --------------------------------------------------------

void AppController::setupAutoBringToFront(double seconds) {
    GLIMRA_Log::debugf("setupAutoBringToFront: %.2f", seconds);
    if (!(seconds > 0)) seconds = 5;
    GLIMRA_Log::debugf("Inside %s => %s...Application Will Come Activate in %5.2f seconds...",
                       "AppController", "setupAutoBringToFront:", seconds);
    _pending.push_back(env_.runLoop.scheduleTimer(
        seconds, false, [this](Timer& t) { autoBringToFrontTimerFired(t); }));
}

void AppController::autoBringToFrontTimerFired(Timer& timer) {
    GLIMRA_Log::debug("****************************************");
    GLIMRA_Log::debugf("Inside %s => %s...withTimer = [%p]", "AppController",
                       "autoBringToFrontTimerFired:", static_cast<void*>(&timer));
    GLIMRA_Log::debug("****************************************");
    timer.invalidate();
    if (_application) _application->activateIgnoringOtherApps();
}

void AppController::applicationDidResignActive() {
    if (!env_.settings.boolForKey(key::prefForceAppToFront)) return;
    GLIMRA_Log::debugf("%s->%s... Will Force App to Front...", "AppController",
                       "applicationDidResignActive:");
    setupAutoBringToFront(0.3);
}

bool AppController::applicationShouldTerminate() {
    if (!gIsProcessingVideo) return true;
    const int answer = env_.ui.runAlert(kTerminationWarning);
    GLIMRA_Log::debugf("%s->%s...userEntered: %i", "AppController",
                       "applicationShouldTerminate:", answer);
    return answer == 1;
}

// ---- Relaunch and the companion ------------------------------------------------

bool AppController::relaunch(const std::optional<Dictionary>& request) {
    if (!_application) {
        GLIMRA_Log::err("relaunch: no application to relaunch");
        return false;
    }
    auto cmd = planRelaunch(request, _application->bundlePath(), _application->relaunchProgram(),
                            static_cast<long>(getpid()));
    if (!cmd) return false;
    if (!_application->launch(cmd->program, cmd->args)) return false;
    if (cmd->terminateCaller) _application->terminate();
    return true;
}

void AppController::relaunchApp() {
    relaunch(std::nullopt);
}

bool AppController::launchChildProcess1() {
    const std::string name = env_.settings.stringForKey(key::prefChildProcess1Name).value_or("");
    if (name.empty() || !_application) return false;
    // A name, not a path: the companion lives beside the kiosk.
    if (name.find('/') != std::string::npos || name == "." || name == "..") {
        GLIMRA_Log::errf("launchChildProcess1: [%s] is not a file name beside the kiosk",
                         name.c_str());
        return false;
    }
    return relaunch(companionRequest(_application->bundleFolder(), name));
}

// ---- Preferences window --------------------------------------------------------

void AppController::openPref() {
    if (_webViewWindowController) _webViewWindowController->hideWebView(true);
    env_.ui.makeKeyAndOrderFront(KioskWindow::Preferences);
}

void AppController::closePref() {
    env_.ui.orderOut(KioskWindow::Preferences);
    if (_webViewWindowController) _webViewWindowController->hideWebView(false);
}

void AppController::alertSheetDidEnd(int returnCode) {
    if (returnCode == 1000) performOnMainLater([this] { openPref(); });
}

// ---- Watchdog ------------------------------------------------------------------

void AppController::updateWatchdogCounter() {
    if (_watchdog) _watchdog->updateWatchdogCounter();
}

std::uint32_t AppController::watchdogCount() const {
    return _watchdog ? _watchdog->watchdogCount() : 0;
}

}  // namespace klik
