#include "photo/DayFolder.h"

#include "foundation/DateFormat.h"

namespace klik {

std::string computeCurrentDaysFolderString2(std::int16_t hours, std::int16_t minutes, Date now) {
    const auto shift =
        std::chrono::seconds(static_cast<long>(hours) * 3600 + static_cast<long>(minutes) * 60);
    return stringWithUTSFormat("yyyy-MM-dd", now - shift);
}

std::string getTodaysDateAsString(Date now) {
    return computeCurrentDaysFolderString2(3, 0, now);
}

std::string computeCurrentDayFolderString(Date now) {
    return getTodaysDateAsString(now);
}

std::string calendarDayFolderString(Date now) {
    return stringWithUTSFormat("yyyy-MM-dd", now);
}

}  // namespace klik
