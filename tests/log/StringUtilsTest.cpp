// Bounded C-string conversion and the numeric, case-blind ordering.

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "log/StringUtils.h"

namespace klik {
namespace {

std::optional<std::string> conv(const std::string& bytes, size_t limit, const char* enc) {
    return stringWithCString(bytes.data(), limit, enc);
}

// UTF-16 units in host order, as bytes.
std::string units16(std::initializer_list<std::uint16_t> u) {
    std::string out(u.size() * 2, '\0');
    std::memcpy(out.data(), u.begin(), out.size());
    return out;
}

std::string units32(std::initializer_list<std::uint32_t> u) {
    std::string out(u.size() * 4, '\0');
    std::memcpy(out.data(), u.begin(), out.size());
    return out;
}

std::uint16_t swap16(std::uint16_t v) {
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}

TEST(StringWithCStringTest, Utf8AndSingleByteStopAtZeroOrLimitAndSkipTheMark) {
    const std::string abc("abc\0def", 7);
    EXPECT_EQ(conv(abc, 10, "UTF-8"), "abc");
    EXPECT_EQ(conv(abc, 2, "UTF-8"), "ab");
    EXPECT_EQ(conv(abc, 0, "UTF-8"), "abc");
    EXPECT_EQ(conv(std::string("\0x", 2), 2, "UTF-8"), "");
    const std::string marked =
        "\xEF\xBB\xBF"
        "abc";
    EXPECT_EQ(conv(marked, 10, "UTF-8"), "abc");
    EXPECT_EQ(conv(marked, 5, "UTF-8"), "ab");
    // With room for the mark alone it is kept as its character.
    EXPECT_EQ(conv(marked, 3, "UTF-8"), "\xEF\xBB\xBF");
    EXPECT_EQ(conv(std::string("caf\xE9\0", 5), 10, "ISO-8859-1"), "caf\xC3\xA9");
    EXPECT_EQ(conv("caf\xE9", 3, "ISO-8859-1"), "caf");
}

TEST(StringWithCStringTest, InvalidBytesUnknownEncodingOrLessThanAUnitGiveNone) {
    EXPECT_FALSE(conv("ab\xC3(", 10, "UTF-8").has_value());
    EXPECT_FALSE(conv("abc", 10, "no-such-encoding").has_value());
    EXPECT_FALSE(stringWithCString(nullptr, 10, "UTF-8").has_value());
    EXPECT_FALSE(conv(units16({'a', 0}), 1, "UTF-16").has_value());
    EXPECT_FALSE(conv(units32({'a', 0}), 3, "UTF-32").has_value());
    EXPECT_FALSE(conv(units32({0x110000, 0}), 0, "UTF-32").has_value());
}

TEST(StringWithCStringTest, Utf16And32FollowTheirMarkElseHostOrder) {
    // A mark in the other byte order: every unit is swapped.
    const std::string swapped = units16({swap16(0xFEFF), swap16('h'), swap16('i'), 0});
    EXPECT_EQ(conv(swapped, 0, "UTF-16"), "hi");
    EXPECT_EQ(conv(units16({0xFEFF, 'h', 0x00E9, 0, 'x'}), 10, "UTF-16"), "h\xC3\xA9");
    const std::string host = units16({'o', 'k', 0});
    EXPECT_EQ(conv(host, 100, "UTF-16"), "ok");
    EXPECT_EQ(conv(host, 3, "UTF-16"), "o");  // the half unit is not read
    const char* fixed = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
    EXPECT_EQ(conv(host, 100, fixed), "ok");
    EXPECT_EQ(conv(units16({0xFEFF, 'o', 0}), 100, fixed), "o");
    EXPECT_EQ(conv(units32({0x0000FEFF, 'z', 0x1F600, 0}), 0, "UTF-32"), "z\xF0\x9F\x98\x80");
    EXPECT_EQ(conv(units32({'n', 'o', 0}), 8, "UTF-32"), "no");
}

TEST(NumericalCompareTest, NumbersCompareByValueCaseIsIgnoredAndCameraLabelsSort) {
    const auto cmp = numericalCaseInsensitiveCompare;
    EXPECT_TRUE(cmp("ISO 100", "ISO 1600") < 0);
    EXPECT_TRUE(cmp("2", "10") < 0);
    EXPECT_TRUE(cmp("f/2.8", "F/11") < 0);
    EXPECT_TRUE(cmp("file9", "FILE10") < 0);
    EXPECT_TRUE(cmp("FILE10", "file9") > 0);
    EXPECT_TRUE(cmp("1/250", "1/4000") < 0);
    EXPECT_TRUE(cmp("x99999999999999999999", "x100000000000000000000") < 0);
    EXPECT_TRUE(cmp("Auto", "AUTO") == 0);
    EXPECT_TRUE(cmp("\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89") == 0);  // Été
    EXPECT_TRUE(cmp("f007", "F7") == 0);
    EXPECT_TRUE(cmp("a", "B") < 0);
    EXPECT_TRUE(cmp("abc", "ABCD") < 0);
    EXPECT_TRUE(cmp("", "") == 0);
    std::vector<std::string> labels = {"ISO 1600", "Auto",     "ISO 100",
                                       "iso 400",  "ISO 3200", "ISO 200"};
    std::sort(labels.begin(), labels.end(),
              [&](const std::string& a, const std::string& b) { return cmp(a, b) < 0; });
    EXPECT_EQ(labels, (std::vector<std::string>{"Auto", "ISO 100", "ISO 200", "iso 400", "ISO 1600",
                                                "ISO 3200"}));
}

TEST(AsciiLowercased, LowersOnlyTheAsciiCapitals) {
    EXPECT_EQ(asciiLowercased("IMG_0001.JPG"), "img_0001.jpg");
    EXPECT_EQ(asciiLowercased("f=Still"), "f=still");
    // Bytes beyond ASCII (here "É" in UTF-8) and symbols stay as they are.
    EXPECT_EQ(asciiLowercased("\xC3\x89T\xC3\x89@[]"), "\xC3\x89t\xC3\x89@[]");
    EXPECT_EQ(asciiLowercased(""), "");
}

TEST(StringFromRect, WritesTheRectangleAsTheLogShowsIt) {
    EXPECT_EQ(stringFromRect(0, 0, 1920, 1080), "{{0, 0}, {1920, 1080}}");
    EXPECT_EQ(stringFromRect(-2.5, 10, 0.25, 3), "{{-2.5, 10}, {0.25, 3}}");
}

TEST(HtmlEscapedTest, MarkupAndBothQuotesBecomeEntitiesTheRestStays) {
    EXPECT_EQ(htmlEscaped("<a href=\"x\">O'Neil & Co</a>"),
              "&lt;a href=&quot;x&quot;&gt;O&#39;Neil &amp; Co&lt;/a&gt;");
    EXPECT_EQ(htmlEscaped("Zoë 📷"), "Zoë 📷");
    EXPECT_EQ(htmlEscaped(""), "");
}

}  // namespace
}  // namespace klik
