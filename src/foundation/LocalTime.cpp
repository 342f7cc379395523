#include "foundation/LocalTime.h"

namespace klik {

std::mutex& processTimeZoneLock() {
    static std::mutex lock;
    return lock;
}

std::time_t localMakeTime(std::tm& tm) {
    std::lock_guard<std::mutex> hold(processTimeZoneLock());
    return std::mktime(&tm);
}

bool localTimeOf(std::time_t when, std::tm& out) {
    std::lock_guard<std::mutex> hold(processTimeZoneLock());
    // localtime_r need not re-read TZ; tzset first so a changed zone counts,
    // as localtime would.
    tzset();
    return localtime_r(&when, &out) != nullptr;
}

}  // namespace klik
