// Placement of the live preview on the live side.

#include "app/AppController.h"

namespace klik {

void AppController::resizeLiveViewToFit() {
    // Without frame artwork to fit into, the preview fills the live side.
    // The frame-window layout replaces this when the artwork carries one.
    const Rect live = _liveView.frame();
    if (!live.isEmpty()) _currentInputView->setFrame(Rect{0, 0, live.width, live.height});
}

}  // namespace klik
