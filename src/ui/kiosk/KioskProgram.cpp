#include "ui/kiosk/KioskProgram.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/gphoto2/GPhotoBackend.h"
#include "camera/sim/SimCamSDK.h"
#include "foundation/FixedPaths.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "ui/kiosk/KioskAssembly.h"
#include "ui/kiosk/KioskOptions.h"
#include "ui/scripted/ScriptedSandbox.h"
#include "ui/web/WebEngineEnvironment.h"
#include "ui/windows/QtRunLoop.h"

namespace klik {

namespace {

// What the process needs before Qt starts: the sandbox root, a scripted
// run's own settings file, a platform for a run without a display, the web
// engine's environment. 0 to go on, otherwise the exit status.
int prepareProcess(const KioskOptions& options) {
    if (!options.root.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.root, ec);
        setFixedRoot(std::filesystem::absolute(options.root).string());
    }
    // A scripted run changes settings (folders, countdowns, printing): it
    // gets a settings file of its own under its root, never the operator's.
    if (options.scripted > 0) {
        if (fixedRoot().empty()) {
            std::cerr << "klik-kiosk: --scripted needs --root DIR (or KLIK_ROOT): it keeps "
                         "its settings, folders and log there and never touches the "
                         "operator's own settings\n";
            return 2;
        }
        Settings::setStandardPath(fixedRoot() + "/config/klik/Klik_Kiosk.plist");
    }
    // A scripted run needs no display.
    if (options.scripted > 0 && !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The web engine's environment is set only when the page will be shown.
    if (!options.web.empty() || Settings::standard().boolForKey(key::prefDoUseWebView))
        prepareWebEngineEnvironment();
    return 0;
}

// Web mode as the preferences would set it, with the page names of
// klik-webserver unless the operator named others.
void applyWebOption(Settings& settings, const std::string& base) {
    settings.setBool(key::prefDoUseWebView, true);
    settings.setString(key::prefBaseURL, base);
    if (!settings.hasUserValue(key::prefWebViewFuseActions))
        settings.setObject(key::prefWebViewFuseActions,
                           Value(Dictionary{{"cameraMain", "start"},
                                            {"cameraDone", "done"},
                                            {"cameraError", "error?sittingid=%@"}}));
    settings.synchronize();
}

// The camera SDK the options ask for (none: the camera class's own).
// False, with the reason in `error`, when it cannot be had.
bool chooseCamera(const KioskOptions& options, const SimConfig& simConfig, std::string* error) {
    if (options.sim) {
        GLIMRA_Camera::setSDK(std::make_shared<SimCamSDK>(simConfig));
    } else if (options.camera == "gphoto2") {
        std::shared_ptr<CamSDK> sdk = makeGPhotoSDK(options.port, *error);
        if (!sdk) return false;
        GLIMRA_Camera::setSDK(std::move(sdk));
    }
    return true;
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
    if (const int rc = prepareProcess(*options)) return rc;

    QApplication qapp(argc, argv);
    QApplication::setApplicationName("klik-kiosk");

    // Class initialisation: the factory defaults first.
    Settings& settings = Settings::standard();
    AppController::setupFactoryDefaults(settings);
    if (!options->web.empty()) applyWebOption(settings, options->web);

    SimConfig simConfig;
    if (options->sim && !options->simFile.empty() &&
        !SimConfig::fromFile(options->simFile, simConfig, error)) {
        std::cerr << "klik-kiosk: " << options->simFile << ": " << error << "\n";
        return 2;
    }
    ScriptedSandbox sandbox;
    if (options->scripted > 0 && !prepareScriptedSandbox(settings, fixedRoot(), &sandbox, &error)) {
        std::cerr << "klik-kiosk: " << error << "\n";
        return 1;
    }

    QtRunLoop loop;
    RunLoop::setMain(&loop);
    if (!chooseCamera(*options, simConfig, &error)) {
        std::cerr << "klik-kiosk: " << error << "\n";
        return 2;
    }
    GLIMRA_Camera::setMainLoop(&loop);

    int rc = 0;
    {
        KioskAssembly kiosk(qapp, loop, settings, NotificationCenter::defaultCenter(), *options,
                            sandbox);
        rc = kiosk.run();
    }
    RunLoop::setMain(nullptr);
    return rc;
}

}  // namespace klik
