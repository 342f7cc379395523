#pragma once
// The decision on one barcode entry, from the raw text a scanner or the
// guest sent. Scanners send anything, so the raw text is checked for safety
// first (well-formed UTF-8, no control or invisible format characters,
// bounded length) and then
// against the operator's rules.

#include <cstddef>
#include <string>
#include <string_view>

#include "entry/BarcodeRules.h"

namespace klik {

// Longest barcode accepted, in characters; longer entries are refused.
inline constexpr size_t kMaximumBarcodeLength = 256;

struct BarcodeCheck {
    enum class Outcome {
        Empty,     // nothing was sent: nothing is to be done
        Accepted,  // `value` is the barcode to keep
        Rejected,  // `reason` says why; `shownValue` is what the alert shows
    };
    Outcome outcome = Outcome::Empty;
    // Accepted: the entry with white space and line ends trimmed from its
    // ends, in the case it was typed.
    std::string value;
    // Rejected: the trimmed entry made safe to display (control and format
    // characters and malformed bytes replaced, cut at the maximum length).
    std::string shownValue;
    std::string reason;

    bool accepted() const { return outcome == Outcome::Accepted; }
    // The floating alert's text for a rejected entry.
    std::string alertText() const;

    // Checks `raw` against `rules`. Pure; any thread.
    static BarcodeCheck check(std::string_view raw, const BarcodeRules& rules);
};

}  // namespace klik
