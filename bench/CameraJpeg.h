#pragma once
// The picture the photo benchmarks file: a camera-like 6000 x 4000 JPEG.

#include "foundation/Value.h"

namespace klik {

// Fine noise everywhere, so the JPEG is as large as a real 24-megapixel shot
// at quality 96. Made once per process.
const Data& noisyCameraJpeg();

}  // namespace klik
