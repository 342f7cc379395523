// Video figures, side by side in one run:
//  - the composition of a 20 s 640 x 480 recording (30 frames a second,
//    with a tone) with a 3 s overlay at 2 s and a 4 s trailer, exported as
//    H.264/AAC, against a plain transcode of the same recording (decode,
//    encode, mux: the floor). "x_realtime" is seconds of movie made per
//    second of wall time. BM_ComposeAgainstTranscodeFloor runs both in
//    turn within each iteration and gives their ratio, over two recordings:
//    /0 a solid colour (nearly nothing to encode, so what the composition
//    adds per frame shows most), /1 a moving picture with sound encoded as
//    the kiosk's recorder does (what a guest's recording costs).
//  - the preview of the simulated 640 x 480 camera with and without a
//    recording running: frames delivered a second and the CPU the process
//    takes (percent of one core).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "video/CapturePipeline.h"
#include "video/GstSupport.h"
#include "video/MediaInfo.h"
#include "video/MovieSplicer.h"
#include "video/SolidMovie.h"

namespace klik {
namespace {

namespace fs = std::filesystem;

constexpr double kRecordingSeconds = 20;

struct Clips {
    std::string dir, recording, movingRecording, overlay, trailer;
    bool ok = false;
};

// A recording as the kiosk's camera pipeline writes one: moving bars, a
// tone, x264 "superfast"/"zerolatency", in a QuickTime file.
bool writeMovingRecording(const std::string& path, std::string* error) {
    const int frames = static_cast<int>(kRecordingSeconds * 30);
    const std::string desc =
        "videotestsrc pattern=smpte horizontal-speed=4 num-buffers=" + std::to_string(frames) +
        " ! video/x-raw,format=I420,width=640,height=480,framerate=30/1"
        " ! x264enc speed-preset=superfast tune=zerolatency threads=2 ! h264parse ! qtmux name=mux"
        " ! filesink location=\"" +
        path + "\" audiotestsrc freq=440 volume=0.5 samplesperbuffer=400 num-buffers=" +
        std::to_string(static_cast<int>(kRecordingSeconds * 40)) +
        " ! audio/x-raw,rate=16000,channels=1 ! audioconvert ! voaacenc ! aacparse ! mux.";
    return runLaunchLineToEnd(desc, 120, error);
}

const Clips& clips() {
    static const Clips c = [] {
        Clips c;
        char tmpl[] = "/tmp/klik-video-bench-XXXXXX";
        if (!mkdtemp(tmpl)) return c;
        c.dir = tmpl;
        c.recording = c.dir + "/recording.mov";
        c.overlay = c.dir + "/overlay.mov";
        c.trailer = c.dir + "/trailer.mov";
        c.movingRecording = c.dir + "/moving.mov";
        std::string error;
        c.ok = writeSolidMovie(c.recording, {0xff0000ff, kRecordingSeconds, 640, 480, 30, 440},
                               &error) &&
               writeSolidMovie(c.overlay, {0xffff0000, 3, 640, 480, 30, 0}, &error) &&
               writeSolidMovie(c.trailer, {0xff00ff00, 4, 640, 480, 30, 0}, &error) &&
               ensureGStreamer(&error) && writeMovingRecording(c.movingRecording, &error);
        std::atexit([] { fs::remove_all(clips().dir); });
        return c;
    }();
    return c;
}

// Runs `make` (the clips, where to put an error) once an iteration and
// reports seconds of movie made per second of wall time; a failure ends the
// benchmark with its error.
template <class Make>
void measureMovieMaking(benchmark::State& state, Make make) {
    const Clips& c = clips();
    if (!c.ok) {
        state.SkipWithError("the clips could not be generated");
        return;
    }
    for (auto _ : state) {
        std::string error;
        if (!make(c, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["x_realtime"] = benchmark::Counter(
        kRecordingSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ComposeOverlayAndTrailer(benchmark::State& state) {
    measureMovieMaking(state, [](const Clips& c, std::string* error) {
        SpliceRequest r;
        r.recording = c.recording;
        r.overlay = c.overlay;
        r.overlayAt = 2;
        r.trailer = c.trailer;
        r.output = c.dir + "/muxed.mov";
        fs::remove(r.output);
        return spliceAndExport(r, error);
    });
}
BENCHMARK(BM_ComposeOverlayAndTrailer)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

void BM_PlainTranscodeFloor(benchmark::State& state) {
    measureMovieMaking(state, [](const Clips& c, std::string* error) {
        const std::string out = c.dir + "/transcoded.mov";
        fs::remove(out);
        return transcodeMovie(c.recording, out, error);
    });
}
BENCHMARK(BM_PlainTranscodeFloor)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

// User plus system time of every thread of this process so far.
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs `compose` and then `floor` (each: where to put an error, true when it
// made its movie) in every iteration, so both see the same machine (other
// work on a shared machine comes and goes), and gives each one's mean wall
// time and the ratios compose / floor of wall time and of processor time
// (the latter moves less when other work shares the cores). False, with the
// benchmark skipped on the error, when either failed.
template <class Compose, class Floor>
bool measureAgainstFloor(benchmark::State& state, Compose compose, Floor floor) {
    using Clock = std::chrono::steady_clock;
    double composeWall = 0, floorWall = 0, composeCpu = 0, floorCpu = 0;
    int n = 0;
    for (auto _ : state) {
        std::string error;
        const double c0 = cpuSeconds();
        const auto t0 = Clock::now();
        const bool composed = compose(&error);
        const auto t1 = Clock::now();
        const double c1 = cpuSeconds();
        const bool floored = composed && floor(&error);
        const auto t2 = Clock::now();
        if (!floored) {
            state.SkipWithError(error.c_str());
            return false;
        }
        composeWall += std::chrono::duration<double>(t1 - t0).count();
        floorWall += std::chrono::duration<double>(t2 - t1).count();
        composeCpu += c1 - c0;
        floorCpu += cpuSeconds() - c1;
        ++n;
    }
    state.counters["compose_s"] = composeWall / n;
    state.counters["floor_s"] = floorWall / n;
    state.counters["time_ratio"] = composeWall / floorWall;
    state.counters["cpu_ratio"] = composeCpu / floorCpu;
    return true;
}

// BM_ComposeOverlayAndTrailer and BM_PlainTranscodeFloor side by side.
void BM_ComposeAgainstTranscodeFloor(benchmark::State& state) {
    const Clips& c = clips();
    if (!c.ok) {
        state.SkipWithError("the clips could not be generated");
        return;
    }
    const std::string& recording = state.range(0) == 0 ? c.recording : c.movingRecording;
    SpliceRequest r;
    r.recording = recording;
    r.overlay = c.overlay;
    r.overlayAt = 2;
    r.trailer = c.trailer;
    r.output = c.dir + "/muxed.mov";
    const std::string out = c.dir + "/transcoded.mov";
    measureAgainstFloor(
        state,
        [&](std::string* error) {
            fs::remove(r.output);
            return spliceAndExport(r, error);
        },
        [&](std::string* error) {
            fs::remove(out);
            return transcodeMovie(recording, out, error);
        });
}
BENCHMARK(BM_ComposeAgainstTranscodeFloor)
    ->ArgName("moving")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(4);

// The composition the export could be instead of GES's timeline: one
// pipeline that decodes each movie once and lays the overlay and the
// trailer over the recording with `compositor` (pads shifted in time by
// their offset), against a plain transcode written the same way (same
// decoders, encoders and muxer), alternating: what leaving GES's timeline
// for such a pipeline would gain, side by side with
// BM_ComposeAgainstTranscodeFloor/moving:0 (the same clips).
std::string launchEncodeTail(const std::string& out) {
    return " ! x264enc speed-preset=superfast threads=2 ! h264parse ! mp4mux name=mux"
           " ! filesink location=\"" +
           out + "\"";
}

std::string launchSound(const std::string& decoder) {
    return " " + decoder + ". ! queue ! audioconvert ! voaacenc ! mux.";
}

void BM_CompositorPipelineAgainstTranscodeLine(benchmark::State& state) {
    const Clips& c = clips();
    if (!c.ok) {
        state.SkipWithError("the clips could not be generated");
        return;
    }
    const std::string composed = c.dir + "/compositor.mp4";
    const std::string transcoded = c.dir + "/transcoded-line.mp4";
    // Overlay at 2 s for its 3 s, trailer over the last 4 s of 20.
    const std::string compositorLine =
        "compositor name=mix sink_1::offset=2000000000 sink_2::offset=16000000000"
        " ! video/x-raw,format=I420,width=640,height=480,framerate=30/1" +
        launchEncodeTail(composed) + " uridecodebin uri=" + fileUri(c.recording) +
        " name=rec rec. ! queue ! videoconvert ! mix.sink_0" + launchSound("rec") +
        " uridecodebin uri=" + fileUri(c.overlay) + " ! videoconvert ! mix.sink_1" +
        " uridecodebin uri=" + fileUri(c.trailer) + " ! videoconvert ! mix.sink_2";
    const std::string transcodeLine = "uridecodebin uri=" + fileUri(c.recording) +
                                      " name=rec rec. ! queue ! videoconvert" +
                                      launchEncodeTail(transcoded) + launchSound("rec");
    const bool measured = measureAgainstFloor(
        state,
        [&](std::string* error) {
            fs::remove(composed);
            return runLaunchLineToEnd(compositorLine, 120, error);
        },
        [&](std::string* error) {
            fs::remove(transcoded);
            return runLaunchLineToEnd(transcodeLine, 120, error);
        });
    // A pipeline that stopped early would look fast: the movie made must
    // be the recording's length, with sound.
    const auto made = measured ? probeMedia(composed) : std::nullopt;
    if (measured &&
        (!made || !made->hasAudio || std::abs(made->durationSeconds - kRecordingSeconds) > 0.2))
        state.SkipWithError("the compositor pipeline made a movie of the wrong length");
}
BENCHMARK(BM_CompositorPipelineAgainstTranscodeLine)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(4);

// Arg 0: preview only; 1: preview while recording at 640 x 480.
void BM_PreviewWhileRecording(benchmark::State& state) {
    CaptureSourceSpec spec;
    spec.simulated = true;
    CapturePipeline p(spec);
    std::string error;
    if (!p.start(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string movie = "/tmp/klik-video-bench-preview.mov";
    if (state.range(0) == 1 && !p.startRecording(movie, 640, 480, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::mutex m;
    std::condition_variable cv;
    p.setFrameCallback([&] {
        std::lock_guard<std::mutex> lock(m);
        cv.notify_all();
    });
    // Settle: the first frames carry the start-up.
    auto waitFrames = [&](std::uint64_t n) {
        const auto target = p.framesDelivered() + n;
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return p.framesDelivered() >= target; });
    };
    waitFrames(10);
    double frames = 0, wall = 0, cpu = 0;
    for (auto _ : state) {
        const auto f0 = p.framesDelivered();
        const double c0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        waitFrames(90);  // three seconds at 30 frames a second
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += cpuSeconds() - c0;
        frames += static_cast<double>(p.framesDelivered() - f0);
    }
    p.setFrameCallback({});
    p.stop();
    std::error_code ec;
    fs::remove(movie, ec);
    state.counters["fps"] = frames / wall;
    state.counters["cpu_percent"] = 100 * cpu / wall;
}
BENCHMARK(BM_PreviewWhileRecording)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace klik
