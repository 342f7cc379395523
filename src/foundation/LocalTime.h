#pragma once
// Local-time conversions that may run on any thread. glibc keeps the
// process's time zone in one shared record that tzset, mktime and localtime
// rewrite; its own lock is invisible to the thread checker, and ICU's zone
// detection calls tzset too. Every such call in the kiosk goes through here,
// under one lock.

#include <ctime>
#include <mutex>

namespace klik {

// The lock held around every call that reads or rewrites the process zone.
std::mutex& processTimeZoneLock();

// mktime under the lock: local broken-down time to seconds (-1 on failure).
std::time_t localMakeTime(std::tm& tm);

// localtime_r under the lock; false when the moment cannot be represented.
bool localTimeOf(std::time_t when, std::tm& out);

}  // namespace klik
