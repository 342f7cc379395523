#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>

#include "photo/DistributedNotificationCenter.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

extern char** environ;

namespace klik {
namespace {

// A private session bus and a dbus-monitor on it, both ended by the test.
class PrivateBus {
  public:
    explicit PrivateBus(const test::TempDir& dir) {
        const std::string addrFile = dir.file("address");
        const std::string cmd =
            "dbus-daemon --session --fork --nopidfile --print-address=1 "
            "--print-pid=1 > '" +
            addrFile + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) return;
        std::ifstream in(addrFile);
        std::getline(in, address_);
        in >> daemonPid_;
    }
    ~PrivateBus() {
        if (monitorPid_ > 0) {
            ::kill(monitorPid_, SIGTERM);
            ::waitpid(monitorPid_, nullptr, 0);
        }
        if (daemonPid_ > 0) ::kill(daemonPid_, SIGTERM);
    }
    bool ok() const { return !address_.empty() && daemonPid_ > 0; }
    const std::string& address() const { return address_; }

    // Starts dbus-monitor writing to `out`; waits until it is listening.
    bool startMonitor(const std::string& out) {
        const std::string sh = "exec dbus-monitor --address '" + address_ +
                               "' \"type='signal',interface='org.klik.Kiosk'\" > '" + out + "'";
        const char* argv[] = {"sh", "-c", sh.c_str(), nullptr};
        if (::posix_spawnp(&monitorPid_, "sh", nullptr, nullptr, const_cast<char**>(argv),
                           environ) != 0)
            return false;
        // The monitor announces itself with a NameAcquired signal first.
        for (int i = 0; i < 500; ++i) {
            if (test::readFile(out).find("NameAcquired") != std::string::npos ||
                test::readFile(out).find("signal") != std::string::npos)
                return true;
            ::usleep(10000);
        }
        return true;
    }
    pid_t daemonPid_ = -1;

  private:
    std::string address_;
    pid_t monitorPid_ = -1;
};

TEST(DistributedNotification, SignalReachesASessionBusListener) {
    test::TempDir dir;
    PrivateBus bus(dir);
    if (!bus.ok()) GTEST_SKIP() << "dbus-daemon not available";
    std::optional<test::ScopedEnv> onBus;
    onBus.emplace("DBUS_SESSION_BUS_ADDRESS", bus.address());
    DistributedNotificationCenter::resetConnection();

    const std::string out = dir.file("monitor.txt");
    ASSERT_TRUE(bus.startMonitor(out));
    std::string error;
    const Dictionary info{{"newitem", Value("/Images/2011-03-05/foo_001122334455_001.jpg")},
                          {"status", Value("Job processed by Klik-Processor")},
                          {"senderApp", Value("KlikVideoWall.app")},
                          {"count", Value(2)},
                          {"nested", Dictionary{{"f", Value("pt5")}}}};
    // The monitor may still be subscribing; send until it has seen one.
    bool seen = false;
    for (int i = 0; i < 300 && !seen; ++i) {
        ASSERT_TRUE(DistributedNotificationCenter::postNotificationName(
            "KlikSlideShowNotification", "testdictionary", info, &error))
            << error;
        for (int k = 0; k < 10 && !seen; ++k) {
            seen = test::readFile(out).find("Job processed by Klik-Processor") != std::string::npos;
            if (!seen) ::usleep(5000);
        }
    }
    const std::string text = test::readFile(out);
    onBus.reset();
    DistributedNotificationCenter::resetConnection();

    ASSERT_TRUE(seen) << text;
    EXPECT_NE(text.find("path=/org/klik/Kiosk; interface=org.klik.Kiosk; "
                        "member=KlikSlideShowNotification"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("string \"testdictionary\""), std::string::npos);
    EXPECT_NE(text.find("string \"newitem\""), std::string::npos);
    EXPECT_NE(text.find("/Images/2011-03-05/foo_001122334455_001.jpg"), std::string::npos);
    EXPECT_NE(text.find("int64 2"), std::string::npos);
    EXPECT_NE(text.find("string \"pt5\""), std::string::npos);
}

TEST(DistributedNotification, WithoutASessionBusOrWithABadMemberNameTheSignalIsAnError) {
    std::string error;
    EXPECT_FALSE(
        DistributedNotificationCenter::postNotificationName("not a member", "o", {}, &error));
    EXPECT_NE(error.find("member name"), std::string::npos);
    test::TempDir dir;
    {
        // An address where no bus listens: the connection itself fails.
        test::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.file("no-bus"));
        DistributedNotificationCenter::resetConnection();
        error.clear();
        EXPECT_FALSE(DistributedNotificationCenter::postNotificationName(
            "KlikSlideShowNotification", "testdictionary", {{"newitem", Value("/x.jpg")}}, &error));
        EXPECT_FALSE(error.empty());
        // A bus that appears later is found: the failed connection is not kept.
        PrivateBus bus(dir);
        if (!bus.ok()) GTEST_SKIP() << "dbus-daemon not available";
        test::ScopedEnv onBus("DBUS_SESSION_BUS_ADDRESS", bus.address());
        error.clear();
        EXPECT_TRUE(DistributedNotificationCenter::postNotificationName(
            "KlikSlideShowNotification", "testdictionary", {}, &error))
            << error;
    }
    DistributedNotificationCenter::resetConnection();
}

}  // namespace
}  // namespace klik
