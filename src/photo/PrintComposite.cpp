#include "photo/PrintComposite.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "log/Log.h"

namespace klik {

PrintCompositeLayout printCompositeLayout(const Bitmap& frame) {
    PrintCompositeLayout l;
    if (frame.empty()) return l;
    const AlphaFrame f = widenedUnderFrame(edgeMarginScan(frame, false, 10));
    l.canvasWidth = frame.width;
    l.canvasHeight = frame.height;
    GLIMRA_Log::debugf("Forcing the Pixel size of compositeImage to (%i,%i) Pixels", frame.width,
                       frame.height);
    l.photoFrame = f;
    l.photoRect = topLeftRect(f, frame.height);
    return l;
}

AlphaFrame widenedUnderFrame(AlphaFrame window) {
    window.width += 6;
    window.height += 4;
    window.y -= 3;
    return window;
}

PixelRect topLeftRect(const AlphaFrame& f, int canvasHeight) {
    return PixelRect{f.x, static_cast<float>(canvasHeight) - f.y - f.height, f.width, f.height};
}

Bitmap centredCropToShape(const Bitmap& photo, int width, int height) {
    if (photo.empty() || width <= 0 || height <= 0) return photo;
    const std::int64_t pw = photo.width, ph = photo.height;
    // The largest centred part of the photo with the window's shape.
    std::int64_t cw = pw, ch = ph;
    if (pw * height > ph * width)
        cw = std::max<std::int64_t>(1, (ph * width + height / 2) / height);
    else
        ch = std::max<std::int64_t>(1, (pw * height + width / 2) / width);
    if (cw == pw && ch == ph) return photo;
    const int x0 = static_cast<int>((pw - cw) / 2), y0 = static_cast<int>((ph - ch) / 2);
    const int bytesPerPixel = photo.bitsPerPixel / 8;
    Bitmap out;
    out.bitsPerPixel = photo.bitsPerPixel;
    out.bitsPerSample = photo.bitsPerSample;
    out.width = static_cast<int>(cw);
    out.height = static_cast<int>(ch);
    out.bytesPerRow = out.width * bytesPerPixel;
    out.pixels.assign(static_cast<size_t>(out.bytesPerRow) * out.height, 0);
    for (int y = 0; y < out.height; ++y)
        std::memcpy(out.pixel(0, y), photo.pixel(x0, y0 + y), static_cast<size_t>(out.bytesPerRow));
    return out;
}

}  // namespace klik
