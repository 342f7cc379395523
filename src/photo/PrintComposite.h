#pragma once
// Where the photo goes on the print: the print frame's transparent window
// (edge-margin scan, margin 10, in pixels), widened so the photo reaches
// under the frame's inner edge: width + 6, height + 4, y - 3, x unchanged.
//
// Any thread; pure computation.

#include "imaging/AlphaFrame.h"
#include "photo/PrintPort.h"

namespace klik {

struct PrintCompositeLayout {
    int canvasWidth = 0;  // the frame's pixel size
    int canvasHeight = 0;
    AlphaFrame photoFrame;  // widened window, origin bottom-left
    PixelRect photoRect;    // the same, origin top-left, for drawing

    // False when the frame has no usable window (fully opaque artwork).
    bool valid() const { return photoFrame.width > 0 && photoFrame.height > 0; }
};

PrintCompositeLayout printCompositeLayout(const Bitmap& frame);

// A window widened as the photo's place is, so the photo reaches under
// the frame's inner edge.
AlphaFrame widenedUnderFrame(AlphaFrame window);
// `f` (origin bottom-left) as a drawing rectangle, origin top-left.
PixelRect topLeftRect(const AlphaFrame& f, int canvasHeight);

// The largest centred part of `photo` with the shape of a `width` x
// `height` window: drawn into the window it fills it with the photo's
// aspect kept (the square photo is not squashed into a tall window).
// `photo` itself when the shapes already agree.
Bitmap centredCropToShape(const Bitmap& photo, int width, int height);

}  // namespace klik
