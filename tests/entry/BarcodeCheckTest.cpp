#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry/BarcodeCheck.h"
#include "entry/EntryText.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"

namespace klik {
namespace {

using Outcome = BarcodeCheck::Outcome;

BarcodeRules digits(std::int64_t minimum = 0) {
    BarcodeRules r;
    r.allowedCharacters = "0123456789";
    r.minimumLength = minimum;
    return r;
}

TEST(BarcodeRulesFromSettings, FallbacksAndTypes) {
    test::TempDir dir;
    Settings s(dir.file("s.plist"));
    BarcodeRules r = BarcodeRules::fromSettings(s);
    EXPECT_TRUE(r.caseSensitive);
    EXPECT_FALSE(r.allowedCharacters.has_value());
    EXPECT_EQ(r.minimumLength, 0);

    s.setBool("prefBarcodeValidationCaseSensitive", false);
    s.setString("prefBarcodeValidationCharSetString", " \tAB12\n");
    s.setInteger("prefBarcodeValidationMinimumLength", 4);
    r = BarcodeRules::fromSettings(s);
    EXPECT_FALSE(r.caseSensitive);
    EXPECT_EQ(r.allowedCharacters, "AB12");
    EXPECT_EQ(r.minimumLength, 4);

    // Strings and numbers answer a bool value; other objects keep the default.
    s.setString("prefBarcodeValidationCaseSensitive", "NO");
    EXPECT_FALSE(BarcodeRules::fromSettings(s).caseSensitive);
    s.setInteger("prefBarcodeValidationCaseSensitive", 0);
    EXPECT_FALSE(BarcodeRules::fromSettings(s).caseSensitive);
    s.setObject("prefBarcodeValidationCaseSensitive", Value(Dictionary{}));
    EXPECT_TRUE(BarcodeRules::fromSettings(s).caseSensitive);
    // A number reads as its digits, as the settings store reads strings; any
    // other object restricts nothing.
    s.setInteger("prefBarcodeValidationCharSetString", 509);
    EXPECT_EQ(BarcodeRules::fromSettings(s).allowedCharacters, "509");
    s.setObject("prefBarcodeValidationCharSetString", Value(Array{}));
    EXPECT_FALSE(BarcodeRules::fromSettings(s).allowedCharacters.has_value());
}

TEST(BarcodeCheck, AcceptsTrimmedWithinTheRulesAndAnEmptyEntryIsNoCode) {
    BarcodeCheck c = BarcodeCheck::check(" 12345 ", digits(5));
    EXPECT_EQ(c.outcome, Outcome::Accepted);
    EXPECT_EQ(c.value, "12345");

    // A scanner's Return (CR, LF or both) is not part of the code.
    EXPECT_EQ(BarcodeCheck::check("12345\r\n", digits(5)).value, "12345");
    EXPECT_EQ(BarcodeCheck::check("12345\n", digits()).value, "12345");

    // No rules: anything printable passes.
    EXPECT_EQ(BarcodeCheck::check("Guest #7 / \xc3\xa9t\xc3\xa9", {}).value,
              "Guest #7 / \xc3\xa9t\xc3\xa9");

    // An empty entry does nothing; white space alone trims to an empty
    // code, which the minimum length decides.
    EXPECT_EQ(BarcodeCheck::check("", digits(5)).outcome, Outcome::Empty);
    EXPECT_EQ(BarcodeCheck::check("   ", digits(1)).outcome, Outcome::Rejected);
    c = BarcodeCheck::check("   ", digits(0));
    EXPECT_EQ(c.outcome, Outcome::Accepted);
    EXPECT_EQ(c.value, "");
}

TEST(BarcodeCheck, RefusesCharactersOutsideTheSetAndShortCodesAndIgnoresCaseWhenAsked) {
    BarcodeCheck c = BarcodeCheck::check("12-34", digits());
    EXPECT_EQ(c.outcome, Outcome::Rejected);
    EXPECT_EQ(c.shownValue, "12-34");
    EXPECT_EQ(c.alertText(), "INVALID BARCODE!\n[12-34]\nPlease Try Again!");
    EXPECT_NE(c.reason.find("'-'"), std::string::npos) << c.reason;

    c = BarcodeCheck::check("1234", digits(5));
    EXPECT_EQ(c.outcome, Outcome::Rejected);
    EXPECT_NE(c.reason.find("shorter than 5"), std::string::npos) << c.reason;

    // Length is counted in characters, not bytes.
    BarcodeRules r;
    r.minimumLength = 3;
    EXPECT_EQ(BarcodeCheck::check("\xc3\xa9\xc3\xa9", r).outcome, Outcome::Rejected);
    EXPECT_EQ(BarcodeCheck::check("\xc3\xa9\xc3\xa9\xc3\xa9", r).outcome, Outcome::Accepted);

    // An empty allowed set refuses every character.
    r = {};
    r.allowedCharacters = "";
    EXPECT_EQ(BarcodeCheck::check("1", r).outcome, Outcome::Rejected);
    // Case-insensitive rules accept and keep the typed case.
    r = {};
    r.allowedCharacters = "AB12";
    r.caseSensitive = false;
    c = BarcodeCheck::check("ab12", r);
    ASSERT_TRUE(c.accepted());
    EXPECT_EQ(c.value, "ab12");

    r.caseSensitive = true;
    c = BarcodeCheck::check("ab12", r);
    EXPECT_EQ(c.outcome, Outcome::Rejected);
    EXPECT_EQ(BarcodeCheck::check("AB12", r).value, "AB12");

    // Lower-case allowed characters also match upper-case entries.
    r.allowedCharacters = "xyz";
    r.caseSensitive = false;
    EXPECT_EQ(BarcodeCheck::check("XyZ", r).value, "XyZ");
}

TEST(BarcodeCheck, RefusesUnsafeInput) {
    const BarcodeRules none;
    // Control characters anywhere but the trailing line end.
    // (Escapes are spelled out in full, so that no digit after one joins it.)
    const std::vector<std::string> unsafe = {std::string("12\00034", 5),
                                             "12\x1b[2J34",
                                             "12\t34",
                                             "\t1234",
                                             "1234\t",
                                             "12\n34",
                                             "12\r34\n",
                                             "1234\x7f",
                                             "12\xc2\x85\x33\x34",
                                             "12\xe2\x80\xa8\x33\x34"};
    for (const std::string& raw : unsafe) {
        BarcodeCheck c = BarcodeCheck::check(raw, none);
        EXPECT_EQ(c.outcome, Outcome::Rejected) << raw;
        EXPECT_NE(c.reason.find("control"), std::string::npos) << c.reason;
        EXPECT_EQ(c.shownValue.find_first_of("\x1b\t\n\r\x7f"), std::string::npos);
    }
    // Invisible format characters: every bidirectional control, the
    // direction marks, zero-width characters and the byte-order mark. The
    // alert shows the entry with each one replaced, in stored order.
    for (char32_t f : {U'\u202A', U'\u202B', U'\u202C', U'\u202D', U'\u202E', U'\u2066', U'\u2067',
                       U'\u2068', U'\u2069', U'\u200E', U'\u200F', U'\u061C', U'\u200B', U'\u200D',
                       U'\u2060', U'\uFEFF', U'\u00AD'}) {
        const std::string raw = entry::utf8(std::u32string(U"GUEST") + f + U"gpj.exe");
        BarcodeCheck c = BarcodeCheck::check(raw, none);
        EXPECT_EQ(c.outcome, Outcome::Rejected) << static_cast<unsigned>(f);
        EXPECT_NE(c.reason.find("format characters"), std::string::npos) << c.reason;
        EXPECT_EQ(c.shownValue, "GUEST\xef\xbf\xbdgpj.exe") << static_cast<unsigned>(f);
    }
    // ... even where the operator's character set would allow them.
    BarcodeRules permissive;
    permissive.allowedCharacters = entry::utf8(U"ABCgpj.ex\u202E");
    EXPECT_EQ(BarcodeCheck::check(entry::utf8(U"ABC\u202Egpj.exe"), permissive).outcome,
              Outcome::Rejected);
    // Visible characters of other scripts, and a right-to-left script itself,
    // are not format characters.
    EXPECT_TRUE(BarcodeCheck::check(entry::utf8(U"\u05D0\u05D1-12"), none).accepted());
    EXPECT_TRUE(BarcodeCheck::check(entry::utf8(U"caf\u00E9-7"), none).accepted());

    // Malformed UTF-8.
    BarcodeCheck c = BarcodeCheck::check(
        "12\xff"
        "34",
        none);
    EXPECT_EQ(c.outcome, Outcome::Rejected);
    EXPECT_NE(c.reason.find("UTF-8"), std::string::npos);
    EXPECT_EQ(c.shownValue,
              "12\xef\xbf\xbd"
              "34");
    EXPECT_EQ(BarcodeCheck::check("\xed\xa0\x80", none).outcome, Outcome::Rejected);

    // Bounded length: 256 characters pass, 257 do not; the alert shows a cut text.
    EXPECT_TRUE(BarcodeCheck::check(std::string(256, '7'), none).accepted());
    c = BarcodeCheck::check(std::string(257, '7'), none);
    EXPECT_EQ(c.outcome, Outcome::Rejected);
    EXPECT_NE(c.reason.find("longer than 256"), std::string::npos);
    EXPECT_EQ(c.shownValue, std::string(256, '7') + "\xe2\x80\xa6");
    c = BarcodeCheck::check(std::string(1 << 20, 'x'), none);
    EXPECT_EQ(c.outcome, Outcome::Rejected);
    EXPECT_LT(c.alertText().size(), 300u);
}

}  // namespace
}  // namespace klik
