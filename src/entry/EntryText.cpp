#include "entry/EntryText.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace klik::entry {

namespace {

// Walks `text` one code point at a time; malformed sequences yield a
// negative value and still advance, so the walk always ends.
template <class Fn>
void forEachCodePoint(std::string_view text, Fn&& fn) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(s, i, length, c);
        if (!fn(c, static_cast<size_t>(start))) return;
    }
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    bool valid = true;
    forEachCodePoint(text, [&](UChar32 c, size_t) {
        if (c < 0) valid = false;
        return valid;
    });
    return valid;
}

std::u32string codePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](UChar32 c, size_t) {
        out.push_back(c < 0 ? U'\uFFFD' : static_cast<char32_t>(c));
        return true;
    });
    return out;
}

std::string utf8(std::u32string_view points) {
    std::string out;
    out.reserve(points.size());
    for (char32_t c : points) {
        uint8_t buffer[U8_MAX_LENGTH];
        int32_t n = 0;
        UBool error = false;
        const UChar32 cp = (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) ? 0xFFFD : c;
        U8_APPEND(buffer, n, U8_MAX_LENGTH, cp, error);
        if (!error) out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    return out;
}

size_t codePointCount(std::string_view text) {
    size_t n = 0;
    forEachCodePoint(text, [&](UChar32, size_t) {
        ++n;
        return true;
    });
    return n;
}

size_t byteOffsetOfCodePoint(std::string_view text, size_t index) {
    size_t offset = text.size();
    size_t n = 0;
    forEachCodePoint(text, [&](UChar32, size_t start) {
        if (n++ == index) {
            offset = start;
            return false;
        }
        return true;
    });
    return offset;
}

std::string lowercased(std::string_view text) {
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    u.toLower(icu::Locale::getRoot());
    std::string out;
    u.toUTF8String(out);
    return out;
}

std::string uppercased(std::string_view text) {
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    u.toUpper(icu::Locale::getRoot());
    std::string out;
    u.toUTF8String(out);
    return out;
}

bool isWhiteSpaceOrNewline(char32_t c) {
    return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

bool isControlOrLineBreak(char32_t c) {
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_CONTROL_CHAR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

bool isFormatCharacter(char32_t c) {
    return u_charType(static_cast<UChar32>(c)) == U_FORMAT_CHAR;
}

std::string trimmed(std::string_view text) {
    const std::u32string points = codePoints(text);
    size_t begin = 0;
    size_t end = points.size();
    while (begin < end && isWhiteSpaceOrNewline(points[begin])) ++begin;
    while (end > begin && isWhiteSpaceOrNewline(points[end - 1])) --end;
    if (isValidUtf8(text)) {
        // Cut the original bytes so the kept part is returned byte for byte.
        const size_t from = byteOffsetOfCodePoint(text, begin);
        const size_t to = byteOffsetOfCodePoint(text, end);
        return std::string(text.substr(from, to - from));
    }
    return utf8(std::u32string_view(points).substr(begin, end - begin));
}

std::string displayable(std::string_view text, size_t maxCodePoints) {
    std::u32string points = codePoints(text);
    const bool cut = points.size() > maxCodePoints;
    if (cut) points.resize(maxCodePoints);
    for (char32_t& c : points)
        if (isControlOrLineBreak(c) || isFormatCharacter(c)) c = U'\uFFFD';
    std::string out = utf8(points);
    if (cut) out += "\u2026";
    return out;
}

}  // namespace klik::entry
