#include "ui/windows/QtRunLoop.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

namespace klik {
namespace {

constexpr int kDeadlineMs = 5000;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(QtRunLoop, PerformsFromAnotherThreadRunOnTheGuiThreadInOrderAndWaitingOnesReturnAfterThey) {
    QtRunLoop loop;
    std::vector<int> order;
    std::atomic<bool> allOnGui{true};
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i)
            loop.performOnMain(
                [&, i] {
                    if (!loop.isMainThread() || QThread::currentThread() != qApp->thread())
                        allOnGui = false;
                    order.push_back(i);
                },
                false);
    });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 50; }, kDeadlineMs));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
    EXPECT_TRUE(allOnGui);

    std::atomic<int> value{0};
    std::atomic<bool> workerSawValue{false};
    std::atomic<bool> workerDone{false};
    std::thread waiter([&] {
        loop.performOnMain([&] { value = 42; }, true);
        workerSawValue = (value.load() == 42);
        workerDone = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return workerDone.load(); }, kDeadlineMs));
    waiter.join();
    EXPECT_TRUE(workerSawValue);

    // On the GUI thread a waiting perform runs at once, one without wait later.
    bool ran = false;
    loop.performOnMain([&] { ran = true; }, true);
    EXPECT_TRUE(ran);
    bool queued = false;
    loop.performOnMain([&] { queued = true; }, false);
    EXPECT_FALSE(queued) << "a perform without wait must not run inside the call";
    EXPECT_TRUE(QTest::qWaitFor([&] { return queued; }, kDeadlineMs));
}

TEST(QtRunLoop, AOneShotTimerFiresOnceNotBeforeItsIntervalAndCarriesItsUserInfo) {
    QtRunLoop loop;
    const auto start = std::chrono::steady_clock::now();
    int fired = 0;
    double firedAfter = -1;
    std::string info;
    TimerPtr t = loop.scheduleTimer(
        0.15, false,
        [&](Timer& timer) {
            ++fired;
            firedAfter = secondsSince(start);
            info = timer.userInfo().at("name").stringOr();
        },
        Dictionary{{"name", Value(std::string("hud"))}});
    EXPECT_TRUE(t->isValid());
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired == 1; }, kDeadlineMs));
    EXPECT_GE(firedAfter, 0.15);
    EXPECT_EQ(info, "hud");
    EXPECT_FALSE(t->isValid());
    // Another timer later proves the loop kept turning without a second fire.
    bool later = false;
    loop.performAfterDelay(0.1, [&] { later = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later; }, kDeadlineMs));
    EXPECT_EQ(fired, 1);
}

TEST(QtRunLoop, TimersRepeatUntilInvalidatedAndFireInOrder) {
    QtRunLoop loop;
    int fired = 0;
    TimerPtr t = loop.scheduleTimer(0.02, true, [&](Timer& timer) {
        if (++fired == 5) timer.invalidate();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired >= 5; }, kDeadlineMs));
    bool later = false;
    loop.performAfterDelay(0.1, [&] { later = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later; }, kDeadlineMs));
    EXPECT_EQ(fired, 5);
    EXPECT_EQ(loop.scheduledTimerCount(), 0u);

    // An invalidated delayed perform never runs; the others fire in order.
    std::vector<std::string> order;
    TimerPtr cancelled = loop.performAfterDelay(0.05, [&] { order.push_back("cancelled"); });
    loop.performAfterDelay(0.12, [&] { order.push_back("second"); });
    loop.performAfterDelay(0.06, [&] { order.push_back("first"); });
    cancelled->invalidate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 2; }, kDeadlineMs));
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));
}

TEST(QtRunLoop, TimersAndPerformsAreServedWhileATimerActionRunsANestedLoop) {
    // A modal overlay screen opened from a timer action runs its own event
    // loop; a timer scheduled before it (the HUD's) and the performs of
    // other threads must still be served meanwhile.
    QtRunLoop loop;
    QEventLoop* modal = nullptr;
    bool innerTimer = false;
    bool innerPerform = false;
    bool modalEnded = false;
    std::thread worker;
    loop.performAfterDelay(0.1, [&] {
        innerTimer = true;
        worker = std::thread([&] {
            loop.performOnMain(
                [&] {
                    innerPerform = true;
                    if (modal) modal->exit(0);
                },
                false);
        });
    });
    loop.performAfterDelay(0, [&] {
        QEventLoop nested;
        modal = &nested;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &nested, [&] { nested.exit(1); });
        guard.start(kDeadlineMs);
        EXPECT_EQ(nested.exec(), 0) << "the nested loop was not served";
        modal = nullptr;
        modalEnded = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return modalEnded; }, kDeadlineMs * 2));
    if (worker.joinable()) worker.join();
    EXPECT_TRUE(innerTimer);
    EXPECT_TRUE(innerPerform);
}

}  // namespace
}  // namespace klik
