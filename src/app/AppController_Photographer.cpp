// The photographer's actions: take, keep, take again, start over.

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"

namespace klik {

void AppController::takePhotoFromKeyBoard() {
    if (!_camera->hasCamera()) {
        env_.ui.beep();
        env_.ui.beep();
        return;
    }
    takePicture();
}

void AppController::keepPhotoFromKeyBoard() {
    keepCurrentPhoto(true);
}

bool AppController::keepCurrentPhoto(bool mayPrint) {
    if (!_photoPipeline) {
        GLIMRA_Log::err("keepPhotoFromKeyBoard: no photo pipeline attached; the photo is not kept");
        return false;
    }
    const bool filed = _photoPipeline->postProcessNewPhoto();
    if (!env_.settings.boolForKey(key::prefKeyForAutoPrintPhoto)) return filed;
    if (!mayPrint) {
        GLIMRA_Log::debug(
            "keepPhotoFromKeyBoard: a photo of an earlier turn is not printed for "
            "the guest at the screen");
        return filed;
    }
    // The print prompt is a modal screen: it runs on the main thread, and a
    // photo kept on the camera's thread waits for it.
    PhotoPipelinePort* photos = _photoPipeline;
    env_.runLoop.performOnMain(
        [photos, weak = std::weak_ptr<bool>(alive_)] {
            if (!weak.expired()) photos->printCurrentPictureWithPrompt();
        },
        true);
    return filed;
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
