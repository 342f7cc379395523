// klikctl date-format: shows how a date pattern renders, e.g. to check a
// folder or log pattern around New Year.

#include <iostream>

#include "foundation/DateFormat.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl date-format PATTERN [--at ISO-8601]\n"
    "\n"
    "Formats the time now (or the moment given) with a Unicode date pattern in the\n"
    "local time zone. \"YYYY\" is the week-based year, \"yyyy\" the calendar year.\n"
    "example: klikctl date-format 'YYYY/MM/dd HH:mm:ss.SSS Z' --at 2026-12-31T12:00:00";

const Command& self();

int run(const Args& a) {
    std::string pattern;
    Date when = std::chrono::system_clock::now();
    bool havePattern = false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--at") {
            if (i + 1 >= a.size()) return usageError(self(), "--at needs a date");
            if (!parseIso8601(a[i + 1], when))
                return usageError(self(), "not an ISO-8601 date: " + a[i + 1]);
            ++i;
        } else if (!havePattern) {
            pattern = a[i];
            havePattern = true;
        } else {
            return usageError(self(), "unexpected argument " + a[i]);
        }
    }
    if (!havePattern) return usageError(self(), "missing pattern");
    std::cout << stringWithUTSFormat(pattern, when) << "\n";
    return 0;
}

const Command& self() {
    static const Command c{"date-format", "format a date with a Unicode pattern", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
