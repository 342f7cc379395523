#pragma once
// What the operator allows as a barcode: read from the settings each time an
// entry is checked, so a change in the preferences applies to the next scan.

#include <cstdint>
#include <optional>
#include <string>

namespace klik {

class Settings;

struct BarcodeRules {
    // "prefBarcodeValidationCaseSensitive": missing, or stored as something
    // without a bool value, means case-sensitive.
    bool caseSensitive = true;
    // "prefBarcodeValidationCharSetString" with white space trimmed from its
    // ends: every allowed character. None: no restriction.
    std::optional<std::string> allowedCharacters;
    // "prefBarcodeValidationMinimumLength", in characters.
    std::int64_t minimumLength = 0;

    // Reads the three settings. Any thread (the store is thread-safe).
    static BarcodeRules fromSettings(const Settings& settings);
};

}  // namespace klik
