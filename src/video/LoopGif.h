#pragma once
// An animated GIF from RGBA frames of one size: one palette of 256 colours
// for all frames (libimagequant, dithered), looping forever (giflib).
// Written beside `path`, then renamed over it.
//
// Any thread.

#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace klik {

// `delayHundredths`: each frame's time in 1/100 s. False with the reason.
bool writeAnimatedGif(const std::vector<Bitmap>& frames, const std::string& path,
                      int delayHundredths, std::string* error);

}  // namespace klik
