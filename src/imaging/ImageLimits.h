#pragma once
// The largest picture the kiosk agrees to decode. A JPEG or PNG header can
// claim any size; decoding one that claims tens of thousands of pixels on
// each side would take gigabytes before a single row is read. Every decoder
// checks the claimed size against this limit first and refuses with a
// clear message.
//
// Process-wide; read from any thread, set at start-up (main thread).

#include <cstdint>
#include <string>

#include "foundation/Settings.h"

namespace klik {

// The settings key: the limit in megapixels (integer).
inline constexpr const char* kImagePixelLimitKey = "prefImagePixelLimitMegapixels";
inline constexpr std::uint64_t kDefaultImagePixelLimit = 120'000'000;

std::uint64_t imagePixelLimit();
// 0 restores the default.
void setImagePixelLimit(std::uint64_t pixels);
// Sets the limit from the setting; unset, or below 1 megapixel, gives the
// default.
void applyImagePixelLimitSetting(Settings& settings);

// "" when a `width` x `height` picture may be decoded, else why not (the
// sizes and the limit, ready for the log or the operator).
std::string pixelLimitProblem(std::uint64_t width, std::uint64_t height);

}  // namespace klik
