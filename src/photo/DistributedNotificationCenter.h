#pragma once
// Announcements to other programs on the machine: a D-Bus signal on the
// session bus, path /org/klik/Kiosk, interface org.klik.Kiosk, member the
// notification's name, arguments (string object, a{sv} user info).
// Strings go as "s", booleans "b", integers "x", reals "d", data "ay",
// dates as ISO-8601 text "s", arrays "av", dictionaries "a{sv}".
//
// Any thread (one connection, guarded by a lock; reconnects after a
// failure). Blocks until the message is handed to the bus.

#include <string>

#include "foundation/Value.h"

namespace klik {

class DistributedNotificationCenter {
  public:
    DistributedNotificationCenter() = delete;

    static constexpr const char* kObjectPath = "/org/klik/Kiosk";
    static constexpr const char* kInterface = "org.klik.Kiosk";

    // False with the reason in `error` when there is no session bus or the
    // name is not a valid member name.
    static bool postNotificationName(const std::string& name, const std::string& object,
                                     const Dictionary& userInfo, std::string* error = nullptr);
    // Drops the cached connection (tests that start their own bus).
    static void resetConnection();
};

}  // namespace klik
