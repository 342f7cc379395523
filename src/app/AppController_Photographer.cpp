// The photographer's actions: take, keep, take again, start over.

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"

namespace klik {

void AppController::takePhotoFromKeyBoard() {
    if (!_camera || !_camera->hasCamera()) {
        env_.ui.beep();
        env_.ui.beep();
        return;
    }
    takePicture();
}

void AppController::keepPhotoFromKeyBoard() {
    if (!_photoPipeline) {
        GLIMRA_Log::err("keepPhotoFromKeyBoard: no photo pipeline attached; the photo is not kept");
        return;
    }
    _photoPipeline->postProcessNewPhoto();
    if (!env_.settings.boolForKey(key::prefKeyForAutoPrintPhoto)) return;
    // The print prompt is a modal screen: it runs on the main thread, and a
    // photo kept on the camera's thread waits for it.
    PhotoPipelinePort* photos = _photoPipeline;
    env_.runLoop.performOnMain(
        [photos, weak = std::weak_ptr<bool>(alive_)] {
            if (!weak.expired()) photos->printCurrentPictureWithPrompt();
        },
        true);
}

void AppController::takePhotoAgainFromKeyBoard() {
    // Unsigned: on screen 1 this leaves the number at 0 after nextScreen().
    _screenNumber -= 2;
    nextScreen();
}

void AppController::startOverFromKeyBoard() {
    if (_screenNumber > 2) startOver();
}

}  // namespace klik
