#include "CameraJpeg.h"

#include <cstdint>

#include "imaging/Bitmap.h"
#include "imaging/ImageCodec.h"

namespace klik {

const Data& noisyCameraJpeg() {
    static const Data jpeg = [] {
        Bitmap bm = Bitmap::rgba(6000, 4000);
        std::uint32_t seed = 7;
        for (int y = 0; y < bm.height; ++y)
            for (int x = 0; x < bm.width; ++x) {
                auto* p = bm.pixel(x, y);
                seed = seed * 1664525u + 1013904223u;
                p[0] = static_cast<std::uint8_t>((x / 9 + (seed >> 27)) & 0xff);
                p[1] = static_cast<std::uint8_t>((y / 7 + ((seed >> 18) & 31)) & 0xff);
                p[2] = static_cast<std::uint8_t>(((x + y) / 13 + ((seed >> 10) & 31)) & 0xff);
            }
        return *encodeJpegFromRGBA(bm, 96);
    }();
    return jpeg;
}

}  // namespace klik
