// How many of the simulated camera's live-view frames reach the screen: the
// camera class's frame loop (1056 x 704 at ~30 frames/s) posts
// "GLIMRA_CameraLiveViewImageUpdate" on a Qt main loop, and a shown
// LiveViewWidget of the live window's size paints the newest frame. Each
// iteration watches for a fixed wall-clock window and reports the camera's
// frame rate, the rate of frames painted, their ratio, the frames lost on
// the way, and the delay from a frame's bytes leaving the camera's buffer to
// the end of its first paint (median and 95th percentile).
//
// Runs with the offscreen platform unless QT_QPA_PLATFORM names another.

#include <benchmark/benchmark.h>

#include "QtBenchApplication.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "app/Picture.h"
#include "app/View.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/sim/SimCamSDK.h"
#include "camera/sim/SimJpeg.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "ui/windows/LiveViewWidget.h"
#include "ui/windows/QtRunLoop.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kWindowSeconds = 5.0;

// Turns the Qt event loop until `done` holds or `seconds` of real time pass.
bool turnUntil(const std::function<bool()>& done, double seconds) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (static_cast<double>(t.elapsed()) > seconds * 1000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The kiosk's live-view widget, noting when each new frame is first painted.
class TimedLiveViewWidget : public klik::LiveViewWidget {
  public:
    using LiveViewWidget::LiveViewWidget;
    std::vector<double> latenciesMs;
    bool recording = false;

  protected:
    void paintEvent(QPaintEvent* e) override {
        const auto shownBefore = framesShown();
        LiveViewWidget::paintEvent(e);
        if (!recording || framesShown() == shownBefore) return;
        if (auto frame = currentFrame())
            latenciesMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - frame->arrivalTime())
                    .count());
    }
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<size_t>(std::lround(p * static_cast<double>(v.size() - 1)));
    return v[std::min(i, v.size() - 1)];
}

void BM_LiveViewDisplayRate(benchmark::State& state) {
    klik::bench::qtBenchApplication();
    klik::QtRunLoop loop;
    klik::RunLoop::setMain(&loop);
    klik::SimConfig config;
    config.liveViewWidth = 1056;
    config.liveViewHeight = 704;
    config.liveViewFramesPerSecond = 30;
    auto sim = std::make_shared<klik::SimCamSDK>(config);
    klik::GLIMRA_Camera::setSDK(sim);
    klik::GLIMRA_Camera::setMainLoop(&loop);
    klik::GLIMRA_Camera::initializeClass();

    klik::GLIMRA_Camera::Ptr camera;
    if (turnUntil(
            [&] {
                auto list = klik::GLIMRA_Camera::cameras();
                if (list && !list->empty()) camera = list->front();
                return camera != nullptr;
            },
            20) &&
        !camera->load())
        camera.reset();

    klik::View view("_EVFView");
    auto widget =
        std::make_unique<TimedLiveViewWidget>(view, klik::NotificationCenter::defaultCenter());
    widget->resize(1056, 704);
    widget->show();
    // The controller's picture while live view is on: a live frame, so the
    // widget draws the camera's newest frame itself.
    std::vector<std::uint8_t> scratch;
    view.setImage(klik::Picture::fromEncoded(
        "liveView", klik::SimJpeg::makeLiveViewFrame(1056, 704, 0, scratch)));
    widget->sync();

    double produced = 0, shown = 0, seconds = 0, mailboxDropped = 0, widgetDropped = 0;
    std::vector<double> latencies;
    if (!camera) {
        state.SkipWithError("the simulated camera could not be opened");
    } else {
        camera->liveViewBegin();
        if (!turnUntil([&] { return widget->framesShown() > 0; }, 20))
            state.SkipWithError("no live-view frame reached the widget");
    }
    for (auto _ : state) {
        if (!camera || widget->framesShown() == 0) break;
        const unsigned frames0 = sim->liveViewFrameCount(1);
        const auto shown0 = widget->framesShown();
        const auto widgetDropped0 = widget->framesDropped();
        const auto mailboxDropped0 = camera->droppedLiveViewFrames();
        widget->latenciesMs.clear();
        widget->recording = true;
        QEventLoop window;
        // A precise timer: a coarse one may end the window up to 5 % early.
        QTimer::singleShot(static_cast<int>(kWindowSeconds * 1000), Qt::PreciseTimer, &window,
                           &QEventLoop::quit);
        const auto start = Clock::now();
        window.exec();
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        widget->recording = false;
        produced += sim->liveViewFrameCount(1) - frames0;
        shown += static_cast<double>(widget->framesShown() - shown0);
        widgetDropped += static_cast<double>(widget->framesDropped() - widgetDropped0);
        mailboxDropped += static_cast<double>(camera->droppedLiveViewFrames() - mailboxDropped0);
        latencies.insert(latencies.end(), widget->latenciesMs.begin(), widget->latenciesMs.end());
    }

    if (camera) {
        camera->liveViewEnd();
        turnUntil([&] { return !camera->isLiveViewRunning(); }, 10);
    }
    widget.reset();
    camera.reset();
    turnUntil([&] { return sim->eventsIdle(); }, 10);
    klik::GLIMRA_Camera::shutdown();
    QCoreApplication::processEvents();
    klik::GLIMRA_Camera::setSDK(nullptr);
    klik::GLIMRA_Camera::setMainLoop(nullptr);
    klik::RunLoop::setMain(nullptr);

    if (seconds <= 0) return;
    state.counters["camera_fps"] = produced / seconds;
    state.counters["shown_fps"] = shown / seconds;
    state.counters["shown_ratio"] = produced > 0 ? shown / produced : 0;
    state.counters["dropped"] = produced - shown;
    state.counters["dropped_mailbox"] = mailboxDropped;
    state.counters["dropped_widget"] = widgetDropped;
    state.counters["latency_ms_p50"] = percentile(latencies, 0.50);
    state.counters["latency_ms_p95"] = percentile(latencies, 0.95);
}
BENCHMARK(BM_LiveViewDisplayRate)->UseRealTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
