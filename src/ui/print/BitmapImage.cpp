#include "ui/print/BitmapImage.h"

#include <cstring>

#include "log/Log.h"

namespace klik {

QImage imageFromBitmap(const Bitmap& bitmap) {
    if (bitmap.empty()) return {};
    const int bpp = bitmap.bitsPerPixel;
    if (bitmap.planar || bitmap.bitsPerSample != 8 || (bpp != 32 && bpp != 24)) {
        GLIMRA_Log::errf("imageFromBitmap: unsupported layout (%i bits per pixel, %i per sample%s)",
                         bpp, bitmap.bitsPerSample, bitmap.planar ? ", planar" : "");
        return {};
    }
    const int bytesPerPixel = bpp / 8;
    if (bitmap.bytesPerRow < bitmap.width * bytesPerPixel ||
        bitmap.pixels.size() < static_cast<size_t>(bitmap.bytesPerRow) * bitmap.height) {
        GLIMRA_Log::errf("imageFromBitmap: %ix%i bitmap with %zu bytes is truncated", bitmap.width,
                         bitmap.height, bitmap.pixels.size());
        return {};
    }
    QImage image(bitmap.width, bitmap.height,
                 bpp == 32 ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (image.isNull()) {
        GLIMRA_Log::errf("imageFromBitmap: no memory for a %ix%i image", bitmap.width,
                         bitmap.height);
        return {};
    }
    for (int y = 0; y < bitmap.height; ++y)
        std::memcpy(image.scanLine(y), bitmap.pixel(0, y),
                    static_cast<size_t>(bitmap.width) * bytesPerPixel);
    return image;
}

Bitmap bitmapFromImage(const QImage& image) {
    if (image.isNull()) return {};
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    Bitmap out;
    out.width = rgba.width();
    out.height = rgba.height();
    out.bytesPerRow = out.width * 4;
    out.pixels.resize(static_cast<size_t>(out.bytesPerRow) * out.height);
    for (int y = 0; y < out.height; ++y)
        std::memcpy(out.pixel(0, y), rgba.constScanLine(y), static_cast<size_t>(out.bytesPerRow));
    return out;
}

}  // namespace klik
