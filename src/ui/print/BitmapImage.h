#pragma once
// Conversions between the core's RGBA bitmaps and Qt images.
//
// Any thread; pure copies, the caller owns the result.

#include <QImage>

#include "imaging/Bitmap.h"

namespace klik {

// An RGBA8888 copy of `bitmap` (8-bit RGBA or RGB, interleaved). A null
// image, with a log line, for any other layout.
QImage imageFromBitmap(const Bitmap& bitmap);
// An 8-bit RGBA bitmap of `image` (alpha not premultiplied). Empty when
// `image` is null.
Bitmap bitmapFromImage(const QImage& image);

}  // namespace klik
