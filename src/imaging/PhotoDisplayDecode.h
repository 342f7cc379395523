#pragma once
// A camera photo decoded for the screen or for a print's photo window. Both
// are far smaller than the photo, so a JPEG is decoded at the largest
// reduction libjpeg-turbo offers (1/2, 1/4, 1/8) that still leaves enough
// pixels: a quarter of the work and a sixteenth of the memory of a full
// decode for a 6000 x 4000 photo. Other pictures (PNG) are decoded in full.
//
// Any thread; no shared state.

#include <optional>
#include <string>

#include "foundation/Value.h"
#include "imaging/Bitmap.h"

namespace klik {

struct DisplayBitmap {
    Bitmap bitmap;        // RGBA, top row first
    int sourceWidth = 0;  // the photo's own size
    int sourceHeight = 0;
};

// nullopt, with the decoder's reason in `error`, when the bytes are no
// decodable JPEG or PNG.
std::optional<DisplayBitmap> decodePhotoForDisplay(const Data& photo, int minLongSide,
                                                   std::string* error = nullptr);

// At least `width` x `height` pixels are left, so the photo still covers a
// window of that size: cropped to the window's shape and scaled down, it
// loses nothing a full decode would have given it.
std::optional<DisplayBitmap> decodePhotoToCover(const Data& photo, int width, int height,
                                                std::string* error = nullptr);

}  // namespace klik
