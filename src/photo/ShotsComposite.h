#pragma once
// The print picture of a turn with several shots: the print frame drawn
// with one transparent window per shot, each window filled with its shot
// (the shot's centred part with the window's shape, reaching under the
// window's inner edge as a single photo does), the frame over all.
//
// Windows are filled in the order frameWindows gives (top to bottom, left
// to right). A frame with fewer windows than shots takes the first shots;
// one with more windows than shots fills the rest with the shots again
// from the first, so no print has a blank hole.
//
// Main thread (the port draws); blocks for the drawing.

#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "photo/PrintPort.h"

namespace klik {

// The composite, or an empty bitmap with the reason in `error` (no shot,
// no window in the frame, the port could not draw).
Bitmap composeShotsInFrame(PrintPort& port, const Bitmap& frame, const std::vector<Bitmap>& shots,
                           std::string* error);

}  // namespace klik
