// klikctl spine --scripted: one guest's turn through the seven screens,
// headless, in virtual time, on a camera that takes its pictures at once.
// It shows the screen sequence and its timings without a display or a
// camera: every screen change, countdown number, shot and notice is printed
// with the virtual time at which it happens.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/AppController.h"
#include "app/PrintingKioskUi.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "log/LogPaths.h"
#include "tools/Command.h"

namespace klik::tools {

namespace {

const Command& spineCommand();

// The camera of the script: connected, and each shot "arrives" a moment
// later as a photo in the camera live view.
class ScriptedCamera : public CameraPort {
  public:
    ScriptedCamera(PrintingKioskUi& ui, RunLoop& loop) : ui_(ui), loop_(loop) {}
    void attach(AppController* c) { controller_ = c; }

    bool hasCamera() const override { return true; }
    void takePicture() override {
        const int n = ++shots_;
        ui_.say("  camera: shutter released (shot " + std::to_string(n) + ")");
        loop_.performAfterDelay(1.5, [this, n] {
            if (!controller_) return;
            const std::string name = "photo_" + std::to_string(n) + ".jpg";
            controller_->_EVFView.setImage(Picture::fromFile(name, name));
            ui_.say("  camera: " + name + " downloaded and shown in the live view");
            controller_->keepPhotoFromKeyBoard();
        });
    }
    void liveViewOn() override { ui_.say("  camera: live view on"); }
    void liveViewOff() override { ui_.say("  camera: live view off"); }

  private:
    PrintingKioskUi& ui_;
    RunLoop& loop_;
    AppController* controller_ = nullptr;
    int shots_ = 0;
};

// The video camera of the script: records nothing, says what it would do.
class ScriptedRecorder : public VideoRecorderPort {
  public:
    explicit ScriptedRecorder(PrintingKioskUi& ui) : ui_(ui) {}
    void startSession() override { ui_.say("  video: capture session on"); }
    void stopSession() override {
        recording_ = false;
        ui_.say("  video: capture session off");
    }
    bool startRecording(const std::string& path) override {
        recording_ = true;
        ui_.say("  video: recording into " + path);
        return true;
    }
    void stopRecording() override {
        if (!recording_) return;
        recording_ = false;
        ui_.say("  video: recording ended (its length is up)");
    }
    bool isRecording() const override { return recording_; }
    void setupRecordingTimer() override { ui_.say("  video: recording clock shown"); }
    void tearDownRecordingTimer() override {}

  private:
    PrintingKioskUi& ui_;
    bool recording_ = false;
};

// Every per-screen picture exists, so each screen shows its own artwork.
class ScriptedArtwork : public ArtworkPort {
  public:
    PicturePtr imageNamed(const std::string& name) const override {
        if (name == "live_flash") return nullptr;
        return Picture::fromFile(name, name + ".png");
    }
};

class ScriptedOverlays : public OverlayScreensPort {
  public:
    explicit ScriptedOverlays(PrintingKioskUi& ui) : ui_(ui) {}
    std::optional<int> runModal(OverlayScreen s) override {
        ui_.say(std::string("  overlay \"") + overlayInterfaceName(s) +
                "\" shown; the guest accepts");
        return kOverlayGoOn;
    }

  private:
    PrintingKioskUi& ui_;
};

class ScriptedPhotos : public PhotoPipelinePort {
  public:
    explicit ScriptedPhotos(PrintingKioskUi& ui) : ui_(ui) {}
    bool postProcessNewPhoto() override {
        ui_.say("  photo: kept (handed to post-processing)");
        return true;
    }
    void printCurrentPictureWithPrompt() override { ui_.say("  photo: sent to the printer"); }

  private:
    PrintingKioskUi& ui_;
};

std::string describeScreen(std::uint32_t n, bool video) {
    const std::string art =
        n >= 1 && n <= 7 ? "(touch" + std::to_string(n) + "/live" + std::to_string(n) + ")" : "";
    switch (n) {
        case 1:
            return art + "  idle and entry";
        case 2:
            return art + "  lead-in";
        case 3:
            return art + "  touch countdown (one second in single-monitor mode)";
        case 4:
            return art + "  live countdown";
        case 5:
            return art + (video ? "  recording" : "  capture lead-in");
        case 6:
            return art + (video ? "  capture (video rests here)" : "  capture");
        case 7:
            return art + "  review";
        default:
            return "  (between sessions)";
    }
}

// A settings file of the script's own, removed afterwards.
struct TempSettings {
    std::string dir;
    ~TempSettings() {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
};

void writeScriptSettings(Settings& s, const std::string& dir, bool video) {
    s.setBool(key::prefShowLegalese, true);
    s.setBool(key::prefDoCountdownInSngleMonitorMode, true);
    s.setBool(key::prefAmbassadorOperated, false);
    s.setInteger(key::liveScreenCountValue, 5);
    s.setInteger(key::prefDelayScreen2, 3);
    s.setInteger(key::prefConfettiDelay, 2);
    s.setInteger(key::prefCameraInputTypeTag, video ? kInputTagVideo : kInputTagCamera);
    s.setDouble(key::prefMaxRecordingLengthInSeconds, 8);
    s.setInteger(key::prefEndOfRecordingWarningInSeconds, 5);
    s.setString(key::scratchFolder, dir + "/CameraScratchFolder");
}

int runSpine(const Args& args) {
    bool scripted = false;
    bool video = false;
    bool verbose = false;
    for (const auto& a : args) {
        if (a == "--scripted")
            scripted = true;
        else if (a == "--video")
            video = true;
        else if (a == "--verbose")
            verbose = true;
        else
            return usageError(spineCommand(), "unknown argument " + a);
    }
    if (!scripted)
        return usageError(spineCommand(), "only the scripted session exists (give --scripted)");

    // The log goes where the kiosk's would (under --root / KLIK_ROOT); the
    // tool's own standard error stays on the terminal.
    GLIMRA_Log::setRedirectsStdErr(false);
    const std::string logPath = defaultLogFilePath();
    const bool logOpen = GLIMRA_Log::setLogFile(logPath);

    // The operator's settings are used only when named with --settings.
    TempSettings temp;
    std::unique_ptr<Settings> own;
    Settings* settings = &Settings::standard();
    const bool userChoseFile = settings->path() != Settings::defaultPath();
    if (!userChoseFile) {
        char pattern[] = "/tmp/klik-spine-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::cerr << "klikctl spine: cannot create a temporary folder\n";
            return 1;
        }
        temp.dir = pattern;
        own = std::make_unique<Settings>(temp.dir + "/settings.plist");
        settings = own.get();
        writeScriptSettings(*settings, temp.dir, video);
    }
    AppController::setupFactoryDefaults(*settings);
    if (userChoseFile)
        video = settings->integerForKey(key::prefCameraInputTypeTag) == kInputTagVideo;

