// The camera layer over the real libgphoto2 against klik-ptpip-camera (a
// PTP/IP camera of our own on a loopback port), beside the simulated
// camera, in one run:
//   BM_CaptureToPhoto/sim, /gphoto2: from the capture command to the photo's
//     bytes delivered (GLIMRA_CameraPhotoDataAvailable), 24 MP (6000 x 4000)
//     photos from both cameras, the same 0.05 s between shutter and file.
//   BM_CaptureToPhoto/gphoto2_eos: the same through libgphoto2's Canon EOS
//     code (klik-ptpip-camera --personality canon-eos: remote release, the
//     event poll, the shot fetched from the body's memory).
//   BM_GPhotoLiveViewRate, /eos: live-view frames delivered to the main loop
//     per second against the rate the camera offers (30 frames/s, 1056 x
//     704), generic PTP streams and EOS viewfinder data.
//   BM_GPhotoFirstFrame_eos: from live view switched on to the first frame
//     shown, the EOS body warming up for 1 s ("not ready" until then).
//   BM_GPhotoReappearToInUse: from the camera coming back after vanishing
//     (the signal that brings it back) to the kiosk's controller using it
//     again (loaded, the shots going to it), with the backend's default
//     presence interval; no operator action.
// Times are wall-clock; the ratio of the two capture figures is the one to
// quote. HOME points at a temporary folder (libgphoto2 keeps its PTP/IP
// identity under $HOME/.gphoto).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "RecordingKioskUi.h"
#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "camera/CameraNotifications.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/RegistryCameraPort.h"
#include "camera/gphoto2/GPhotoCamSDK.h"
#include "camera/sim/SimCamSDK.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "support/PtpIpCameraProcess.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using klik::GLIMRA_Camera;

klik::test::TempDir& benchHome() {
    static auto* dir = new klik::test::TempDir;
    return *dir;
}

// HOME is set once, during static initialisation: the program has no other
// thread yet, and changing the environment beside threads that read it
// (the camera layer's, libgphoto2's) is unsafe.
[[maybe_unused]] const bool kHomeSet = [] {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): before main, no other thread exists
    return setenv("HOME", benchHome().path().c_str(), 1) == 0;
}();

// Starts our PTP/IP camera with `args` (HOME pointed at a folder of the
// bench's own first, for libgphoto2's GUID file); false, with the run
// skipped and why, when it cannot.
bool startCameraOrSkip(benchmark::State& state, klik::test::PtpIpCameraProcess& camera,
                       const std::vector<std::string>& args) {
    benchHome();
    if (access(klik::test::PtpIpCameraProcess::defaultProgram().c_str(), X_OK) != 0) {
        state.SkipWithError("klik-ptpip-camera is not built");
        return false;
    }
    std::string error;
    if (!camera.start(args, "", &error)) {
        state.SkipWithError(error.c_str());
        return false;
    }
    return true;
}

// The camera class on `sdk` with a manual main loop; counts what arrives.
class Layer {
  public:
    explicit Layer(std::shared_ptr<klik::CamSDK> sdk) : sdk_(std::move(sdk)) {
        klik::GLIMRA_Log::setRedirectsStdErr(false);
        klik::GLIMRA_Log::setLogFile(logDir_.file("klik.log"));
        klik::RunLoop::setMain(&loop);
        GLIMRA_Camera::setSDK(sdk_);
        GLIMRA_Camera::setMainLoop(&loop);
        GLIMRA_Camera::setTimeouts({30, 30, 30});
        auto& center = klik::NotificationCenter::defaultCenter();
        observers_.push_back(center.addObserver(klik::GLIMRA_CameraPhotoDataAvailable,
                                                [this](const klik::Notification&) { ++photos; }));
        observers_.push_back(center.addObserver(klik::GLIMRA_CameraLiveViewImageUpdate,
                                                [this](const klik::Notification&) { ++frames; }));
    }
    ~Layer() {
        loop.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(30));
        loop.runPending();
        for (auto id : observers_) klik::NotificationCenter::defaultCenter().removeObserver(id);
        GLIMRA_Camera::setSDK(nullptr);
        GLIMRA_Camera::setMainLoop(nullptr);
        klik::RunLoop::setMain(nullptr);
        klik::GLIMRA_Log::resetForTesting();
    }
    bool until(const std::function<bool()>& done, int seconds = 60) {
        return loop.runUntil(done, std::chrono::seconds(seconds));
    }
    // The first listed camera, loaded; null when none comes.
    GLIMRA_Camera::Ptr loadFirst() {
        GLIMRA_Camera::initializeClass();
        GLIMRA_Camera::Ptr cam;
        if (!until([&] {
                auto list = GLIMRA_Camera::cameras();
                if (list && !list->empty()) cam = list->front();
                return cam != nullptr;
            }))
            return nullptr;
        cam->loadInBackground();
        if (!until([&] { return cam->isLoaded() && !GLIMRA_Camera::backgroundWorkPending(); }))
            return nullptr;
        return cam;
    }

    klik::ManualRunLoop loop;
    std::atomic<int> photos{0}, frames{0};

  private:
    klik::test::TempDir logDir_;
    std::shared_ptr<klik::CamSDK> sdk_;
    std::vector<klik::NotificationCenter::ObserverId> observers_;
};

