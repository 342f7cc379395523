// The live preview of the current input: the still camera's live view or
// the video camera's preview.

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"

namespace klik {

void AppController::liveViewOn() {
    _isLiveView = true;
    _liveViewRestarted = false;
    GLIMRA_Log::debug("liveViewBegin!");
    if (isVideoInput()) {
        if (_videoRecorder) _videoRecorder->startSession();
    } else {
        _camera->liveViewOn();
    }
}

void AppController::liveViewOff() {
    _isLiveView = false;
    GLIMRA_Log::debug("liveViewEnd!");
    if (isVideoInput()) {
        if (_videoRecorder) _videoRecorder->stopSession();
    } else {
        _camera->liveViewOff();
    }
}

void AppController::setInputType(int tag) {
    if (!_videoRecorder && tag == kInputTagVideo) {
        GLIMRA_Log::debug("2014-11-13orlo FORCING tag = 1 since _QTCView = NIL.....");
        tag = kInputTagCamera;
    }
    const bool video = tag == kInputTagVideo;
    const char* type = video ? "kQTCaptureType" : "kDSLR_CameraType";
    View* chosen = video ? &_QTCView : &_EVFView;
    if (chosen == _currentInputView) return;

    env_.settings.setString(key::KLIK_CameraInputType, type);
    const Rect e = _EVFView.frame();
    const Rect q = _QTCView.frame();
    GLIMRA_Log::debugf(
        "switching input view: EVFframe: {{%g, %g}, {%g, %g}} ,QTCframe: {{%g, %g}, {%g, %g}}", e.x,
        e.y, e.width, e.height, q.x, q.y, q.width, q.height);
    // The chosen view takes the old one's place in the live side.
    chosen->setFrame(_currentInputView->frame());
    if (View* parent = _currentInputView->superview()) parent->addSubview(*chosen);
    _currentInputView->removeFromSuperview();
    _alternateInputView = _currentInputView;
    _currentInputView = chosen;
    _currentInputView->setHidden(false);
    GLIMRA_Log::debugf("changing input camera type to %s", type);
}

}  // namespace klik
