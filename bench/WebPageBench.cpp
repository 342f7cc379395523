// The kiosk web page on the real engine against a private klik-webserver,
// with the real screen sequence behind it: from the start page's form
// submission to the touch side entering screen 3, side by side with a
// plain load of the same start page, so the figure reads as a ratio.

#if defined(KLIK_WEBSERVER_PATH)

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEnginePage>
#include <chrono>
#include <functional>
#include <memory>

#include "FakeArtwork.h"
#include "FakeCamera.h"
#include "FakeOverlayScreens.h"
#include "FakePhotoPipeline.h"
#include "RecordingKioskUi.h"
#include "WebServerProcess.h"
#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"
#include "ui/web/KioskWebPage.h"
#include "ui/web/WebEngineEnvironment.h"
#include "ui/web/WebViewWindowController.h"
#include "ui/windows/QtRunLoop.h"

namespace {

using namespace klik;
using namespace klik::test;
using Clock = std::chrono::steady_clock;

bool turnUntil(const std::function<bool()>& done, int limitMs = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// One kiosk with its page and server for the whole run.
struct WebKiosk {
    WebKiosk() {
        if (!QApplication::instance()) {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            prepareWebEngineEnvironment();
            static int argc = 1;
            static char name[] = "klik_bench";
            static char* argv[] = {name, nullptr};
            static QApplication app(argc, argv);
        } else {
            prepareWebEngineEnvironment();
        }
        RunLoop::setMain(&loop);
        settings = std::make_unique<Settings>(dir.file("settings.plist"));
        settings->setBool(key::prefShowLegalese, true);
        settings->setBool(key::prefDoUseWebView, true);
        settings->setInteger(key::prefCameraInputTypeTag, 1);
        settings->setObject(key::prefWebViewFuseActions,
                            Value(Dictionary{{"cameraMain", "start"},
                                             {"cameraDone", "done"},
                                             {"cameraError", "error?sittingid=%@"}}));
        std::string error;
        if (!server.start(dir.file("server.log"), {}, &error)) {
            failure = error;
            return;
        }
        settings->setString(key::prefBaseURL, server.base());
        web = std::make_unique<WebViewWindowController>(*settings, loop, center, &ui);
        QObject::connect(web.get(), &WebViewWindowController::pageLoadFinished,
                         [this](const QUrl&, bool) { ++loads; });
        controller = std::make_unique<AppController>(
            AppController::Environment{ui, loop, *settings, center});
        controller->setCamera(&camera);
        controller->setOverlayScreens(&overlays);
        controller->setArtwork(&artwork);
        controller->setPhotoPipeline(&photos);
        controller->setWebController(&web->controller());
        controller->startOver();
        if (!turnUntil([this] { return loads > 0; }, 60000))
            failure = "the web engine did not load the start page";
    }
    ~WebKiosk() {
        controller.reset();
        web.reset();
        RunLoop::setMain(nullptr);
    }
    // Loads the start page; the time it took, or a negative value.
    double loadStartPage() {
        const int before = loads;
        const auto t0 = Clock::now();
        web->controller().openUrlPage(server.base() + "/start");
        if (!turnUntil([&] { return loads > before; })) return -1;
        return std::chrono::duration<double>(Clock::now() - t0).count();
    }
    // Back on screen 1 with the start page; then submits its form and
    // waits for screen 3. The time from submission to screen 3.
    double submitToScreen3(int guest) {
        controller->startOver();
        if (loadStartPage() < 0) return -1;
        ui.screens.clear();
        const QString script =
            QString(
                "document.querySelector('input[name=email]').value = 'guest%1@example.com';"
                "document.querySelector('input[name=sittingid]').value = 'B%1';"
                "document.getElementById('go').click();")
                .arg(guest);
        const auto t0 = Clock::now();
        web->page()->runJavaScript(script);
        auto atScreen3 = [&] {
            return std::find(ui.screens.begin(), ui.screens.end(), 3u) != ui.screens.end();
        };
        if (!turnUntil(atScreen3)) return -1;
        return std::chrono::duration<double>(Clock::now() - t0).count();
    }

    TempDir dir;
    std::unique_ptr<Settings> settings;
    QtRunLoop loop;
    NotificationCenter center;
    RecordingKioskUi ui;
    FakeCamera camera;
    FakeOverlayScreens overlays;
    FakeArtwork artwork;
    FakePhotoPipeline photos;
    WebServerProcess server;
    std::unique_ptr<WebViewWindowController> web;
    std::unique_ptr<AppController> controller;
    std::string failure;
    int loads = 0;
};

WebKiosk& kiosk() {
    static WebKiosk k;
    return k;
}

void BM_WebFormSubmissionToScreen3(benchmark::State& state) {
    WebKiosk& k = kiosk();
    if (!k.failure.empty()) {
        state.SkipWithError(k.failure.c_str());
        return;
    }
    int guest = 0;
    for (auto _ : state) {
        const double s = k.submitToScreen3(++guest);
        if (s < 0) {
            state.SkipWithError("the sitting did not reach screen 3");
            break;
        }
        state.SetIterationTime(s);
    }
}
BENCHMARK(BM_WebFormSubmissionToScreen3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

void BM_WebStartPageLoad(benchmark::State& state) {
    WebKiosk& k = kiosk();
    if (!k.failure.empty()) {
        state.SkipWithError(k.failure.c_str());
        return;
    }
    for (auto _ : state) {
        const double s = k.loadStartPage();
        if (s < 0) {
            state.SkipWithError("the start page did not load");
            break;
        }
        state.SetIterationTime(s);
    }
}
BENCHMARK(BM_WebStartPageLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

#endif
