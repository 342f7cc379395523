#include "imaging/PhotoDisplayDecode.h"

#include <jpeglib.h>

#include <algorithm>

#include "imaging/ImageCodec.h"
#include "imaging/ImageLimits.h"
#include "imaging/JpegReader.h"

namespace klik {

namespace {

void setDecodeError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// How far a decode may shrink the photo: its long side down to at least
// `minLongSide`, and each side down to at least `minWidth` x `minHeight`.
struct ScaleFloor {
    int minLongSide = 1;
    int minWidth = 1;
    int minHeight = 1;
};

// The largest reduction libjpeg-turbo offers (1/2, 1/4, 1/8) that leaves the
// photo no smaller than the floor; it rounds a reduced side up, as here.
unsigned reductionFor(int width, int height, const ScaleFloor& floor) {
    const auto reduced = [](int side, unsigned denom) {
        return static_cast<int>((static_cast<unsigned>(side) + denom - 1) / denom);
    };
    unsigned denom = 1;
    while (denom < 8) {
        const unsigned next = denom * 2;
        const int w = reduced(width, next), h = reduced(height, next);
        if (std::max(w, h) < floor.minLongSide || w < floor.minWidth || h < floor.minHeight) break;
        denom = next;
    }
    return denom;
}

// The scaled JPEG decode. Kept free of C++ objects with destructors between
// setjmp and the decoder calls: the output rows go into a buffer owned by
// the caller.
bool decodeScaledJpeg(const Data& jpeg, const ScaleFloor& floor, DisplayBitmap& out,
                      std::string* error) {
    JpegReader r;
    if (setjmp(r.err.jump)) return r.fail(error), false;
    r.readHeader(jpeg);
    if (!r.prepareRGBA(error)) return false;
    out.sourceWidth = static_cast<int>(r.d.image_width);
    out.sourceHeight = static_cast<int>(r.d.image_height);
    r.d.scale_num = 1;
    r.d.scale_denom = reductionFor(out.sourceWidth, out.sourceHeight, floor);
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

std::optional<DisplayBitmap> decodeReduced(const Data& photo, const ScaleFloor& floor,
                                           std::string* error) {
    DisplayBitmap out;
    if (looksLikeJpeg(photo)) {
        if (!decodeScaledJpeg(photo, floor, out, error)) return std::nullopt;
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
    setDecodeError(error, "neither a JPEG nor a PNG");
    return std::nullopt;
}

}  // namespace

std::optional<DisplayBitmap> decodePhotoForDisplay(const Data& photo, int minLongSide,
                                                   std::string* error) {
    return decodeReduced(photo, ScaleFloor{std::max(1, minLongSide), 1, 1}, error);
}

std::optional<DisplayBitmap> decodePhotoToCover(const Data& photo, int width, int height,
                                                std::string* error) {
    return decodeReduced(photo, ScaleFloor{1, std::max(1, width), std::max(1, height)}, error);
}

}  // namespace klik
