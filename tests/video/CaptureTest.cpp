// The capture session on the simulated camera: a short recording at the
// compression setting's size with sound, the mirrored preview against the
// unmirrored recording, a kiosk killed mid-recording, the recorder port.

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

#include "GeneratedClips.h"
#include "foundation/ManualRunLoop.h"
#include "support/TempDir.h"
#include "video/CapturePipeline.h"
#include "video/FrameGrabber.h"
#include "video/GstVideoRecorder.h"
#include "video/MediaInfo.h"

namespace klik {
namespace {

using test::waitForFrames;

CaptureSourceSpec simulated() {
    CaptureSourceSpec s;
    s.simulated = true;
    s.pattern = "black";  // only the clock is bright, top left
    s.width = 320;
    s.height = 240;
    return s;
}

// What a recorder hands to composition, waited for on a condition.
struct Handed {
    std::mutex m;
    std::condition_variable cv;
    std::optional<CompositionRequest> request;
    std::function<void(const CompositionRequest&)> handler() {
        return [this](const CompositionRequest& r) {
            std::lock_guard<std::mutex> lock(m);
            request = r;
            cv.notify_all();
        };
    }
    bool arrived() {
        std::lock_guard<std::mutex> lock(m);
        return request.has_value();
    }
    const CompositionRequest& wait() {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return request.has_value(); });
        return *request;
    }
};

// Mean brightness of a corner block of an RGBA picture.
double cornerBrightness(const std::uint8_t* rgba, int width, int height, bool left) {
    double sum = 0;
    int n = 0;
    const int bw = width / 4, bh = height / 6;
    for (int y = 0; y < bh; ++y)
        for (int x = 0; x < bw; ++x) {
            const int px = left ? x : width - 1 - x;
            const std::uint8_t* p = rgba + (static_cast<size_t>(y) * width + px) * 4;
            sum += (p[0] + p[1] + p[2]) / 3.0;
            ++n;
        }
    (void)height;
    return sum / n;
}

TEST(CapturePipeline, RecordsACompleteMovieWithSoundAndMirrorsOnlyThePreview) {
    test::TempDir dir;
    CapturePipeline p(simulated());
    std::string error;
    ASSERT_TRUE(p.start(&error)) << error;
    p.setMirrored(true);
    waitForFrames(p, 3);
    const std::string movie = dir.file("rec.mov");
    ASSERT_TRUE(p.startRecording(movie, 320, 240, &error)) << error;
    EXPECT_TRUE(p.isRecording());
    waitForFrames(p, 20);  // two thirds of a second at 30 frames a second
    auto preview = p.takeFrame(0);
    EXPECT_EQ(p.stopRecording(), movie);
    EXPECT_FALSE(p.isRecording());
    p.stop();

    ASSERT_TRUE(preview);
    // Mirrored preview: the clock is at the top right.
    EXPECT_GT(cornerBrightness(preview->rgba.data(), preview->width, preview->height, false),
              cornerBrightness(preview->rgba.data(), preview->width, preview->height, true) + 10);

    auto info = probeMedia(movie, &error);
    ASSERT_TRUE(info) << error;
    EXPECT_EQ(info->width, 320);
    EXPECT_EQ(info->height, 240);
    EXPECT_TRUE(info->hasAudio);
    EXPECT_GT(info->durationSeconds, 0.3);
    EXPECT_GT(test::soundLevel(movie, 0.1, 0.3), 0.05);
    // The recording is not mirrored: its clock is at the top left.
    auto frame = grabMovieFrame(movie, 0.2, 320, 240, &error);
    ASSERT_TRUE(frame) << error;
    EXPECT_GT(cornerBrightness(frame->pixels.data(), 320, 240, true),
              cornerBrightness(frame->pixels.data(), 320, 240, false) + 10);
}

TEST(CapturePipeline, AKioskKilledMidRecordingLeavesAReadableFile) {
    // The dying child runs this body again from the start: it must write
    // where the parent looks, and make no folder of its own.
    std::optional<test::TempDir> dir;
    const char* inherited = std::getenv("KLIK_KILLED_RECORDING");
    std::string movie;
    if (inherited) {
        movie = inherited;
    } else {
        dir.emplace();
        movie = dir->file("killed.mov");
        // NOLINTNEXTLINE(concurrency-mt-unsafe): before the pipeline's threads exist
        ::setenv("KLIK_KILLED_RECORDING", movie.c_str(), 1);
    }
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            CapturePipeline p(simulated());
            std::string error;
            // NOLINTNEXTLINE(concurrency-mt-unsafe): the dying child ends at once
            if (!p.start(&error) || !p.startRecording(movie, 320, 240, &error)) std::exit(3);
            // Past the first header update (once a second of recording).
            waitForFrames(p, 50);
            std::raise(SIGKILL);
        },
        testing::KilledBySignal(SIGKILL), "");
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the child is gone, no pipeline runs here
    ::unsetenv("KLIK_KILLED_RECORDING");
    std::string error;
    auto info = probeMedia(movie, &error);
    ASSERT_TRUE(info) << error;
    EXPECT_TRUE(info->hasVideo);
    auto frame = grabMovieFrame(movie, 0, 160, 120, &error);
    EXPECT_TRUE(frame) << error;
}

