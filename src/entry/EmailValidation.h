#pragma once
// The address check used for every email address a guest gives the kiosk.

#include <cstddef>
#include <string_view>

namespace klik {

// The regular expression addresses must match as a whole, after lower-casing
// (ICU syntax). 393 characters.
extern const std::string_view kEmailAddressPattern;
// Longer addresses (in UTF-16 units, as the kiosk has always counted them)
// fail at once, without running the pattern: no real mailbox is longer and
// it keeps the cost of a check bounded.
inline constexpr size_t kMaximumEmailAddressLength = 254;

// True when `address` (UTF-8) is an acceptable email address: well-formed
// UTF-8, at most 254 characters, and, lower-cased, a whole match of
// kEmailAddressPattern. Writes one log line per call. Any thread; does not
// block beyond the match itself, which is bounded in time.
bool validateEmailAddress(std::string_view address);

}  // namespace klik
