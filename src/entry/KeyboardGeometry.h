#pragma once
// Sizes and rectangles of the keyboard's content, in points, origin at the
// bottom left (y grows upwards), as the layout files give them.

namespace klik {

struct ViewSize {
    float width = 0;
    float height = 0;
    bool operator==(const ViewSize&) const = default;
};

struct ViewRect {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    bool operator==(const ViewRect&) const = default;

    ViewSize size() const { return {width, height}; }
    // The rectangle grown by `d` on every side (shrunk when negative).
    ViewRect insetBy(float d) const { return {x + d, y + d, width - 2 * d, height - 2 * d}; }
};

}  // namespace klik