std::shared_ptr<klik::GPhotoCamSDK> gphotoFor(const klik::test::PtpIpCameraProcess& camera,
                                              klik::GPhotoOptions options = {}) {
    options.usb = false;
    options.ptpipAddresses = {"127.0.0.1:" + std::to_string(camera.port())};
    return std::make_shared<klik::GPhotoCamSDK>(options);
}

void captureLoop(benchmark::State& state, Layer& layer, const GLIMRA_Camera::Ptr& cam) {
    std::vector<double> seconds;
    for (auto _ : state) {
        const int before = layer.photos.load();
        const auto start = Clock::now();
        cam->takePicture();
        cam->performNextQueuedCameraCommand();
        if (!layer.until([&] { return layer.photos.load() > before; })) {
            state.SkipWithError("no photo arrived");
            break;
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        seconds.push_back(s);
    }
    if (seconds.empty()) return;
    std::sort(seconds.begin(), seconds.end());
    state.counters["median_s"] = seconds[seconds.size() / 2];
}

void BM_CaptureToPhoto_sim(benchmark::State& state) {
    klik::SimConfig config;
    config.pictureWidth = 6000;
    config.pictureHeight = 4000;
    config.captureDelay = 0.05;
    Layer layer(std::make_shared<klik::SimCamSDK>(config));
    auto cam = layer.loadFirst();
    if (!cam) {
        state.SkipWithError("the simulated camera did not load");
        return;
    }
    captureLoop(state, layer, cam);
}
BENCHMARK(BM_CaptureToPhoto_sim)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The capture loop through libgphoto2 against klik-ptpip-camera started
// with `args`.
void captureThroughGphoto2(benchmark::State& state, const std::vector<std::string>& args) {
    klik::test::PtpIpCameraProcess camera;
    if (!startCameraOrSkip(state, camera, args)) return;
    Layer layer(gphotoFor(camera));
    auto cam = layer.loadFirst();
    if (!cam) {
        state.SkipWithError("the PTP/IP camera did not load");
        return;
    }
    captureLoop(state, layer, cam);
}

void BM_CaptureToPhoto_gphoto2(benchmark::State& state) {
    captureThroughGphoto2(state, {"--photo", "6000x4000"});
}
BENCHMARK(BM_CaptureToPhoto_gphoto2)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_CaptureToPhoto_gphoto2_eos(benchmark::State& state) {
    captureThroughGphoto2(state, {"--personality", "canon-eos", "--photo", "6000x4000"});
}
BENCHMARK(BM_CaptureToPhoto_gphoto2_eos)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void liveViewRate(benchmark::State& state, std::vector<std::string> args) {
    constexpr double kOffered = 30, kWindow = 5;
    klik::test::PtpIpCameraProcess camera;
    args.insert(args.end(), {"--live", "1056x704", "--fps", "30"});
    if (!startCameraOrSkip(state, camera, args)) return;
    Layer layer(gphotoFor(camera));
    auto cam = layer.loadFirst();
    if (!cam) {
        state.SkipWithError("the PTP/IP camera did not load");
        return;
    }
    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewBegin(); });
    if (!layer.until([&] { return layer.frames.load() >= 3; })) {
        state.SkipWithError("no live-view frames");
        return;
    }
    double delivered = 0, seconds = 0;
    for (auto _ : state) {
        const int before = layer.frames.load();
        const auto start = Clock::now();
        layer.until([&] { return Clock::now() - start >= std::chrono::duration<double>(kWindow); },
                    static_cast<int>(kWindow) + 5);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        delivered += layer.frames.load() - before;
    }
    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewEnd(); });
    layer.until([&] { return !cam->isLiveViewRunning(); });
    state.counters["offered_fps"] = kOffered;
    state.counters["delivered_fps"] = seconds > 0 ? delivered / seconds : 0;
    state.counters["delivered_ratio"] = seconds > 0 ? delivered / seconds / kOffered : 0;
    state.counters["dropped_mailbox"] = static_cast<double>(cam->droppedLiveViewFrames());
}

