// Compositions over days of guests: each thread is joined once it has
// ended, so the process's threads and its mapped memory (a finished thread
// left unjoined keeps its whole stack) stay flat over 200 clips; the
// processing flag holds while any composition runs.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "RecordingCompositionHost.h"
#include "app/ProcessFlags.h"
#include "foundation/FixedPaths.h"
#include "photo/ImageFolders.h"
#include "support/TempDir.h"
#include "video/CompositionThreads.h"

namespace klik {
namespace {

int taskCount() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++n;
    }
    return n;
}

// The process's mapped memory in KiB ("VmSize"): a stack that is never
// given back shows here at once, whatever of it was touched.
long mappedKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7));
    return -1;
}

TEST(CompositionThreads, TwoHundredClipsLeaveThreadsAndMemoryFlat) {
    test::TempDir dir;
    setFixedRoot(dir.path());
    Settings settings(dir.file("s.plist"));
    settings.setString("forUploadFolder", dir.path());
    initFolderGlobalsAtLaunch(settings);
    // A recording the chain refuses at its first step: the thread is the
    // cost under test, not the movie work.
    test::writeFile(dir.file("broken.mov"), "not a movie");
    CompositionRequest request;
    request.url = dir.file("broken.mov");
    RecordingHost host;
    {
        CompositionThreads compositions(settings, host);
        auto one = [&] {
            compositions.start(request);
            compositions.waitUntilNoneRunning();
        };
        // The media library starts its own helpers on first use.
        for (int i = 0; i < 5; ++i) one();
        const int tasksBefore = taskCount();
        const long mappedBefore = mappedKiB();
        for (int i = 0; i < 200; ++i) one();
        EXPECT_EQ(compositions.started(), 205);
        EXPECT_EQ(compositions.runningCount(), 0u);
        // The last to end waits for the next start (or the owner) to join it.
        EXPECT_LE(compositions.threadCount(), 1u);
        // The media library keeps a few pool threads of its own for a while;
        // 200 threads left behind would show in the mapped memory below (a
        // finished thread leaves the task list at once, its stack does not).
        EXPECT_LE(taskCount(), tasksBefore + 8);
        // 200 unjoined threads would hold 200 stacks (8 MiB each by default,
        // 1.6 GiB); the bound leaves room for a sanitizer's own mappings.
        EXPECT_LT(mappedKiB() - mappedBefore, 256L * 1024) << "KiB mapped more after 200 clips";
    }
    EXPECT_FALSE(gIsProcessingVideo.load());
    setFixedRoot("");
}

TEST(CompositionThreads, TheFlagHoldsUntilTheLastCompositionEnds) {
    EXPECT_FALSE(gIsProcessingVideo.load());
    // A composition begins just as another ends: the flag never reads false
    // in between, in either order.
    gIsProcessingVideo.begin();
    gIsProcessingVideo.begin();
    gIsProcessingVideo.end();
    EXPECT_TRUE(gIsProcessingVideo.load());
    gIsProcessingVideo.begin();
    EXPECT_EQ(gIsProcessingVideo.count(), 2);
    gIsProcessingVideo.end();
    gIsProcessingVideo.end();
    EXPECT_FALSE(gIsProcessingVideo.load());
    {
        VideoProcessingScope composing;
        EXPECT_TRUE(static_cast<bool>(gIsProcessingVideo));
    }
    EXPECT_FALSE(static_cast<bool>(gIsProcessingVideo));

    // Many compositions beginning and ending at once: each one, while it
    // runs, always sees the flag set.
    std::atomic<int> sawClear{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                VideoProcessingScope composing;
                if (!gIsProcessingVideo.load()) ++sawClear;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(sawClear.load(), 0);
    EXPECT_EQ(gIsProcessingVideo.count(), 0);
}

}  // namespace
}  // namespace klik