TEST(GstVideoRecorder, HandsTheFinishedRecordingToCompositionAndShowsTheClock) {
    test::TempDir dir;
    Settings settings(dir.file("s.plist"));
    settings.setInteger("prefQTVideoCompressionTag", 9);
    settings.setDouble("prefInsertVideoTrackTime1", 0.5);
    settings.setInteger("prefMaxRecordingLengthInSeconds", 0);
    ManualRunLoop loop;
    GstVideoRecorder recorder(settings, loop, true);
    Handed handed;
    recorder.setFinishedHandler(handed.handler());
    std::vector<std::string> clock;
    recorder.setClockDisplay(
        [&](bool shown, const std::string& text) { clock.push_back(shown ? text : "<hidden>"); });
    ASSERT_TRUE(recorder.setupQTSession());
    EXPECT_FALSE(recorder.startRecording(dir.file("no/such/folder/x.mov")));
    EXPECT_FALSE(recorder.isRecording());
    recorder.startSession();
    const std::string movie = dir.file("clip.mov");
    ASSERT_TRUE(recorder.startRecording(movie));
    EXPECT_TRUE(recorder.isRecording());
    recorder.setupRecordingTimer();
    loop.advance(1.0);
    waitForFrames(*recorder.pipeline(), 10);
    recorder.stopRecording();
    EXPECT_FALSE(recorder.isRecording());
    recorder.tearDownRecordingTimer();
    EXPECT_EQ(handed.wait().url, movie);
    EXPECT_DOUBLE_EQ(handed.wait().overlayMovieInsertionTime, 1);
    // Compression tag 9 was rewritten to 1: 320 x 240.
    EXPECT_EQ(settings.integerForKey("prefQTVideoCompressionTag"), 1);
    auto info = probeMedia(movie);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 320);
    ASSERT_GE(clock.size(), 3u);
    EXPECT_EQ(clock.front(), "00:15.0");
    EXPECT_EQ(clock[clock.size() - 2], "00:14.0");
    EXPECT_EQ(clock.back(), "<hidden>");
    recorder.stopSession();
}

// A camera that stalls mid-recording: stopping the recording and the
// session returns at once (the main thread never waits for the file); the
// recording is finished in the background, reported, still composed, and
// the session stops after it.
TEST(GstVideoRecorder, AStalledCameraNeverHoldsTheCallerWhenTheRecordingStops) {
    test::TempDir dir;
    Settings settings(dir.file("s.plist"));
    ManualRunLoop loop;
    GstVideoRecorder recorder(settings, loop, true);
    recorder.setFinishTimeout(3);
    Handed handed;
    recorder.setFinishedHandler(handed.handler());
    std::vector<std::string> reports;
    recorder.setReportHandler([&](const std::string& text) { reports.push_back(text); });
    ASSERT_TRUE(recorder.setupQTSession());
    recorder.startSession();
    const std::string movie = dir.file("stalled.mov");
    ASSERT_TRUE(recorder.startRecording(movie));
    waitForFrames(*recorder.pipeline(), 15);
    recorder.pipeline()->setSimulatedStall(true);

    recorder.stopRecording();
    recorder.stopSession();
    // Back before the stalled recording could end (it takes the 3 s).
    EXPECT_FALSE(handed.arrived());
    EXPECT_FALSE(recorder.isRecording());
    // No new recording while the session is still being stopped.
    EXPECT_FALSE(recorder.startRecording(dir.file("next.mov")));

    EXPECT_EQ(handed.wait().url, movie);
    ASSERT_TRUE(loop.runUntil([&] { return !reports.empty(); }));
    EXPECT_NE(reports.front().find("stalled.mov ended early"), std::string::npos)
        << reports.front();
    recorder.waitForFinishing();
    EXPECT_FALSE(recorder.pipeline()->isRunning());
    // What reached the file before the stall is a movie.
    auto info = probeMedia(movie);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->hasVideo);

    // The camera comes back: the next session and recording work.
    recorder.pipeline()->setSimulatedStall(false);
    recorder.startSession();
    ASSERT_TRUE(recorder.startRecording(dir.file("next.mov")));
    waitForFrames(*recorder.pipeline(), 10);
    recorder.stopRecording();
    recorder.waitForFinishing();
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(handed.wait().url, dir.file("next.mov"));
    recorder.stopSession();
}

}  // namespace
}  // namespace klik
