// The kiosk's announcement heard on the session bus (the test runner's own
// bus, started by dbus-run-session).

#include <gtest/gtest.h>
#include <poll.h>

#include <cstdlib>

#include "photo/DistributedNotificationCenter.h"
#include "share/AnnouncementListener.h"

namespace klik::share {
namespace {

TEST(AnnouncementListener, HearsTheNewItemOfEachFiledPhoto) {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "no session bus (the tests run inside dbus-run-session)";
    AnnouncementListener listener;
    std::string why;
    ASSERT_TRUE(listener.start(&why)) << why;
    listener.process();  // the subscription is in place before the kiosk posts
    DistributedNotificationCenter::resetConnection();
    ASSERT_TRUE(DistributedNotificationCenter::postNotificationName(
        "KlikSlideShowNotification", "testdictionary",
        Dictionary{{"newitem", Value(std::string("/images/2026-03-05/g_001.jpg"))},
                   {"status", Value(std::string("Job processed by Klik-Processor"))}},
        &why))
        << why;
    // Other programs' signals on the bus are not announcements.
    ASSERT_TRUE(
        DistributedNotificationCenter::postNotificationName("SomethingElse", "x", {}, &why));
    std::vector<std::string> heard;
    for (int i = 0; i < 50 && heard.empty(); ++i) {
        pollfd p{listener.fd(), POLLIN, 0};
        ::poll(&p, 1, 200);
        heard = listener.process();
    }
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], "/images/2026-03-05/g_001.jpg");
}

}  // namespace
}  // namespace klik::share
