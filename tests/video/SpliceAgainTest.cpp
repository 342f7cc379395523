// Exports one after another on one thread, as a long-lived worker or a
// tool that composes several guests' clips in turn would run them.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "GeneratedClips.h"
#include "support/TempDir.h"
#include "video/FrameGrabber.h"
#include "video/MovieSplicer.h"

namespace klik {
namespace {

using test::kBlue;
using test::kGreen;
using test::kRed;

// Runs `work` on a thread of its own and waits for it a bounded time: an
// export that never ends fails the run here instead of holding it until
// ctest's timeout. The stuck thread still uses the caller's state, so the
// process ends at once rather than returning into a test that would free it.
void finishWithin(std::chrono::seconds bound, const std::function<void()>& work) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread t([&] {
        work();
        std::lock_guard lock(m);
        done = true;
        cv.notify_all();
    });
    std::unique_lock lock(m);
    if (!cv.wait_for(lock, bound, [&] { return done; })) {
        std::fprintf(stderr, "an export on the same thread never ended (%lld s)\n",
                     static_cast<long long>(bound.count()));
        std::_Exit(1);
    }
    lock.unlock();
    t.join();
}

// The second guest's recording is one GES has never seen: it is found out
// on the same thread as the first one was, and the export ends with its
// own picture, not the first guest's. The overlay is replaced in place
// between the two, as an operator may: the second export shows the new one.
TEST(SpliceAgain, ASecondExportOnTheSameThreadFindsItsNewRecordingAndTheReplacedOverlay) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(test::makeClip(dir.file("first.mov"), {kBlue, 3, 160, 120, 10, 440}, &error))
        << error;
    ASSERT_TRUE(test::makeClip(dir.file("second.mov"), {kRed, 4, 160, 120, 10, 440}, &error))
        << error;
    ASSERT_TRUE(test::makeClip(dir.file("overlay.mov"), {kGreen, 1, 160, 120, 10, 0}, &error))
        << error;
    bool firstOk = false, secondOk = false;
    std::string firstError, secondError;
    std::optional<SpliceLayout> firstLayout, secondLayout;
    finishWithin(std::chrono::seconds(90), [&] {
        SpliceRequest r;
        r.recording = dir.file("first.mov");
        r.overlay = dir.file("overlay.mov");
        r.overlayAt = 1;
        r.output = dir.file("first_muxed.mov");
        SpliceLayout layout;
        firstOk = spliceAndExport(r, &firstError, &layout);
        firstLayout = layout;
        // Another movie in the overlay's place: two seconds, blue.
        std::string why;
        std::filesystem::remove(dir.file("overlay.mov"));
        if (!test::makeClip(dir.file("overlay.mov"), {kBlue, 2, 160, 120, 10, 0}, &why)) {
            secondError = why;
            return;
        }
        r.recording = dir.file("second.mov");
        r.output = dir.file("second_muxed.mov");
        secondOk = spliceAndExport(r, &secondError, &layout);
        secondLayout = layout;
    });
    ASSERT_TRUE(firstOk) << firstError;
    ASSERT_TRUE(secondOk) << secondError;
    EXPECT_NEAR(firstLayout->overlayLength, 1.0, 0.15);
    EXPECT_NEAR(secondLayout->recordingLength, 4.0, 0.15);
    EXPECT_NEAR(secondLayout->overlayLength, 2.0, 0.15) << "the replaced overlay's own length";
    auto colourAt = [&](const std::string& movie, double t) {
        auto frame = grabMovieFrame(movie, t, 160, 120, &error);
        EXPECT_TRUE(frame) << error;
        return frame ? test::centreColour(*frame) : test::Rgb{-1, -1, -1};
    };
    EXPECT_TRUE(test::near(colourAt(dir.file("second_muxed.mov"), 0.5), 255, 0, 0))
        << "the second guest's own recording";
    EXPECT_TRUE(test::near(colourAt(dir.file("second_muxed.mov"), 2.5), 0, 0, 255))
        << "the new overlay";
}

}  // namespace
}  // namespace klik
