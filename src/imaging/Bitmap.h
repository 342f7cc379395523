#pragma once
// A decoded picture as 8-bit interleaved samples, top row first. Artwork is
// always held as RGBA (alpha the fourth sample), whatever its file held.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace klik {

struct Bitmap {
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
    int bitsPerPixel = 32;
    int bitsPerSample = 8;
    bool planar = false;
    std::vector<std::uint8_t> pixels;  // bytesPerRow * height bytes

    bool empty() const { return width <= 0 || height <= 0 || pixels.empty(); }
    // Pointer to the first byte of pixel (x, y), y counted from the top row.
    const std::uint8_t* pixel(int x, int y) const {
        return pixels.data() + static_cast<size_t>(y) * bytesPerRow +
               static_cast<size_t>(x) * (bitsPerPixel / 8);
    }
    std::uint8_t* pixel(int x, int y) {
        return pixels.data() + static_cast<size_t>(y) * bytesPerRow +
               static_cast<size_t>(x) * (bitsPerPixel / 8);
    }

    // A width x height RGBA bitmap filled with one colour.
    static Bitmap rgba(int width, int height, std::uint8_t r = 255, std::uint8_t g = 255,
                       std::uint8_t b = 255, std::uint8_t a = 255);
};

}  // namespace klik
