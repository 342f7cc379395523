#pragma once
// A rectangle in points, origin bottom-left, as window and view frames are
// given.

namespace klik {

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool operator==(const Rect&) const = default;
};

}  // namespace klik