    ManualRunLoop loop;
    RunLoop::setMain(&loop);
    NotificationCenter center;
    PrintingKioskUi ui(
        std::cout, [&loop] { return loop.elapsed(); }, verbose);
    ui.setScreenDescriber([video](std::uint32_t n) { return describeScreen(n, video); });

    ScriptedCamera camera(ui, loop);
    ScriptedRecorder recorder(ui);
    ScriptedArtwork artwork;
    ScriptedOverlays overlays(ui);
    ScriptedPhotos photos(ui);

    std::cout << "One scripted guest session, " << (video ? "video" : "camera")
              << " input, in virtual time.\nSettings: "
              << (userChoseFile ? settings->path() : std::string("the script's own (temporary)"))
              << "\n\n";

    int sessionEnds = 0;
    center.addObserver(kNotifictionPhotoSessionEnded, [&](const Notification&) {
        ++sessionEnds;
        ui.say("  notice \"notifictionPhotoSessionEnded\" posted (for the web page)");
    });

    {
        AppController controller({ui, loop, *settings, center});
        controller.setCamera(&camera);
        controller.setArtwork(&artwork);
        controller.setOverlayScreens(&overlays);
        controller.setPhotoPipeline(&photos);
        if (video) {
            controller.setVideoRecorder(&recorder);
            controller.setInputType(kInputTagVideo);
        }
        camera.attach(&controller);

        // The live countdown number as the guest sees it once a turn of the
        // loop is drawn.
        std::string lastShown;
        auto reportCountdown = [&] {
            const View& v = controller._liveCountdownField1;
            if (v.isHidden() || v.stringValue() == lastShown) return;
            lastShown = v.stringValue();
            ui.say("  live countdown shows " + lastShown);
        };

        TimerPtr lastTimer;
        auto reportTimer = [&] {
            const TimerPtr& t = controller.screenTimer();
            if (t && t != lastTimer && t->isValid())
                ui.say("  screen timer: " + std::to_string(controller.countdownValue()) + " s");
            lastTimer = t;
        };

        controller.startOver();
        bool reachedReview = false;
        bool videoRested = false;
        const double limit = 600;
        while (loop.elapsed() < limit) {
            reportCountdown();
            reportTimer();
            const std::uint32_t n = controller.screenNumber();
            if (n == 7) reachedReview = true;
            if (reachedReview && n == 1) break;
            if (n == 1 && !reachedReview && settings->boolForKey(key::prefShowLegalese)) {
                loop.advance(2);
                ui.say("guest touches the go button");
                controller.nextScreenWithLegalese();
                continue;
            }
            if (!loop.advanceToNextTimer()) {
                // Nothing scheduled: the kiosk waits to be moved from outside.
                loop.advance(2);
                if (n == 4) {
                    ui.say("photographer presses take photo");
                    controller.takePhotoFromKeyBoard();
                    loop.advance(3);
                } else if (n == 6 && video) {
                    videoRested = true;
                }
                ui.say("photographer starts over");
                controller.startOverFromKeyBoard();
                break;
            }
        }
        // Let the session's last notices arrive.
        loop.advance(3.5);
        camera.attach(nullptr);
        std::cout << "\nSession " << (reachedReview || videoRested ? "complete" : "stopped")
                  << " after " << loop.elapsed() << " s of virtual time; the kiosk is on screen "
                  << controller.screenNumber() << ", " << sessionEnds
                  << " end-of-session notice(s).\n";
    }
    std::cout << "Log: " << (logOpen ? logPath : std::string("(not writable: ") + logPath + ")")
              << "\n";
    RunLoop::setMain(nullptr);
    return 0;
}

const Command& spineCommand() {
    static const Command c{
        "spine", "run one scripted guest session through the seven screens (headless)",
        "usage: klikctl spine --scripted [--video] [--verbose]\n\n"
        "Runs one guest's turn through the kiosk's seven screens in virtual time\n"
        "on a camera that takes its pictures at once, printing every screen\n"
        "change, countdown number, shot and notice with the time it happens.\n"
        "--video      use the video input (a recording instead of a shot)\n"
        "--verbose    print window ordering too\n\n"
        "The script uses settings of its own, in a temporary file, unless a\n"
        "settings file is named with the global --settings FILE; it then runs\n"
        "with that file's values (and may stop early when they make the kiosk\n"
        "wait for a photographer). The log goes to the kiosk's log file under\n"
        "--root / KLIK_ROOT.",
        runSpine};
    return c;
}

}  // namespace

KLIK_COMMAND(spineCommand());

}  // namespace klik::tools
