#include "photo/PrintComposite.h"

#include "log/Log.h"

namespace klik {

PrintCompositeLayout printCompositeLayout(const Bitmap& frame) {
    PrintCompositeLayout l;
    if (frame.empty()) return l;
    AlphaFrame f = edgeMarginScan(frame, false, 10);
    f.width += 6;
    f.height += 4;
    f.y -= 3;
    l.canvasWidth = frame.width;
    l.canvasHeight = frame.height;
    GLIMRA_Log::debugf("Forcing the Pixel size of compositeImage to (%i,%i) Pixels", frame.width,
                       frame.height);
    l.photoFrame = f;
    l.photoRect = PixelRect{f.x, frame.height - f.y - f.height, f.width, f.height};
    return l;
}

}  // namespace klik
