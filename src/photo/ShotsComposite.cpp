#include "photo/ShotsComposite.h"

#include "imaging/AlphaFrame.h"
#include "log/Log.h"
#include "photo/PrintComposite.h"

namespace klik {

Bitmap composeShotsInFrame(PrintPort& port, const Bitmap& frame, const std::vector<Bitmap>& shots,
                           std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return Bitmap{};
    };
    if (shots.empty()) return fail("no shot to lay out");
    if (frame.empty()) return fail("no print frame");
    const std::vector<AlphaFrame> windows = frameWindows(frame, false, 10);
    if (windows.empty()) return fail("the print frame has no transparent window");
    // Each pass draws one shot under the picture so far: the windows not
    // yet filled are still see-through, so every shot shows in its own.
    Bitmap canvas = frame;
    for (size_t i = 0; i < windows.size(); ++i) {
        const Bitmap& shot = shots[i % shots.size()];
        // Widened as a single photo's window is, so the shot reaches under
        // the frame's inner edge.
        const PixelRect place = topLeftRect(widenedUnderFrame(windows[i]), frame.height);
        const Bitmap fitted =
            centredCropToShape(shot, static_cast<int>(place.width), static_cast<int>(place.height));
        canvas = port.compositeImage(canvas, fitted, place);
        if (canvas.empty() || canvas.width != frame.width || canvas.height != frame.height)
            return fail("drawing shot " + std::to_string(i % shots.size() + 1) + " into window " +
                        std::to_string(i + 1) + " failed");
    }
    if (shots.size() > windows.size())
        GLIMRA_Log::debugf("composite: %zu shots, %zu windows: the first %zu shots are shown",
                           shots.size(), windows.size(), windows.size());
    return canvas;
}

}  // namespace klik
