#pragma once
// Text helpers for what guests type and scanners send. Every input is UTF-8
// of unknown quality: the helpers never trust it to be well formed, and
// count and cut in Unicode code points, never in bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace klik::entry {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
// Any thread; pure.
bool isValidUtf8(std::string_view text);

// The text as code points; malformed sequences become U+FFFD. Any thread.
std::u32string codePoints(std::string_view text);
// Code points back to UTF-8. Any thread.
std::string utf8(std::u32string_view codePoints);
// The number of code points (a malformed sequence counts as one). Any thread.
size_t codePointCount(std::string_view text);
// Byte offset of code point `index` (clamped to the end). Any thread.
size_t byteOffsetOfCodePoint(std::string_view text, size_t index);

// Locale-independent full case mappings (ICU root locale). Any thread.
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

// Unicode White_Space (spaces, tabs, line ends, no-break spaces, ...).
bool isWhiteSpaceOrNewline(char32_t c);
// General category Cc (C0, DEL, C1) or a line/paragraph separator.
bool isControlOrLineBreak(char32_t c);
// General category Cf: invisible format characters, among them the
// bidirectional embeddings, overrides and isolates (U+202A-U+202E,
// U+2066-U+2069) that make text display in another order than it is stored,
// the marks U+200E/U+200F/U+061C, zero-width characters and U+FEFF.
bool isFormatCharacter(char32_t c);
// `text` without white space and line ends at either end. Any thread.
std::string trimmed(std::string_view text);

// A form that is safe to put in a log line or an alert: malformed bytes,
// control and format characters become U+FFFD and the text is cut after `maxCodePoints`
// code points with an ellipsis. Any thread.
std::string displayable(std::string_view text, size_t maxCodePoints = 256);

}  // namespace klik::entry
