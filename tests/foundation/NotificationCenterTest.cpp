#include "foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/ManualRunLoop.h"

namespace klik {
namespace {

TEST(NotificationCenter, DeliversInOrderWithTheUserInfoToObserversThatMayRemoveOthers) {
    NotificationCenter c;
    int camera = 0, other = 0;
    std::vector<std::string> seen;
    c.addObserver("Added", [&](const Notification& n) { seen.push_back("any:" + n.name); });
    c.addObserver(
        "Added", [&](const Notification&) { seen.push_back("camera"); }, &camera);
    c.addObserver("", [&](const Notification& n) { seen.push_back("all:" + n.name); });
    c.post("Added", Value(makeOpaque(&other)));
    c.post("Removed", Value(makeOpaque(&camera)));
    c.post("Added", Value(makeOpaque(&camera)), Dictionary{{"key", Value(1)}});
    EXPECT_EQ(seen, (std::vector<std::string>{"any:Added", "all:Added", "all:Removed", "any:Added",
                                              "camera", "all:Added"}));
    // The user info is carried whole.
    std::optional<Dictionary> got;
    c.addObserver("N", [&](const Notification& n) { got = n.userInfo; });
    c.post("N", {}, Dictionary{{"GLIMRA_Key", Value("v")}});
    ASSERT_TRUE(got);
    EXPECT_EQ(*got->at("GLIMRA_Key").string(), "v");
    c.post("N");
    EXPECT_FALSE(got);
    // Observers may remove themselves and others while being notified.
    NotificationCenter centre;
    int first = 0, second = 0;
    NotificationCenter::ObserverId secondId = 0;
    NotificationCenter::ObserverId firstId = centre.addObserver("N", [&](const Notification&) {
        ++first;
        centre.removeObserver(firstId);
        centre.removeObserver(secondId);
    });
    secondId = centre.addObserver("N", [&](const Notification&) { ++second; });
    centre.post("N");
    centre.post("N");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(centre.observerCount(), 0u);
}

TEST(NotificationCenter, PostOnMainThreadDeliversOnTheLoopsThread) {
    ManualRunLoop loop;
    NotificationCenter c;
    std::atomic<bool> onMain{false};
    std::atomic<int> count{0};
    c.addObserver("N", [&](const Notification&) {
        onMain = loop.isMainThread();
        ++count;
    });

    std::thread waiter([&] { c.postOnMainThread(Notification{"N", {}, {}}, true, &loop); });
    ASSERT_TRUE(loop.runUntil([&] { return count.load() == 1; }));
    waiter.join();
    EXPECT_TRUE(onMain);

    std::thread noWait([&] { c.postOnMainThread(Notification{"N", {}, {}}, false, &loop); });
    noWait.join();
    EXPECT_EQ(count.load(), 1);  // queued, not yet delivered
    loop.runPending();
    EXPECT_EQ(count.load(), 2);

    // Waiting from the main thread itself delivers at once instead of deadlocking.
    c.postOnMainThread(Notification{"N", {}, {}}, true, &loop);
    EXPECT_EQ(count.load(), 3);
}

}  // namespace
}  // namespace klik
