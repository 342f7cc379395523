#include "photo/PhotoDisplayDecode.h"

#include <jpeglib.h>

#include <algorithm>

#include "photo/ImageCodec.h"
#include "photo/ImageLimits.h"
#include "photo/JpegReader.h"

namespace klik {

namespace {

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// The scaled JPEG decode. Kept free of C++ objects with destructors between
// setjmp and the decoder calls: the output rows go into a buffer owned by
// the caller.
bool decodeScaledJpeg(const Data& jpeg, int minLongSide, DisplayBitmap& out, std::string* error) {
    JpegReader r;
    if (setjmp(r.err.jump)) return r.fail(error), false;
    r.readHeader(jpeg);
    if (!r.prepareRGBA(error)) return false;
    out.sourceWidth = static_cast<int>(r.d.image_width);
    out.sourceHeight = static_cast<int>(r.d.image_height);
    const int longSide = std::max(out.sourceWidth, out.sourceHeight);
    unsigned denom = 1;
    while (denom < 8 && longSide / static_cast<int>(denom * 2) >= minLongSide) denom *= 2;
    r.d.scale_num = 1;
    r.d.scale_denom = denom;
    jpeg_start_decompress(&r.d);
    Bitmap& bm = out.bitmap;
    bm.width = static_cast<int>(r.d.output_width);
    bm.height = static_cast<int>(r.d.output_height);
    bm.bytesPerRow = bm.width * 4;
    bm.pixels.resize(static_cast<size_t>(bm.bytesPerRow) * static_cast<size_t>(bm.height));
    while (r.d.output_scanline < r.d.output_height) {
        JSAMPROW row = bm.pixels.data() + static_cast<size_t>(r.d.output_scanline) * bm.bytesPerRow;
        jpeg_read_scanlines(&r.d, &row, 1);
    }
    const bool cmyk = r.isCmyk();
    jpeg_finish_decompress(&r.d);
    jpeg_destroy_decompress(&r.d);
    if (cmyk) convertInvertedCmykToRGBA(bm);
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
