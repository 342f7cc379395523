#pragma once
// Codes in hand-written property lists (the simulated cameras' files): an
// error code or an operation code is written as an integer, or as a string
// in decimal or hexadecimal ("0xA102", "0x100E"), the way vendors print them.

#include <cstdint>
#include <optional>

#include "foundation/Value.h"

namespace klik {

// Any thread. The code `v` holds, or nothing when it is neither an integer
// nor a whole-number string, or is negative, or is above `max` (0xFFFF for a
// 16-bit operation code, 0xFFFFFFFF for a 32-bit error code).
std::optional<std::uint32_t> plistCode(const Value& v, std::uint32_t max);

}  // namespace klik
