#include "entry/EmailValidation.h"

#include <memory>

#include <unicode/locid.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>

#include "entry/EntryText.h"
#include "log/ConsoleLog.h"
#include "log/Log.h"

namespace klik {

// Local part: a dot-atom or a quoted string; domain: a host name of two or
// more labels or a bracketed address literal. Kept exactly as addresses have
// always been checked, oddities included (see the tests).
const std::string_view kEmailAddressPattern =
    R"((?:[a-z0-9_-]+(?:\.[a-z0-9!_-]+)*|")"
    R"((?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*)"
    R"(")@(?:(?:[a-z0-9](?:[a-z0-9-]*[a-z0-9])?\.)+[a-z0-9](?:[a-z0-9-]*[a-z0-9])?|)"
    R"(\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?|)"
    R"([a-z0-9-]*[a-z0-9]:(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21-\x5a\x53-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])+)\]))";

namespace {

// Match steps are bounded by the length limit already; the time limit is a
// second fence so no input can keep the guest's screen waiting.
constexpr int32_t kMatchTimeLimit = 50;

const icu::RegexPattern* compiledPattern() {
    static const std::unique_ptr<icu::RegexPattern> pattern = [] {
        UErrorCode status = U_ZERO_ERROR;
        UParseError parseError{};
        icu::UnicodeString source = icu::UnicodeString::fromUTF8(icu::StringPiece(
            kEmailAddressPattern.data(), static_cast<int32_t>(kEmailAddressPattern.size())));
        std::unique_ptr<icu::RegexPattern> p(
            icu::RegexPattern::compile(source, 0, parseError, status));
        if (U_FAILURE(status)) {
            GLIMRA_Log::errf(
                "validateEmailAddress: the address pattern does not compile (%s at %d)",
                u_errorName(status), parseError.offset);
            return std::unique_ptr<icu::RegexPattern>();
        }
        return p;
    }();
    return pattern.get();
}

}  // namespace

bool validateEmailAddress(std::string_view address) {
    if (!entry::isValidUtf8(address)) {
        consoleLog(stringWithFormat(
            "Passed emailAddress=[%s] with length=[%zu]... rejected: not valid UTF-8",
            entry::displayable(address, kMaximumEmailAddressLength).c_str(), address.size()));
        return false;
    }
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(address.data(), static_cast<int32_t>(address.size())));
    const auto length = static_cast<size_t>(text.length());
    consoleLog(stringWithFormat("Passed emailAddress=[%s] with length=[%zu]...",
                                entry::displayable(address, kMaximumEmailAddressLength).c_str(),
                                length));
    if (length > kMaximumEmailAddressLength) {
        GLIMRA_Log::debugf("validateEmailAddress: longer than %zu characters, rejected",
                           kMaximumEmailAddressLength);
        return false;
    }
    const icu::RegexPattern* pattern = compiledPattern();
    if (pattern == nullptr) return false;

    text.toLower(icu::Locale::getRoot());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(text, status));
    if (U_FAILURE(status)) {
        GLIMRA_Log::errf("validateEmailAddress: no matcher (%s)", u_errorName(status));
        return false;
    }
    matcher->setTimeLimit(kMatchTimeLimit, status);
    const bool matches = matcher->matches(status);
    if (U_FAILURE(status)) {
        GLIMRA_Log::errf("validateEmailAddress: match failed (%s), rejected", u_errorName(status));
        return false;
    }
    return matches;
}

}  // namespace klik
