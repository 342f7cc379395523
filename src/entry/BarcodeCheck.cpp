#include "entry/BarcodeCheck.h"

#include <algorithm>
#include <unordered_set>

#include "entry/EntryText.h"
#include "log/Log.h"

namespace klik {

namespace {

BarcodeCheck rejected(std::string_view shown, std::string reason) {
    BarcodeCheck c;
    c.outcome = BarcodeCheck::Outcome::Rejected;
    c.shownValue = entry::displayable(shown, kMaximumBarcodeLength);
    c.reason = std::move(reason);
    return c;
}

// The Return that ends a scan (CR, LF or both, possibly repeated).
std::string_view withoutTrailingLineEnd(std::string_view raw) {
    while (!raw.empty() && (raw.back() == '\n' || raw.back() == '\r')) raw.remove_suffix(1);
    return raw;
}

}  // namespace

std::string BarcodeCheck::alertText() const {
    return stringWithFormat("INVALID BARCODE!\n[%s]\nPlease Try Again!", shownValue.c_str());
}

BarcodeCheck BarcodeCheck::check(std::string_view raw, const BarcodeRules& rules) {
    if (raw.empty()) return {};
    if (!entry::isValidUtf8(raw)) return rejected(entry::trimmed(raw), "not valid UTF-8 text");

    const std::u32string body = entry::codePoints(withoutTrailingLineEnd(raw));
    if (std::any_of(body.begin(), body.end(), entry::isControlOrLineBreak))
        return rejected(entry::trimmed(raw), "contains control characters");
    // Invisible format characters would let a barcode show, and name a file,
    // in another order than it is stored ("\u202Egpj.exe" displays as
    // "exe.jpg").
    if (std::any_of(body.begin(), body.end(), entry::isFormatCharacter))
        return rejected(entry::trimmed(raw),
                        "contains invisible format characters (such as direction controls)");

    std::string b = entry::trimmed(raw);
    const size_t length = entry::codePointCount(b);
    if (length > kMaximumBarcodeLength)
        return rejected(
            b, stringWithFormat("longer than %zu characters (%zu)", kMaximumBarcodeLength, length));

    if (rules.allowedCharacters) {
        const std::string subject = rules.caseSensitive ? b : entry::uppercased(b);
        const std::string allowedText = rules.caseSensitive
                                            ? *rules.allowedCharacters
                                            : entry::uppercased(*rules.allowedCharacters);
        const std::u32string allowedPoints = entry::codePoints(allowedText);
        const std::unordered_set<char32_t> allowed(allowedPoints.begin(), allowedPoints.end());
        for (char32_t c : entry::codePoints(subject)) {
            if (!allowed.count(c))
                return rejected(b, "contains a character that is not allowed ('" +
                                       entry::displayable(entry::utf8(std::u32string(1, c))) +
                                       "')");
        }
    }
    if (static_cast<std::int64_t>(length) < rules.minimumLength)
        return rejected(b, stringWithFormat("shorter than %lld characters (%zu)",
                                            static_cast<long long>(rules.minimumLength), length));

    BarcodeCheck c;
    c.outcome = Outcome::Accepted;
    c.value = std::move(b);
    return c;
}

}  // namespace klik
