#include "ui/kiosk/KioskProgram.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "app/AppController.h"
#include "app/OverlayScreen.h"
#include "app/RegistryCameraPort.h"
#include "app/ResourceArtwork.h"
#include "app/SettingsKeys.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/gphoto2/GPhotoBackend.h"
#include "camera/sim/SimCamSDK.h"
#include "foundation/FixedPaths.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "photo/AlphaFrameArtwork.h"
#include "photo/KioskPhotoPipeline.h"
#include "ui/QtRunLoop.h"
#include "ui/kiosk/KioskOptions.h"
#include "ui/kiosk/OperatorShortcuts.h"
#include "ui/kiosk/QtApplicationPort.h"
#include "ui/kiosk/ScreenshotWriter.h"
#include "ui/kiosk/ScriptedGuests.h"
#include "ui/kiosk/ScriptedSandbox.h"
#include "ui/panel/CameraPanelWidget.h"
#include "ui/prefs/PreferencesWindow.h"
#include "ui/video/KioskVideo.h"
#include "ui/web/WebEngineEnvironment.h"
#include "ui/web/WebViewWindowController.h"
#include "ui/windows/KioskWindows.h"
#include "ui/windows/QtKioskUi.h"
#include "ui/windows/QtOverlayScreens.h"
#include "web/KioskWebProtocol.h"
#if __has_include("ui/print/QtPrintPort.h")
#include "ui/print/QtPrintPort.h"
#define KLIK_HAVE_PRINT_PORT 1
#endif

namespace klik {

namespace {

void say(const std::string& text) {
    std::cout << text << std::endl;
    GLIMRA_Log::debug("script: " + text);
}

// The camera's threads call into the main loop while they stop, so the
// loop keeps turning until they are done.
void shutDownCameras() {
    std::atomic<bool> done{false};
    std::thread t([&done] {
        GLIMRA_Camera::shutdown();
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    t.join();
}

// The operator closing the preferences window puts the web page back.
class PreferencesCloseWatcher : public QObject {
  public:
    explicit PreferencesCloseWatcher(AppController& app) : app_(app) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Close) app_.closePref();
        return false;
    }

  private:
    AppController& app_;
};

void listFolder(const std::string& label, const std::string& dir) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return;
    std::vector<std::string> files;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    std::cout << label << " (" << files.size() << "):\n";
    for (auto& f : files) std::cout << "  " << f << "\n";
}

}  // namespace