void BM_GPhotoLiveViewRate(benchmark::State& state) {
    liveViewRate(state, {});
}
BENCHMARK(BM_GPhotoLiveViewRate)->UseRealTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_GPhotoLiveViewRate_eos(benchmark::State& state) {
    liveViewRate(state, {"--personality", "canon-eos", "--viewfinder-warmup-ms", "0"});
}
BENCHMARK(BM_GPhotoLiveViewRate_eos)->UseRealTime()->Iterations(1)->Unit(benchmark::kSecond);

// Live view on to the first frame shown, the body warming up for 1 s; each
// time on a camera just started, whose live view has never been on.
void BM_GPhotoFirstFrame_eos(benchmark::State& state) {
    std::vector<double> seconds;
    for (auto _ : state) {
        klik::test::PtpIpCameraProcess camera;
        if (!startCameraOrSkip(state, camera,
                               {"--personality", "canon-eos", "--viewfinder-warmup-ms", "1000"}))
            break;
        Layer layer(gphotoFor(camera));
        auto cam = layer.loadFirst();
        if (!cam) {
            state.SkipWithError("the PTP/IP camera did not load");
            break;
        }
        const auto start = Clock::now();
        cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewBegin(); });
        if (!layer.until([&] { return layer.frames.load() >= 1; })) {
            state.SkipWithError("no live-view frame");
            break;
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        seconds.push_back(s);
        cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewEnd(); });
        layer.until([&] { return !cam->isLiveViewRunning(); });
    }
    if (seconds.empty()) return;
    std::sort(seconds.begin(), seconds.end());
    state.counters["median_s"] = seconds[seconds.size() / 2];
    state.counters["warmup_s"] = 1;
}
BENCHMARK(BM_GPhotoFirstFrame_eos)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_GPhotoReappearToInUse(benchmark::State& state) {
    klik::test::PtpIpCameraProcess camera;
    if (!startCameraOrSkip(state, camera, {"--photo", "640x480"})) return;
    klik::test::TempDir dir;
    klik::Settings settings(dir.file("settings.plist"));
    klik::test::RecordingKioskUi ui;
    klik::RegistryCameraPort port;
    // The backend's defaults, as the kiosk runs it.
    Layer layer(gphotoFor(camera));
    auto controller = std::make_unique<klik::AppController>(klik::AppController::Environment{
        ui, layer.loop, settings, klik::NotificationCenter::defaultCenter()});
    controller->setCamera(&port);
    GLIMRA_Camera::initializeClass();
    auto inUse = [&] {
        const auto& c = GLIMRA_Camera::loadedCamera();
        return c && c->isLoaded() && port.hasCamera() && !GLIMRA_Camera::backgroundWorkPending();
    };
    if (!layer.until(inUse)) {
        state.SkipWithError("the kiosk did not take up the camera");
        return;
    }
    std::vector<double> seconds;
    for (auto _ : state) {
        camera.vanish();
        if (!layer.until([&] { return GLIMRA_Camera::loadedCamera() == nullptr; })) {
            state.SkipWithError("the vanished camera was not noticed");
            break;
        }
        const auto start = Clock::now();
        camera.comeBack();
        if (!layer.until(inUse)) {
            state.SkipWithError("the camera was not used again");
            break;
        }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        seconds.push_back(s);
    }
    controller.reset();
    if (seconds.empty()) return;
    std::sort(seconds.begin(), seconds.end());
    state.counters["median_s"] = seconds[seconds.size() / 2];
    state.counters["max_s"] = seconds.back();
    state.counters["goal_s"] = 2;
}
BENCHMARK(BM_GPhotoReappearToInUse)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
