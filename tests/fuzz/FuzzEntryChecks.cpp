// What a scanner or a guest sends: the barcode check under strict and open
// rules, and the email check.
#include <cstdint>
#include <string_view>

#include "entry/BarcodeCheck.h"
#include "entry/EmailValidation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    klik::BarcodeRules open;
    klik::BarcodeRules strict;
    strict.caseSensitive = false;
    strict.allowedCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-";
    strict.minimumLength = 4;
    for (const auto& rules : {open, strict}) {
        klik::BarcodeCheck c = klik::BarcodeCheck::check(text, rules);
        if (!c.accepted()) (void)c.alertText();
    }
    (void)klik::validateEmailAddress(text);
    return 0;
}