int runKiosk(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = parseKioskOptions(args, &error);
    if (!options) {
        std::cerr << "klik-kiosk: " << error << "\n" << kKioskUsage;
        return 2;
    }
    if (options->help) {
        std::cout << kKioskUsage;
        return 0;
    }
    if (!options->root.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options->root, ec);
        setFixedRoot(std::filesystem::absolute(options->root).string());
    }
    // A scripted run changes settings (folders, countdowns, printing): it
    // gets a settings file of its own under its root, never the operator's.
    if (options->scripted > 0) {
        if (fixedRoot().empty()) {
            std::cerr << "klik-kiosk: --scripted needs --root DIR (or KLIK_ROOT): it keeps "
                         "its settings, folders and log there and never touches the "
                         "operator's own settings\n";
            return 2;
        }
        Settings::setStandardPath(fixedRoot() + "/config/klik/Klik_Kiosk.plist");
    }
    // A scripted run needs no display.
    if (options->scripted > 0 && !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // The web engine's environment is set only when the page will be shown.
    const bool webMode =
        !options->web.empty() || Settings::standard().boolForKey(key::prefDoUseWebView);
    if (webMode) prepareWebEngineEnvironment();

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("klik-kiosk");

    // Class initialisation: the factory defaults first.
    Settings& settings = Settings::standard();
    AppController::setupFactoryDefaults(settings);
    if (!options->web.empty()) {
        // Web mode as the preferences would set it, with the page names of
        // klik-webserver unless the operator named others.
        settings.setBool(key::prefDoUseWebView, true);
        settings.setString(key::prefBaseURL, options->web);
        if (!settings.hasUserValue(key::prefWebViewFuseActions))
            settings.setObject(key::prefWebViewFuseActions,
                               Value(Dictionary{{"cameraMain", "start"},
                                                {"cameraDone", "done"},
                                                {"cameraError", "error?sittingid=%@"}}));
        settings.synchronize();
    }

    SimConfig simConfig;
    if (options->sim && !options->simFile.empty() &&
        !SimConfig::fromFile(options->simFile, simConfig, error)) {
        std::cerr << "klik-kiosk: " << options->simFile << ": " << error << "\n";
        return 2;
    }
    ScriptedSandbox sandbox;
    if (options->scripted > 0) {
        if (!prepareScriptedSandbox(settings, fixedRoot(), &sandbox, &error)) {
            std::cerr << "klik-kiosk: " << error << "\n";
            return 1;
        }
    }

    QtRunLoop loop;
    RunLoop::setMain(&loop);
    NotificationCenter& center = NotificationCenter::defaultCenter();
    if (options->sim) {
        GLIMRA_Camera::setSDK(std::make_shared<SimCamSDK>(simConfig));
    } else if (options->camera == "gphoto2") {
        std::shared_ptr<CamSDK> sdk = makeGPhotoSDK(options->port, error);
        if (!sdk) {
            std::cerr << "klik-kiosk: " << error << "\n";
            return 2;
        }
        GLIMRA_Camera::setSDK(std::move(sdk));
    }
    GLIMRA_Camera::setMainLoop(&loop);

    int rc = 0;
    {
        QtKioskUi ui(loop, settings);
        AppController app({ui, loop, settings, center});
        ResourceArtwork resources;
        AlphaFrameArtwork artwork(resources);
        app.setArtwork(&artwork);
        KioskWindows windows(app, settings, loop, center, artwork);
        ui.attach(&windows);
        ui.setController(&app);
        QtOverlayScreens overlays(windows);
        app.setOverlayScreens(&overlays);
        RegistryCameraPort camera;
        app.setCamera(&camera);
        KioskPhotoPipeline photos(
            ui, loop, settings,
            [&app] {
                PhotoSession s;
                // The guest whose shot the photo answers, not the one now
                // at the screen.
                const GuestSession guest = app.photoSession();
                s.emails = guest.emails;
                s.barcodeValue = guest.barcodeValue;
                s.screenNumber = app.screenNumber();
                return s;
            },
            [&app] { app.openPref(); });
        // Notices of the print path go through the controller's alert HUD.
        auto hud = [&ui](const std::string& text) {
            ui.floatingAlertWithString(QString::fromStdString(text));
        };
#ifdef KLIK_HAVE_PRINT_PORT
        QtPrintPort printer;
        // The sheet and the dialogs go over the touch window the guest sees.
        printer.setParentSource([&windows] { return windows.touchHost(); });
        printer.setNoticeSink(hud);
        photos.attachPrintPort(printer, hud);
#endif
        // A settings file that cannot be written is told once on the HUD
        // (from whichever thread saved).
        settings.setSaveFailureHandler([&loop, hud](const std::string& why) {
            loop.performOnMain([hud, why] { hud(why); }, false);
        });
        app.setPhotoPipeline(&photos);
        // The video camera: recorder, preview, prompt movie, compositions.
        std::unique_ptr<KioskVideo> video;
        if (options->video) {
            video =
                std::make_unique<KioskVideo>(app, ui, loop, settings, center, photos, options->sim);
            const std::string root =
                fixedRoot().empty() ? std::filesystem::current_path().string() : fixedRoot();
            if (options->scripted > 0 && !video->prepareScriptedMovies(root, &error)) {
                std::cerr << "klik-kiosk: the demo movies: " << error << "\n";
                return 1;
            }
            app.setVideoRecorder(video->setUp());
            settings.setInteger("prefCameraInputTypeTag", 2);
            video->attach(windows.renderer().widgetFor(app._QTCView), windows.touchContent());
        }
        QtApplicationPort application(windows, app);
        app.setApplication(&application);
        // The web page; its engine starts only in web mode, when the page is
        // first shown.
        WebViewWindowController webPage(settings, loop, center, &ui);
        app.setWebController(&webPage.controller());
        QObject::connect(&webPage, &WebViewWindowController::windowCreated,
                         [&windows](QWidget* w) { windows.setWindow(KioskWindow::Web, w); });

        // The preferences own the camera panel; both go before the controller.
        PreferencesWindow prefs(settings);
        // Over the full-screen kiosk, which stays on top of everything else.
        prefs.setWindowFlag(Qt::WindowStaysOnTopHint);
        auto* panel = new CameraPanelWidget(app);
        prefs.addCameraPanel(panel);
        windows.setWindow(KioskWindow::Preferences, &prefs);
        PreferencesCloseWatcher prefsCloseWatcher(app);
        prefs.installEventFilter(&prefsCloseWatcher);

        // The operator's commands (the application menu of a desktop kiosk).
        OperatorShortcuts shortcuts(OperatorActions{
            [&app] { app.openPref(); },
            [&photos] { photos.printCurrentPictureForOperator(); },
            [&app] { app.ibBarcodeSendOnEnterAction(nullptr); },
            [&app] { app.relaunchApp(); },
            [&application] { application.terminate(); },
        });

        // The operator's quit code on a kiosk window ends the kiosk (asking
        // first while a clip is composed).
        const auto quitObserver =
            center.addObserver("klikUserQuitCommand",
                               [&application](const Notification&) { application.terminate(); });
        QObject::connect(&qapp, &QGuiApplication::applicationStateChanged,
                         [&app](Qt::ApplicationState s) {
                             if (s == Qt::ApplicationInactive) app.applicationDidResignActive();
                         });

        std::unique_ptr<ScreenshotWriter> shots;
        if (!options->screenshots.empty())
            shots = std::make_unique<ScreenshotWriter>(windows, options->screenshots);
        std::unique_ptr<ScriptedGuests> guests;
        if (options->scripted > 0) {
            // An operator pressing the default button of everything that asks.
            ui.setAlertResponder([](const KioskAlert& a) {
                GLIMRA_Log::debugf("script: alert \"%s\" answered with \"%s\"",
                                   a.messageText.c_str(),
                                   a.buttons.empty() ? "" : a.buttons.front().c_str());
                return 0;
            });
            overlays.setAnswerer([](OverlayScreen s) {
                GLIMRA_Log::debugf("script: overlay \"%s\" answered with tag %d",
                                   overlayInterfaceName(s), kOverlayGoOn);
                return kOverlayGoOn;
            });
#ifdef KLIK_HAVE_PRINT_PORT
            printer.setDialogResponder([](const std::string& dialog, int answer) {
                GLIMRA_Log::debugf("script: dialog \"%s\" answered with %d", dialog.c_str(),
                                   answer);
                return answer;
            });
#endif
            guests = std::make_unique<ScriptedGuests>(
                app, application, options->scripted, say,
                [&photos, &video, &app, &windows, &prefs, &shots](int guest) {
                    // A video guest's turn ends when the clip is filed.
                    if (video) {
                        video->waitForCompositions();
                        say("  video compositions so far: " +
                            std::to_string(video->compositionsStarted()));
                        return;
                    }
                    // What the review screen told the guest; a photo filed
                    // for an earlier guest is in the log and the folders.
                    const AppController::Review& review = app.lastReview();
                    if (!review.photoShown) {
                        std::string text = review.message;
                        for (char& c : text)
                            if (c == '\n') c = ' ';
                        say("  " + review.guest + " was told: " + text);
                        return;
                    }
                    say("  " + review.guest + " saw their photo");
                    const FilingResult r = photos.lastResult();
                    if (r.filed) say("  photo filed: " + r.filedPath);
                    if (r.uploadWritten) say("  upload copy: " + r.uploadPath);
                    if (guest != 1) return;
                    // Once per run the operator opens the preferences by
                    // their shortcut on the touch side, looks, and closes them.
                    QTimer::singleShot(0, [&windows, &prefs, &shots] {
                        QWidget* touch = windows.window(KioskWindow::Touch);
                        QWidget* target = QApplication::focusWidget();
                        if (!target || target->window() != touch) target = touch;
                        say("operator presses Ctrl+, (preferences)");
                        QTest::keyClick(target, Qt::Key_Comma, Qt::ControlModifier);
                        if (!prefs.isVisible()) {
                            say("  the preferences did not open");
                            return;
                        }
                        if (shots)
                            say("  screenshot: " + shots->captureWindow(&prefs, "preferences"));
                        prefs.close();
                        say(prefs.isVisible() ? "  the preferences did not close"
                                              : "  operator closes the preferences");
                    });
                });
            // In web mode the guests come from the page.
            if (settings.boolForKey(key::prefDoUseWebView)) {
                guests->setWaitsForWebPage(true);
                // The run ends once the page has shown the done page.
                guests->setReadyToFinish([&webPage, &settings] {
                    return webPage.lastFinishedAddress() == donePageAddress(settings);
                });
            }
        }

        const int quitOnScreen = options->quitOnScreen;
        ui.setScreenObserver([&shots, &guests, &application, quitOnScreen](std::uint32_t n) {
            if (shots) shots->screenDidChange(n);
            if (guests) guests->screenDidChange(n);
            // Queued behind the screen's entry actions and their repaint.
            if (quitOnScreen > 0 && n == static_cast<std::uint32_t>(quitOnScreen))
                QTimer::singleShot(0, [&application] { application.terminate(); });
        });

        // The launch sequence, in the order the application runs it.
        app.startup();
        GLIMRA_Camera::initializeClass();
        app.awakeFromNib();
        // The full-screen windows exist from here on.
        for (QWidget* w : {static_cast<QWidget*>(&windows.touchWindow()),
                           static_cast<QWidget*>(&windows.liveWindow()),
                           static_cast<QWidget*>(windows.touchWindowFull()),
                           static_cast<QWidget*>(windows.liveWindowFull())})
            shortcuts.attachTo(w);
        app.applicationWillFinishLaunching();
        QTimer::singleShot(0, [&] {
            app.applicationDidFinishLaunching();
            app.launchChildProcess1();
            if (shots) shots->capture("launch");
            if (guests) guests->start();
        });

        rc = qapp.exec();
        if (video) video->waitForCompositions();
        settings.setSaveFailureHandler(nullptr);
        windows.setWindow(KioskWindow::Web, nullptr);  // the page goes first
        center.removeObserver(quitObserver);
        ui.setScreenObserver(nullptr);
        shutDownCameras();
        QCoreApplication::processEvents();
        ui.setController(nullptr);
        if (options->scripted > 0) {
            std::cout << "\n"
                      << guests->completed() << " of " << options->scripted
                      << " scripted guests done.\n";
            listFolder("Photos", sandbox.mainImages);
            listFolder("Upload copies", sandbox.upload);
            listFolder("Prints (PDF)", sandbox.prints);
            if (shots)
                std::cout << "Screenshots: " << shots->written().size() << " in "
                          << options->screenshots << "\n";
            std::cout << "Log: " << GLIMRA_Log::logFilePath() << "\n";
        }
    }
    RunLoop::setMain(nullptr);
    return rc;
}

}  // namespace klik
