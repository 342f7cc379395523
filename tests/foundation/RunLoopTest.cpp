#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "foundation/ManualRunLoop.h"
#include "foundation/ThreadRunLoop.h"

namespace klik {
namespace {

TEST(ManualRunLoop, TimersFireInOrderOfFireTimeOnTheVirtualClock) {
    Date start = std::chrono::system_clock::time_point(std::chrono::seconds(1000));
    ManualRunLoop loop(start);
    std::vector<std::string> fired;
    loop.scheduleTimer(2.0, false, [&](Timer&) { fired.push_back("2s"); });
    loop.scheduleTimer(0.5, false, [&](Timer&) {
        fired.push_back("0.5s");
        // Scheduled from a timer: runs on the new clock.
        loop.scheduleTimer(1.0, false, [&](Timer&) { fired.push_back("1.5s"); });
    });
    loop.scheduleTimer(2.0, false, [&](Timer&) { fired.push_back("2s-second"); });
    TimerPtr t = loop.scheduleTimer(3, false, [](Timer&) {}, {{"k", Value(1)}});
    EXPECT_EQ(t->userInfo().at("k").integerValue(), 1);
    loop.advance(1.0);
    EXPECT_EQ(fired, (std::vector<std::string>{"0.5s"}));
    loop.advance(1.0);
    EXPECT_EQ(fired, (std::vector<std::string>{"0.5s", "1.5s", "2s", "2s-second"}));
    loop.advance(88);
    EXPECT_EQ(loop.scheduledTimerCount(), 0u);
    EXPECT_EQ(loop.now() - start, std::chrono::seconds(90));
    EXPECT_DOUBLE_EQ(loop.elapsed(), 90.0);
    EXPECT_FALSE(t->isValid());

    bool ran = false;  // a zero-delay perform waits for the next turn
    loop.performAfterDelay(0, [&] { ran = true; });
    EXPECT_FALSE(ran);
    loop.runPending();
    EXPECT_TRUE(ran);
}

TEST(ManualRunLoop, ARepeatingTimerKeepsItsGridAndStopsWhenInvalidated) {
    ManualRunLoop loop;
    std::vector<double> at;
    loop.scheduleTimer(1.0, true, [&](Timer& t) {
        at.push_back(loop.elapsed());
        if (at.size() == 3) t.invalidate();
    });
    loop.advance(2.9);
    EXPECT_EQ(at, (std::vector<double>{1.0, 2.0}));
    loop.advance(10);
    EXPECT_EQ(at, (std::vector<double>{1.0, 2.0, 3.0}));
}

TEST(ManualRunLoop, PerformAndWaitFromAnotherThreadRunsOnTheLoopAlsoAlongsideWork) {
    ManualRunLoop loop;
    std::atomic<bool> done{false};
    std::atomic<bool> onLoop{false};
    std::thread worker([&] {
        loop.performOnMain([&] { onLoop = loop.isMainThread(); }, true);
        done = true;
    });
    ASSERT_TRUE(loop.runUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(onLoop);
    // Run alongside work that waits on the loop, the loop turns for it.
    std::atomic<int> served{0};
    std::thread::id workThread;
    EXPECT_TRUE(loop.runAlongside([&] {
        workThread = std::this_thread::get_id();
        for (int i = 0; i < 3; ++i)
            loop.performOnMain([&] { served += loop.isMainThread() ? 1 : 0; }, true);
    }));
    EXPECT_EQ(served.load(), 3);
    EXPECT_NE(workThread, std::this_thread::get_id());
}

TEST(ManualRunLoop, RunAlongsideKeepsTurningPastItsTimeoutAndReportsTheOverrun) {
    ManualRunLoop loop;
    std::atomic<int> servedLate{0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(5);
    // The work outlasts the timeout and needs the loop all the while.
    const bool inTime = loop.runAlongside(
        [&] {
            // At least one request is made after the timeout, however late a
            // loaded machine starts this thread.
            for (;;) {
                const bool pastTimeout = std::chrono::steady_clock::now() > deadline;
                loop.performOnMain(
                    [&] {
                        if (std::chrono::steady_clock::now() > deadline) ++servedLate;
                    },
                    true);
                if (pastTimeout &&
                    std::chrono::steady_clock::now() > deadline + std::chrono::milliseconds(40))
                    break;
            }
        },
        std::chrono::milliseconds(5));
    EXPECT_FALSE(inTime);
    EXPECT_GT(servedLate.load(), 0);
}

// Runs `loop` on a thread of its own after `setup` (on that thread); true
// when run() returned within `limit`. A loop that never stops is left to its
// thread, which keeps what it uses alive, so a broken stop() fails the test
// at once instead of holding the suite until ctest's timeout.
bool runEndsWithin(const std::shared_ptr<ThreadRunLoop>& loop, std::function<void()> setup,
                   std::chrono::seconds limit) {
    auto ended = std::make_shared<std::promise<void>>();
    std::future<void> done = ended->get_future();
    std::thread runner([loop, setup = std::move(setup), ended] {
        loop->adoptCurrentThread();
        setup();
        loop->run();
        ended->set_value();
    });
    if (done.wait_for(limit) != std::future_status::ready) {
        runner.detach();
        return false;
    }
    runner.join();
    return true;
}

TEST(ThreadRunLoop, RunsTimersOnTheRealClockUntilStoppedFromATimerOrAnotherThread) {
    auto loop = std::make_shared<ThreadRunLoop>();
    auto ticks = std::make_shared<std::atomic<int>>(0);
    ASSERT_TRUE(runEndsWithin(
        loop,
        [loop, ticks] {
            loop->scheduleTimer(0.01, true, [loop, ticks](Timer& t) {
                if (++*ticks == 3) {
                    t.invalidate();
                    loop->stop();
                }
            });
        },
        std::chrono::seconds(30)))
        << "stop() from a timer did not end run()";
    EXPECT_EQ(ticks->load(), 3);
    auto other = std::make_shared<ThreadRunLoop>();
    auto ran = std::make_shared<std::atomic<bool>>(false);
    // Left to that loop's thread with it when run() does not end.
    auto stopper = std::make_shared<std::thread>();
    ASSERT_TRUE(runEndsWithin(
        other,
        [stopper, other, ran] {
            *stopper = std::thread([other, ran] {
                other->performOnMain([ran] { *ran = true; }, true);
                other->stop();
            });
        },
        std::chrono::seconds(30)))
        << "stop() from another thread did not end run()";
    stopper->join();
    EXPECT_TRUE(*ran);
}

}  // namespace
}  // namespace klik
