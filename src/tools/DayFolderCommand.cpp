// klikctl day-folder: today's folder names, to check the 03:00 day change.

#include <iostream>

#include "foundation/DateFormat.h"
#include "photo/DayFolder.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl day-folder [--at ISO-8601]\n"
    "\n"
    "Prints the day folder for movies (the local date 3 hours earlier, so a new\n"
    "folder begins at 03:00) and, on a second line, the stills' folder (the plain\n"
    "calendar date), for now or the moment given.";

const Command& self();

int run(const Args& a) {
    Date when = std::chrono::system_clock::now();
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--at") {
            if (i + 1 >= a.size()) return usageError(self(), "--at needs a date");
            if (!parseIso8601(a[i + 1], when))
                return usageError(self(), "not an ISO-8601 date: " + a[i + 1]);
            ++i;
        } else {
            return usageError(self(), "unexpected argument " + a[i]);
        }
    }
    std::cout << getTodaysDateAsString(when) << "\n" << calendarDayFolderString(when) << "\n";
    return 0;
}

const Command& self() {
    static const Command c{"day-folder", "name of today's folder (03:00 day change)", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
