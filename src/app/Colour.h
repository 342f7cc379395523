#pragma once
// An RGBA colour with components from 0 to 1, as the views' text and picture
// colours are given.

namespace klik {

struct Colour {
    double red = 0, green = 0, blue = 0, alpha = 1;

    static constexpr Colour white() { return {1, 1, 1, 1}; }
    static constexpr Colour black() { return {0, 0, 0, 1}; }

    bool operator==(const Colour&) const = default;
};

}  // namespace klik
