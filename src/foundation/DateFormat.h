#pragma once
// Dates formatted with Unicode (UTS #35) patterns through ICU, in local time
// unless a zone is given. "YYYY" is therefore the week-based year and "yyyy"
// the calendar year.

#include <string>

#include "foundation/Value.h"

namespace klik {

// Formats `when` with `pattern` in the process's time zone (TZ), POSIX
// locale. Thread-safe; formatters are cached per thread.
std::string stringWithUTSFormat(const std::string& pattern, Date when);
// The same in a named zone ("UTC", "Europe/Berlin"); an unknown zone id is
// treated as GMT, as ICU does.
std::string stringWithUTSFormat(const std::string& pattern, Date when, const std::string& zoneId);

// Parses an ISO-8601 moment ("2026-12-31T23:59:59", optional fraction,
// optional "Z" or "+01:00"; without a zone it is local time). Returns false
// when the text is not such a moment.
bool parseIso8601(const std::string& text, Date& out);

}  // namespace klik
