#pragma once
// Turns a controller picture into pixels Qt can draw: artwork and photo
// files are read, encoded bytes decoded, in-memory pixels wrapped. GUI or
// any thread (QImage only); the caller owns the result.

#include <QImage>

#include "app/Picture.h"

namespace klik {

// A null image (with the reason logged once per picture) when the picture
// cannot be decoded.
QImage imageFromPicture(const Picture& picture);

}  // namespace klik
