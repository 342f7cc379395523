#pragma once
// The names of the per-day folders. Movies use the day rule: the local date
// of (now - 3 hours), so an event running past midnight keeps filing into
// the previous day's folder until 03:00. Stills use the plain calendar date.

#include <cstdint>
#include <string>

#include "foundation/Value.h"

namespace klik {

// The local date of (now - shift) as "yyyy-MM-dd". Any thread.
std::string computeCurrentDaysFolderString2(std::int16_t hours, std::int16_t minutes, Date now);
// The day rule with the 3-hour shift.
std::string getTodaysDateAsString(Date now);
std::string computeCurrentDayFolderString(Date now);
// The calendar date of `now` as "yyyy-MM-dd" (stills' folder).
std::string calendarDayFolderString(Date now);

}  // namespace klik
