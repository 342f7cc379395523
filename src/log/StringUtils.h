#pragma once
// String helpers shared by the log, the camera menus and the photo files: a
// bounded conversion of a C character buffer, an ordering for labels that
// hold numbers, ASCII lower case and the text of a rectangle.

#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace klik {

// Converts at most `maxLength` bytes (0: no limit, the buffer must then be
// terminated) of `bytes`, up to the first all-zero code unit, from the
// text encoding named `encoding` (an ICU converter name: "UTF-8",
// "UTF-16", "UTF-16LE", "UTF-32", "ISO-8859-1", ...) into UTF-8. A leading
// byte-order mark decides the byte order of "UTF-16" / "UTF-32" (host order
// without one) and is not part of the result; a UTF-8 one is skipped.
// None for an unknown encoding, a limit smaller than one code unit, or
// bytes that are not valid in the encoding. Any thread; the caller keeps
// the buffer, the result is the caller's.
std::optional<std::string> stringWithCString(const char* bytes, size_t maxLength,
                                             const std::string& encoding);

// Orders two UTF-8 strings ignoring case, comparing runs of ASCII digits by
// their numeric value: "ISO 100" < "ISO 1600", "file9" < "FILE10",
// "f/2.8" < "F/11". Pure; any thread.
std::weak_ordering numericalCaseInsensitiveCompare(std::string_view a, std::string_view b);

// `text` with only the ASCII letters A-Z lowered (file name extensions,
// settings keys, address parts: never locale-dependent). Pure; any thread.
std::string asciiLowercased(std::string_view text);

// `text` safe inside HTML text and quoted attribute values: & < > " and '
// as entities, everything else as it is. Pure; any thread.
std::string htmlEscaped(std::string_view text);

// A rectangle as the log writes it: "{{x, y}, {width, height}}", numbers in
// %g form. Pure; any thread.
std::string stringFromRect(double x, double y, double width, double height);

}  // namespace klik
