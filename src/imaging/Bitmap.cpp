#include "imaging/Bitmap.h"

namespace klik {

Bitmap Bitmap::rgba(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                    std::uint8_t a) {
    Bitmap bm;
    if (width <= 0 || height <= 0) return bm;
    bm.width = width;
    bm.height = height;
    bm.bytesPerRow = width * 4;
    bm.pixels.resize(static_cast<size_t>(bm.bytesPerRow) * height);
    for (size_t i = 0; i < bm.pixels.size(); i += 4) {
        bm.pixels[i] = r;
        bm.pixels[i + 1] = g;
        bm.pixels[i + 2] = b;
        bm.pixels[i + 3] = a;
    }
    return bm;
}

}  // namespace klik
