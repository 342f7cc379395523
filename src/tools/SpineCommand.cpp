// klikctl spine --scripted: one guest's turn through the seven screens,
// headless, in virtual time, on the simulated camera. It shows the screen
// sequence and its timings without a display or a camera: every screen
// change, countdown number, shot and notice is printed with the virtual time
// at which it happens. The shot is a real picture of the simulated camera,
// downloaded on its event thread and filed by the kiosk's photo pipeline
// into the folders of the sandbox (--root / KLIK_ROOT).

#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "camera/CameraNotifications.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/RegistryCameraPort.h"
#include "camera/sim/SimCamSDK.h"
#include "foundation/FixedPaths.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "log/LogPaths.h"
#include "photo/ImageFolders.h"
#include "photo/KioskPhotoPipeline.h"
#include "tools/Command.h"
#include "tools/ConsoleKioskUi.h"

namespace klik::tools {

namespace {

const Command& spineCommand();

// The kiosk's camera port over the camera registry (the simulated camera
// is the loaded one), saying what the kiosk asks of it and counting shots.
class AnnouncedCameraPort : public RegistryCameraPort {
  public:
    explicit AnnouncedCameraPort(ConsoleKioskUi& ui) : ui_(ui) {}

    void takePicture() override {
        if (!hasCamera()) return;
        ++shots_;
        ui_.say("  camera: shutter released (shot " + std::to_string(shots_.load()) + ")");
        RegistryCameraPort::takePicture();
    }
    void liveViewOn() override {
        ui_.say("  camera: live view on");
        RegistryCameraPort::liveViewOn();
    }
    void liveViewOff() override {
        ui_.say("  camera: live view off");
        RegistryCameraPort::liveViewOff();
    }
    int shots() const { return shots_.load(); }

  private:
    ConsoleKioskUi& ui_;
    std::atomic<int> shots_{0};
};

// The first simulated camera, loaded; null when none could be opened.
GLIMRA_Camera::Ptr loadSimulatedCamera(ManualRunLoop& loop) {
    GLIMRA_Camera::setSDK(std::make_shared<SimCamSDK>(SimConfig{}));
    GLIMRA_Camera::setMainLoop(&loop);
    GLIMRA_Camera::Ptr camera;
    loop.runAlongside(
        [&] {
            GLIMRA_Camera::initializeClass();
            GLIMRA_Camera::waitForBackgroundThreads();
            for (int i = 0; i < 100 && !camera; ++i) {
                if (auto list = GLIMRA_Camera::cameras(); list && !list->empty())
                    camera = list->front();
                else
                    std::this_thread::yield();
            }
            if (camera && !camera->load()) camera.reset();
        },
        std::chrono::seconds(60));
    return camera;
}

// The video camera of the script: records nothing, says what it would do.
class ScriptedRecorder : public VideoRecorderPort {
  public:
    explicit ScriptedRecorder(ConsoleKioskUi& ui) : ui_(ui) {}
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
    ConsoleKioskUi& ui_;
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
    explicit ScriptedOverlays(ConsoleKioskUi& ui) : ui_(ui) {}
    std::optional<int> runModal(OverlayScreen s) override {
        ui_.say(std::string("  overlay \"") + overlayInterfaceName(s) +
                "\" shown; the guest accepts");
        return kOverlayGoOn;
    }

  private:
    ConsoleKioskUi& ui_;
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
    s.setString(key::mainImagesFolder, dir + "/KlikKioskMainImagesFolder");
    s.setString(key::forUploadFolder, dir + "/KlikKioskUploadFolder");
}

// The sandbox the photo is filed into: the folders of the script's settings
// and the fixed files ("/tmp/squareimage.jpg") under the root.
bool prepareSandbox(const std::string& root, std::string& error) {
    for (const char* sub : {"", "/tmp", "/KlikKioskMainImagesFolder", "/KlikKioskUploadFolder",
                            "/CameraScratchFolder"}) {
        std::error_code ec;
        std::filesystem::create_directories(root + sub, ec);
        if (ec) {
            error = "cannot create " + root + sub + ": " + ec.message();
            return false;
        }
    }
    return true;
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
    char pattern[] = "/tmp/klik-spine-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::cerr << "klikctl spine: cannot create a temporary folder\n";
        return 1;
    }
    temp.dir = pattern;
    // Photos are filed under the root (--root / KLIK_ROOT); without one the
    // temporary folder is the sandbox and goes away at the end.
    const bool sandboxKept = !fixedRoot().empty();
    if (!sandboxKept) setFixedRoot(temp.dir);
    const std::string sandbox = fixedRoot();
    std::unique_ptr<Settings> own;
    Settings* settings = &Settings::standard();
    const bool userChoseFile = settings->path() != Settings::defaultPath();
    if (!userChoseFile) {
        own = std::make_unique<Settings>(temp.dir + "/settings.plist");
        settings = own.get();
        writeScriptSettings(*settings, sandbox, video);
        std::string error;
        if (!prepareSandbox(sandbox, error)) {
            std::cerr << "klikctl spine: " << error << "\n";
            return 1;
        }
    } else {
        std::error_code ec;
        std::filesystem::create_directories(fixedPath("/tmp"), ec);
    }
    AppController::setupFactoryDefaults(*settings);
    if (userChoseFile)
        video = settings->integerForKey(key::prefCameraInputTypeTag) == kInputTagVideo;
    initFolderGlobalsAtLaunch(*settings);

