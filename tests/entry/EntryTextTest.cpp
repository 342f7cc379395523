#include <gtest/gtest.h>

#include "entry/EntryText.h"

namespace klik::entry {
namespace {

TEST(EntryText, Utf8ValidityCountingAndLocaleIndependentFullCaseMapping) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("abc \xc3\xa9 \xf0\x9f\x98\x80"));
    EXPECT_FALSE(isValidUtf8("\xff"));
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80"));  // surrogate
    EXPECT_FALSE(isValidUtf8("\xe2\x82"));      // truncated
    EXPECT_EQ(codePointCount("a\xc3\xa9\xf0\x9f\x98\x80"), 3u);
    EXPECT_EQ(codePointCount("a\xff"
                             "b"),
              3u);
    EXPECT_EQ(codePoints("a\xff"), U"a\uFFFD");
    EXPECT_EQ(utf8(U"a\u00e9\U0001F600"), "a\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_EQ(byteOffsetOfCodePoint("a\xc3\xa9"
                                    "b",
                                    2),
              3u);
    EXPECT_EQ(byteOffsetOfCodePoint("ab", 9), 2u);
    EXPECT_EQ(lowercased("ABC.Def@X.COM"), "abc.def@x.com");
    EXPECT_EQ(uppercased("ab12"), "AB12");
    EXPECT_EQ(uppercased("stra\xc3\x9f"
                         "e"),
              "STRASSE");
    EXPECT_EQ(lowercased("I"), "i");  // no Turkish dotless i
}

TEST(EntryText, TrimsUnicodeWhiteSpaceOnlyAtTheEndsAndDisplaysSafelyForLogsAndAlerts) {
    EXPECT_EQ(trimmed(" \t 12 34\r\n"), "12 34");
    EXPECT_EQ(trimmed("\xc2\xa0"
                      "x"
                      "\xe3\x80\x80"),
              "x");  // no-break and ideographic space
    EXPECT_EQ(trimmed("   "), "");
    EXPECT_EQ(trimmed(""), "");
    EXPECT_EQ(trimmed(" \xff "), "\xef\xbf\xbd");  // malformed bytes come back replaced
    EXPECT_EQ(displayable("ab\x1b[2Jc"), "ab\xef\xbf\xbd[2Jc");
    EXPECT_EQ(displayable("a\nb"),
              "a\xef\xbf\xbd"
              "b");
    EXPECT_EQ(displayable("abcdef", 3), "abc\xe2\x80\xa6");
    EXPECT_EQ(displayable("\xff"), "\xef\xbf\xbd");
    EXPECT_EQ(displayable("ok"), "ok");
    // A right-to-left override would show the rest of a line reversed.
    EXPECT_EQ(displayable(utf8(U"a\u202Egpj.exe")), "a\xef\xbf\xbdgpj.exe");
    EXPECT_TRUE(isFormatCharacter(U'\u2066'));
    EXPECT_FALSE(isFormatCharacter(U'a'));
    EXPECT_FALSE(isFormatCharacter(U'\u05D0'));
}

}  // namespace
}  // namespace klik::entry
