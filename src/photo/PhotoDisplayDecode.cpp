#include "photo/PhotoDisplayDecode.h"

#include <jpeglib.h>

#include <algorithm>

#include "photo/ImageCodec.h"
#include "photo/ImageLimits.h"
#include "photo/JpegError.h"

namespace klik {

namespace {

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// The scaled JPEG decode. Kept free of C++ objects with destructors between
// setjmp and the decoder calls: the output rows go into a buffer owned by
// the caller.
bool decodeScaledJpeg(const Data& jpeg, int minLongSide, DisplayBitmap& out, std::string* error) {
    jpeg_decompress_struct d{};
    JpegErrorManager err;
    d.err = err.install();
    if (setjmp(err.jump)) {
        setError(error, err.message);
        jpeg_destroy_decompress(&d);
        return false;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&d, TRUE);
    if (const std::string tooLarge = pixelLimitProblem(d.image_width, d.image_height);
        !tooLarge.empty()) {
        setError(error, tooLarge);
        jpeg_destroy_decompress(&d);
        return false;
    }
    out.sourceWidth = static_cast<int>(d.image_width);
    out.sourceHeight = static_cast<int>(d.image_height);
    const int longSide = std::max(out.sourceWidth, out.sourceHeight);
    unsigned denom = 1;
    while (denom < 8 && longSide / static_cast<int>(denom * 2) >= minLongSide) denom *= 2;
    d.scale_num = 1;
    d.scale_denom = denom;
    const bool cmyk = d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK;
    d.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(&d);
    Bitmap& bm = out.bitmap;
    bm.width = static_cast<int>(d.output_width);
    bm.height = static_cast<int>(d.output_height);
    bm.bytesPerRow = bm.width * 4;
    bm.pixels.resize(static_cast<size_t>(bm.bytesPerRow) * static_cast<size_t>(bm.height));
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = bm.pixels.data() + static_cast<size_t>(d.output_scanline) * bm.bytesPerRow;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    if (cmyk) {
        // Adobe's inverted CMYK, which is what such files carry.
        for (size_t i = 0; i < bm.pixels.size(); i += 4) {
            const unsigned k = bm.pixels[i + 3];
            bm.pixels[i] = static_cast<std::uint8_t>(bm.pixels[i] * k / 255);
            bm.pixels[i + 1] = static_cast<std::uint8_t>(bm.pixels[i + 1] * k / 255);
            bm.pixels[i + 2] = static_cast<std::uint8_t>(bm.pixels[i + 2] * k / 255);
            bm.pixels[i + 3] = 255;
        }
    }
    return true;
}

}  // namespace

std::optional<DisplayBitmap> decodePhotoForDisplay(const Data& photo, int minLongSide,
                                                   std::string* error) {
    DisplayBitmap out;
    if (looksLikeJpeg(photo)) {
        if (!decodeScaledJpeg(photo, std::max(1, minLongSide), out, error)) return std::nullopt;
        return out;
    }
    if (looksLikePng(photo)) {
        auto bm = decodePngToRGBA(photo, error);
        if (!bm) return std::nullopt;
        out.sourceWidth = bm->width;
        out.sourceHeight = bm->height;
        out.bitmap = std::move(*bm);
        return out;
    }
    setError(error, "neither a JPEG nor a PNG");
    return std::nullopt;
}

}  // namespace klik