    ManualRunLoop loop;
    RunLoop::setMain(&loop);
    // The camera posts its notifications on the process-wide centre.
    NotificationCenter& center = NotificationCenter::defaultCenter();
    ConsoleKioskUi ui(
        std::cout, [&loop] { return loop.elapsed(); }, verbose);
    ui.setScreenDescriber([video](std::uint32_t n) { return describeScreen(n, video); });

    GLIMRA_Camera::Ptr simCamera;
    if (!video) {
        simCamera = loadSimulatedCamera(loop);
        if (!simCamera) {
            std::cerr << "klikctl spine: the simulated camera could not be opened\n";
            return 1;
        }
    }
    AnnouncedCameraPort camera(ui);
    ScriptedRecorder recorder(ui);
    ScriptedArtwork artwork;
    ScriptedOverlays overlays(ui);

    std::cout << "One scripted guest session, " << (video ? "video" : "camera")
              << " input, in virtual time.\nSettings: "
              << (userChoseFile ? settings->path() : std::string("the script's own (temporary)"))
              << "\nSandbox: " << sandbox << (sandboxKept ? "" : " (removed at the end)") << "\n\n";

    int sessionEnds = 0;
    const auto endObserver =
        center.addObserver(kNotifictionPhotoSessionEnded, [&](const Notification&) {
            ++sessionEnds;
            ui.say("  notice \"notifictionPhotoSessionEnded\" posted (for the web page)");
        });

    std::vector<std::string> filed;
    {
        AppController controller({ui, loop, *settings, center});
        KioskPhotoPipeline photos(
            ui, loop, *settings, [&controller] { return controller.photoFilingSession(); },
            [&ui] { ui.say("  (the preferences would open now)"); });
        controller.setCamera(&camera);
        controller.setArtwork(&artwork);
        controller.setOverlayScreens(&overlays);
        controller.setPhotoPipeline(&photos);
        if (video) {
            controller.setVideoRecorder(&recorder);
            controller.setInputType(kInputTagVideo);
        }
        // Runs after the controller's own observer, once the photo is kept.
        std::atomic<int> photosKept{0};
        const auto keptObserver = center.addObserver(GLIMRA_CameraPhotoDataAvailable,
                                                     [&](const Notification&) { ++photosKept; });
        // A shot is real: the picture is downloaded and filed in real time
        // while the virtual clock stands still.
        auto awaitPhotos = [&] {
            if (photosKept.load() >= camera.shots()) return;
            const bool arrived = loop.runUntil([&] { return photosKept.load() >= camera.shots(); },
                                               std::chrono::seconds(60));
            const FilingResult r = photos.lastResult();
            if (!arrived) {
                ui.say("  camera: no picture arrived");
            } else if (r.filed) {
                filed.push_back(r.filedPath);
                ui.say("  photo: filed as " + r.filedPath);
                if (r.uploadWritten) ui.say("  photo: upload copy " + r.uploadPath);
            } else {
                ui.say("  photo: not filed (see the log)");
            }
        };

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
            awaitPhotos();
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
                    awaitPhotos();
                    loop.advance(3);
                } else if (n == 6 && video) {
                    videoRested = true;
                }
                ui.say("photographer starts over");
                controller.startOverFromKeyBoard();
                break;
            }
        }
        awaitPhotos();
        // Let the session's last notices arrive.
        loop.advance(3.5);
        center.removeObserver(keptObserver);
        std::cout << "\nSession " << (reachedReview || videoRested ? "complete" : "stopped")
                  << " after " << loop.elapsed() << " s of virtual time; the kiosk is on screen "
                  << controller.screenNumber() << ", " << sessionEnds
                  << " end-of-session notice(s), " << filed.size() << " photo(s) filed.\n";
        // The camera's threads end before the controller they call into.
        if (simCamera) {
            simCamera.reset();
            loop.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(60));
        }
    }
    center.removeObserver(endObserver);
    GLIMRA_Camera::setMainLoop(nullptr);
    std::cout << "Log: " << (logOpen ? logPath : std::string("(not writable: ") + logPath + ")")
              << "\n";
    RunLoop::setMain(nullptr);
    if (!sandboxKept) setFixedRoot("");
    return !video && filed.empty() ? 1 : 0;
}

const Command& spineCommand() {
    static const Command c{
        "spine", "run one scripted guest session through the seven screens (headless)",
        "usage: klikctl spine --scripted [--video] [--verbose]\n\n"
        "Runs one guest's turn through the kiosk's seven screens in virtual time\n"
        "on the simulated camera, printing every screen change, countdown\n"
        "number, shot and notice with the time it happens. The shot is filed\n"
        "by the kiosk's photo pipeline into the folders under --root /\n"
        "KLIK_ROOT (without a root, into a temporary folder removed at the\n"
        "end); the exit status is 1 when no photo was filed.\n"
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
