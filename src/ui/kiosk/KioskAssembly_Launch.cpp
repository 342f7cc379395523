// The launch sequence in the order the application runs it, the event loop,
// and the orderly stop: compositions finished, the page first, the camera's
// threads ended while the loop still turns.

#include <QTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <thread>
#include <vector>

#include "camera/GLIMRA_Camera.h"
#include "log/Log.h"
#include "ui/kiosk/KioskAssembly.h"

namespace klik {

namespace {

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

void say(const std::string& text) {
    std::cout << text << std::endl;
    GLIMRA_Log::debug("script: " + text);
}

int KioskAssembly::run() {
    if (!setUpError_.empty()) {
        std::cerr << "klik-kiosk: " << setUpError_ << "\n";
        return 1;
    }
    launch();
    const int rc = qapp_.exec();
    shutDown();
    if (options_.scripted > 0) printScriptedSummary();
    return rc;
}

void KioskAssembly::launch() {
    app_.startup();
    // The settings were read before the log opened: an unreadable file
    // moved aside is told where the operator looks, the log and the panel.
    const std::string settingsProblem = settings_.startProblem();
    if (!settingsProblem.empty()) GLIMRA_Log::err(settingsProblem);
    GLIMRA_Camera::initializeClass();
    app_.awakeFromNib();
    // The full-screen windows exist from here on.
    for (QWidget* w : {static_cast<QWidget*>(&windows_.touchWindow()),
                       static_cast<QWidget*>(&windows_.liveWindow()),
                       static_cast<QWidget*>(windows_.touchWindowFull()),
                       static_cast<QWidget*>(windows_.liveWindowFull())})
        shortcuts_->attachTo(w);
    app_.applicationWillFinishLaunching();
    QTimer::singleShot(0, [this, settingsProblem] {
        app_.applicationDidFinishLaunching();
        if (!settingsProblem.empty())
            ui_.floatingAlertWithString(
                QStringLiteral("Settings file unreadable: moved aside, factory settings in use"));
        app_.launchChildProcess1();
        if (shots_) shots_->capture("launch");
        if (guests_) guests_->start();
    });
}

void KioskAssembly::shutDown() {
    if (video_) video_->waitForCompositions();
    settings_.setSaveFailureHandler(nullptr);
    windows_.setWindow(KioskWindow::Web, nullptr);  // the page goes first
    center_.removeObserver(quitObserver_);
    ui_.setScreenObserver(nullptr);
    shutDownCameras();
    QCoreApplication::processEvents();
    ui_.setController(nullptr);
}

void KioskAssembly::printScriptedSummary() const {
    std::cout << "\n"
              << guests_->completed() << " of " << options_.scripted << " scripted guests done.\n";
    listFolder("Photos", sandbox_.mainImages);
    listFolder("Upload copies", sandbox_.upload);
    listFolder("Prints (PDF)", sandbox_.prints);
    if (shots_)
        std::cout << "Screenshots: " << shots_->written().size() << " in " << options_.screenshots
                  << "\n";
    std::cout << "Log: " << GLIMRA_Log::logFilePath() << "\n";
}

}  // namespace klik
