// The watchdog on a virtual second: the test decides when each of its
// seconds ends and whether the main loop answers meanwhile.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "app/Watchdog.h"
#include "foundation/ManualRunLoop.h"
#include "log/Log.h"
#include "support/TempDir.h"

namespace klik::test {
namespace {

// A second of the watchdog ends when the test says so.
class SteppedClock {
  public:
    bool sleep() {
        std::unique_lock l(m_);
        ++entered_;
        cv_.notify_all();
        cv_.wait(l, [&] { return released_ >= entered_ || stopped_; });
        return !stopped_;
    }
    // Waits until the watchdog sleeps for the `n`th time.
    bool waitForSleep(int n) {
        std::unique_lock l(m_);
        return cv_.wait_for(l, std::chrono::seconds(10), [&] { return entered_ >= n || exited_; });
    }
    void releaseOne() {
        std::lock_guard l(m_);
        ++released_;
        cv_.notify_all();
    }
    void stop() {
        std::lock_guard l(m_);
        stopped_ = true;
        cv_.notify_all();
    }
    void markExit() {
        std::lock_guard l(m_);
        exited_ = true;
        cv_.notify_all();
    }
    bool waitForExit() {
        std::unique_lock l(m_);
        return cv_.wait_for(l, std::chrono::seconds(10), [&] { return exited_; });
    }
    int entered() {
        std::lock_guard l(m_);
        return entered_;
    }

  private:
    std::mutex m_;
    std::condition_variable cv_;
    int entered_ = 0, released_ = 0;
    bool stopped_ = false, exited_ = false;
};

class WatchdogTest : public ::testing::Test {
  protected:
    WatchdogTest() {
        GLIMRA_Log::resetForTesting();
        GLIMRA_Log::setRedirectsStdErr(false);
        GLIMRA_Log::setLogFile(dir.file("kiosk.log"));
        RunLoop::setMain(&loop);
    }
    ~WatchdogTest() override {
        clock.stop();
        dog.reset();
        RunLoop::setMain(nullptr);
        GLIMRA_Log::resetForTesting();
    }
    void make(std::uint32_t limit) {
        Watchdog::Options o;
        o.limitSeconds = limit;
        o.sleepOneSecond = [this] { return clock.sleep(); };
        o.exitNow = [this] {
            ++exits;
            clock.markExit();
        };
        dog = std::make_unique<Watchdog>(loop, o);
        dog->start();
    }
    size_t logged(const std::string& text) {
        const std::string log = readFile(dir.file("kiosk.log"));
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
        return n;
    }

    TempDir dir;
    ManualRunLoop loop;
    SteppedClock clock;
    std::atomic<int> exits{0};
    std::unique_ptr<Watchdog> dog;
};

TEST_F(WatchdogTest, ABlockedMainLoopIsReportedEverySecondAndRecoversWithoutExit) {
    make(3000);
    // A main loop that answers every second is never reported.
    for (int second = 1; second <= 20; ++second) {
        ASSERT_TRUE(clock.waitForSleep(second));
        loop.runPending();  // the heartbeat is served within the second
        clock.releaseOne();
    }
    ASSERT_TRUE(clock.waitForSleep(21));
    EXPECT_EQ(dog->secondsLate(), 0u);
    EXPECT_GE(dog->watchdogCount(), 20u);
    EXPECT_EQ(logged("Watchdog says"), 0u);
    // Ten seconds without serving the heartbeats.
    for (int second = 21; second <= 30; ++second) {
        ASSERT_TRUE(clock.waitForSleep(second));
        clock.releaseOne();
    }
    ASSERT_TRUE(clock.waitForSleep(31));
    EXPECT_EQ(dog->secondsLate(), 10u);
    EXPECT_EQ(logged("Watchdog says we are spinning for 0 seconds on the main thread"), 1u);
    EXPECT_EQ(logged("Watchdog says we are spinning for 9 seconds on the main thread"), 1u);
    EXPECT_EQ(logged("Watchdog says we are spinning"), 10u);
    // The main loop comes back: every queued heartbeat runs, the next
    // second finds the count grown and the reports stop.
    EXPECT_EQ(loop.runPending(), 11u);
    clock.releaseOne();
    ASSERT_TRUE(clock.waitForSleep(32));
    loop.runPending();
    clock.releaseOne();
    ASSERT_TRUE(clock.waitForSleep(33));
    EXPECT_EQ(dog->secondsLate(), 0u);
    EXPECT_EQ(logged("Watchdog says we are spinning"), 10u);
    EXPECT_EQ(exits, 0);
}

TEST_F(WatchdogTest, AMainLoopLateBeyondTheLimitEndsTheProcess) {
    make(5);
    // s runs 0..5 with reports, then s = 6 > 5 ends the process.
    for (int second = 1; second <= 7 && exits == 0; ++second) {
        ASSERT_TRUE(clock.waitForSleep(second));
        clock.releaseOne();
    }
    ASSERT_TRUE(clock.waitForExit());
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(logged("Watchdog says we are spinning"), 6u);
    EXPECT_EQ(logged("Watchdog says we are hanging after 6 seconds ... app is exiting"), 1u);
}

TEST_F(WatchdogTest, HeartbeatsQueuedAfterTheWatchdogIsGoneAreHarmless) {
    make(3000);
    ASSERT_TRUE(clock.waitForSleep(1));
    clock.stop();
    dog.reset();
    // The queued heartbeat outlives the watchdog; running it must not touch
    // freed memory (the sanitizer build catches it).
    EXPECT_EQ(loop.runPending(), 1u);
}

}  // namespace
}  // namespace klik::test
