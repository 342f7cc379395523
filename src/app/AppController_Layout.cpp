// Placement of the live preview on the live side, and centring of views in
// their containers.

#include <algorithm>

#include "app/AppController.h"
#include "log/Log.h"

namespace klik {

void AppController::resizeLiveViewToFit() {
    const Rect live = _liveView.frame();
    if (live.isEmpty()) return;
    // The preview fills the live side unless the reference artwork says
    // where its window is; a kiosk without that artwork still shows the
    // guest.
    const Rect fill{0, 0, live.width, live.height};
    std::optional<ArtworkPort::ReferenceWindow> ref;
    if (_artwork) ref = _artwork->liveVideoReferenceWindow();
    if (!ref) {
        GLIMRA_Log::debug(
            "resizeLiveViewToFit: no LiveVideoReference window, the live view fills the live "
            "window");
        _currentInputView->setFrame(fill);
        return;
    }
    if (ref->referenceWidth <= 0 || ref->window.isEmpty()) {
        GLIMRA_Log::debugf(
            "resizeLiveViewToFit: LiveVideoReference (%.0f x %.0f) has no transparent window, the "
            "live view fills the live window",
            ref->referenceWidth, ref->referenceHeight);
        _currentInputView->setFrame(fill);
        return;
    }
    // One factor for both axes: live width / reference width when the
    // live side has the artwork's shape. On a screen of another shape the
    // live picture is drawn proportionally and centred, so the window
    // follows the same fit, or the preview would sit outside the frame's
    // window.
    double scale = live.width / ref->referenceWidth;
    if (ref->referenceHeight > 0) scale = std::min(scale, live.height / ref->referenceHeight);
    const double offsetX = (live.width - ref->referenceWidth * scale) / 2;
    const double offsetY =
        ref->referenceHeight > 0 ? (live.height - ref->referenceHeight * scale) / 2 : 0;
    const Rect w = ref->window;
    _currentInputView->setFrame(
        Rect{w.x * scale + offsetX, w.y * scale + offsetY, w.width * scale, w.height * scale});
}

void AppController::centerInSuperview(View* view, bool horizontally, bool vertically, float hScale,
                                      float vScale) {
    if (!view || (!horizontally && !vertically)) return;
    Rect f = view->frame();
    // A view without a container is laid out as if the container had no
    // size.
    const Rect container = view->superview() ? view->superview()->frame() : Rect{};
    if (horizontally) {
        f.width = view->frame().width * hScale;
        f.x = (container.width - f.width) / 2;
        if (f.x < 0) {
            f.x = 0;
            f.width = container.width;
        }
    }
    if (vertically) {
        // No clamp: a taller view overhangs both edges evenly.
        f.height = view->frame().height * vScale;
        f.y = (container.height - f.height) / 2;
    }
    view->setFrame(f);
}

void AppController::observeFrameChanges() {
    // Views report every change; only a new frame counts here.
    _liveFrameSeen = _liveView.frame();
    _liveFrameObserver = _liveView.addChangeObserver([this](const View& v) {
        if (v.frame() == _liveFrameSeen) return;
        _liveFrameSeen = v.frame();
        NSViewFrameDidChangeNotification(v);
    });
    _keyboardContainer = _keyboard.superview();
    if (!_keyboardContainer) return;
    _keyboardContainerFrameSeen = _keyboardContainer->frame();
    _keyboardContainerObserver = _keyboardContainer->addChangeObserver([this](const View& v) {
        if (v.frame() == _keyboardContainerFrameSeen) return;
        _keyboardContainerFrameSeen = v.frame();
        NSViewFrameDidChangeNotification(v);
    });
}

void AppController::NSViewFrameDidChangeNotification(const View& view) {
    if (&view == &_liveView) {
        resizeLiveViewToFit();
        centerInSuperview(&_countdownOverlay, true, true, 1, 1);
    } else if (&view == _keyboard.superview()) {
        centerInSuperview(&_keyboard, true, false, 1, 1);
    }
}

}  // namespace klik
