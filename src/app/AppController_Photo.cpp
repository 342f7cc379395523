// A photo arriving from the camera: shown in the camera view, then kept
// (filed by the photo module, printed when auto-print is on); and the save
// action for the last photo.

#include <cctype>

#include "app/AppController.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/PropertyList.h"
#include "log/Log.h"
#include "log/StringUtils.h"

namespace klik {

namespace {

// The extension of a camera file name in lower case ("" without one).
std::string lowercaseExtension(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const std::string last = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = last.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return "";
    return asciiLowercased(last.substr(dot + 1));
}

}  // namespace

void AppController::newPhoto(const Dictionary& photo) {
    const std::string name = findString(photo, kPhotoFilenameKey).value_or("");
    GLIMRA_Log::debug("recieved new photo " + name);
    const Value* data = find(photo, kPhotoDataKey);
    const Data* bytes = data ? data->data() : nullptr;
    if (!bytes || bytes->empty()) {
        GLIMRA_Log::err("newPhoto: the photo notification for \"" + name +
                        "\" carries no photo data; there is nothing to show or keep");
        return;
    }

    // Decoding and storing happen here, off the main thread, so the screen
    // keeps drawing while a large photo is read.
    PicturePtr picture;
    if (_photoPipeline) {
        std::string error;
        if (auto shown = _photoPipeline->decodeForDisplay(*bytes, name, &error)) {
            GLIMRA_Log::debugf("updating image well with (%.0f, %.0f) image",
                               static_cast<double>(shown->width),
                               static_cast<double>(shown->height));
            picture = shown->picture;
        } else {
            GLIMRA_Log::err("newPhoto: the photo \"" + name + "\" (" +
                            std::to_string(bytes->size()) + " bytes) cannot be decoded (" + error +
                            "); it is not shown but kept as the camera sent it");
        }
    } else {
        GLIMRA_Log::err("newPhoto: no photo module attached; the photo \"" + name +
                        "\" is neither shown nor kept");
    }

    // The flow and the views belong to the main thread: whose photo it is,
    // the live view, the screen advance of a photo on the capture lead-in,
    // the display. A photo whose turn has ended changes none of them: the
    // guest at the screen never sees a stranger's picture.
    bool alive = false;
    bool mayPrint = false;
    PhotoArrival arrival;
    env_.runLoop.performOnMain(
        [this, weak = std::weak_ptr<bool>(alive_), &alive, &mayPrint, &arrival, &photo, &name,
         picture] {
            if (weak.expired()) return;
            alive = true;
            arrival = photoArriving(name);
            // A late photo is not printed for the guest now at the screen,
            // and one shot of several is not printed by itself (the print
            // picture of the turn's shots is).
            mayPrint = arrival.currentTurn && _shotsPerTurn == 1;
            if (_photoPipeline) _photoPipeline->setImageDict(photo);
            if (arrival.currentShot) {
                if (_isLiveView) liveViewOff();
                doAfterPhotoStuff();
                updateDisplayImage(picture);
            }
            performAfterDelay(1.0, [this] { clearProgressIndicator(); });
        },
        true);
    if (!alive) return;
    // Filed here, on the camera's thread, under the guest whose shot it is.
    const bool filed = keepCurrentPhoto(mayPrint);
    // Its gallery link and place, asked on the thread that filed it.
    const std::string link =
        filed && _photoPipeline ? _photoPipeline->shareLinkOfLastPhoto() : std::string();
    const FiledPhoto where =
        filed && _photoPipeline ? _photoPipeline->lastFiledPhoto() : FiledPhoto{};
    env_.runLoop.performOnMain(
        [this, weak = std::weak_ptr<bool>(alive_), &arrival, filed, &name, &link, &where] {
            if (weak.expired()) return;
            noteShareLink(arrival, link);
            photoFiled(arrival, filed, name, where);
        },
        true);
}

void AppController::doAfterPhotoStuff() {
    if (_screenNumber != 5) return;
    nextScreen();
    setPhotographerButtons(true, false);
}

void AppController::updateDisplayImage(const PicturePtr& picture) {
    if (!picture) return;
    _EVFView.setImage(picture);
}

void AppController::clearProgressIndicator() {
    _progress.setDoubleValue(0);
}

Dictionary AppController::imageDict() const {
    return _photoPipeline ? _photoPipeline->imageDict() : Dictionary{};
}

void AppController::setImageDict(Dictionary d) {
    if (_photoPipeline) _photoPipeline->setImageDict(std::move(d));
}

std::string AppController::saveImage() {
    return processPhotoData(imageDict());
}

std::string AppController::processPhotoData(const Dictionary& photo) {
    const Value* data = find(photo, kPhotoDataKey);
    const std::string name = findString(photo, kPhotoFilenameKey).value_or("");
    if (!data || !data->data() || data->data()->empty()) {
        GLIMRA_Log::debug("processPhotoData: there is no photo to save");
        return "";
    }
    const std::string ext = lowercaseExtension(name);
    std::string path = fixedPath("/tmp") + "/" +
                       stringWithUTSFormat("yyyyMMddHHmmss", env_.runLoop.now()) +
                       (ext.empty() ? "" : "." + ext);
    GLIMRA_Log::debug("saving camera image  \"" + name + "\" to \"" + path + "\"");
    // /tmp is shared with every user: the file is replaced, never written
    // through a link someone planted at the predictable name.
    const Data& bytes = *data->data();
    const std::string why = writeFileAtomically(std::string(bytes.begin(), bytes.end()), path);
    if (!why.empty()) {
        GLIMRA_Log::debug("failed to save image to path " + path + " (" + why + ")");
        return "";
    }
    env_.ui.openFile(path);
    return path;
}

}  // namespace klik
