#pragma once
// The centred square of a JPEG photo. Only the rows and columns of the
// square are decoded (cropped and skipped scan lines), the square is
// encoded once, and the source's EXIF block is carried over unchanged.

#include <optional>
#include <string>

#include "foundation/Value.h"

namespace klik {

struct SquareGeometry {
    int sourceWidth = 0;
    int sourceHeight = 0;
    int x = 0;     // left edge of the square in the source, from the left
    int y = 0;     // top edge of the square in the source, from the top
    int side = 0;  // width = height
};

// The square's place in a w x h picture: side min(w, h), equal strips cut
// from both long sides.
SquareGeometry centredSquareGeometry(int width, int height);

// Encodes the centred square of `jpeg` at `quality`, the source's EXIF
// APP1 block copied in. A square source is returned unchanged (no second
// generation of loss). nullopt, with the reason in `error`, when the data is
// not a decodable JPEG, is damaged (cut off, or libjpeg warns of corrupt
// data) or claims more pixels than imagePixelLimit(). Any thread; allocates
// one row of the source at a time besides the output.
std::optional<Data> centredSquareJpeg(const Data& jpeg, int quality = 90,
                                      SquareGeometry* geometry = nullptr,
                                      std::string* error = nullptr);

// True when the data ends with the end-of-image marker (trailing zero
// padding allowed): a cut-off file does not.
bool jpegEndsWithEndMarker(const Data& jpeg);

// The APP1 "Exif\0\0" payload of a JPEG (without marker and length), empty
// when there is none. Scans the marker segments only.
Data exifApp1Payload(const Data& jpeg);

}  // namespace klik
