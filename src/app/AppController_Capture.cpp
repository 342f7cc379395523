// The shot (still camera) or the recording (video camera), the capture file
// base name and the solid pictures the flow uses.

#include <filesystem>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "foundation/DateFormat.h"
#include "log/Log.h"

namespace klik {

namespace {

// Seconds the flash picture stays on the overlay.
constexpr double kFlashSeconds = 0.5;

// Recordings whose guest is remembered for their composition: a few turns'
// worth, more than can be waiting to be composed.
constexpr std::size_t kRememberedRecordings = 8;

// Text from the web page or the settings becomes part of a file name: keep
// it from naming another folder or carrying control characters.
std::string fileNameSafe(const std::string& s) {
    std::string out = s;
    for (char& ch : out) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '/' || ch == '\\' || u < 0x20 || u == 0x7f) ch = '_';
    }
    return out;
}

}  // namespace

void AppController::takePicture() {
    if (!isVideoInput()) {
        GLIMRA_Log::debug("take a picture!");
        if (PicturePtr flash = imageNamed("live_flash")) {
            // The flash goes back after half a second whatever the flow does
            // meanwhile.
            PicturePtr shown = _overlayContentView.image();
            _overlayContentView.setImage(flash);
            performAfterDelay(kFlashSeconds,
                              [this, shown] { _overlayContentView.setImage(shown); });
        }
        env_.ui.playSound("Grab");
        _progress.setDoubleValue(5);
        recordShotRequest();
        _camera->takePicture();
        return;
    }

    GLIMRA_Log::debug("start the video capture!");
    // An earlier recording's end must not end this turn (a start over left
    // it pending, or this recording does not start).
    if (_recordingEndTimer) {
        _recordingEndTimer->invalidate();
        _recordingEndTimer.reset();
    }
    const std::string base =
        formDateString(stringWithUTSFormat("YYYYMMddHHmmss", env_.runLoop.now()));
    const std::string path =
        std::filesystem::path(readScratchFolder(env_.settings) + "/" + base + ".mov")
            .lexically_normal()
            .string();
    GLIMRA_Log::debugf("writing file to %s", path.c_str());
    if (!_videoRecorder) {
        GLIMRA_Log::err("no video recorder attached; nothing is recorded");
        return;
    }
    if (!_videoRecorder->startRecording(path)) {
        GLIMRA_Log::errf("the recording into %s did not start", path.c_str());
        return;
    }
    _recordingPath = path;
    _recordingGuests.emplace_back(path, currentGuestSession());
    while (_recordingGuests.size() > kRememberedRecordings) _recordingGuests.pop_front();
    scheduleEndOfRecording(readMaxRecordingLength(env_.settings));
}

GuestSession AppController::recordingSession(const std::string& path) const {
    for (auto it = _recordingGuests.rbegin(); it != _recordingGuests.rend(); ++it)
        if (it->first == path) return it->second;
    return currentGuestSession();
}

PhotoSession AppController::recordingPhotoSession(const std::string& path) const {
    return filingSessionOf(recordingSession(path));
}

void AppController::scheduleEndOfRecording(double seconds) {
    if (_recordingEndTimer) _recordingEndTimer->invalidate();
    _recordingEndTimer = performAfterDelay(seconds, [this] { endOfRecording(); });
}

void AppController::endOfRecording() {
    _recordingEndTimer.reset();
    if (_videoRecorder && _videoRecorder->isRecording()) {
        GLIMRA_Log::debugf("recording length is up, ending the recording into %s",
                           _recordingPath.c_str());
        _videoRecorder->stopRecording();
    }
    // The guest's turn ends with their recording: the capture screen waited
    // for it, the review follows (and closes the session).
    if (_screenNumber == 6 && isVideoInput()) nextScreen();
}

void AppController::stopCapture() {
    if (_recordingEndTimer) {
        _recordingEndTimer->invalidate();
        _recordingEndTimer.reset();
    }
    if (!_videoRecorder) return;
    _videoRecorder->stopRecording();
    _videoRecorder->stopSession();
}

std::string AppController::formDateString(const std::string& s) const {
    const Settings& settings = env_.settings;
    if (!settings.boolForKey(key::prefDoUseWebView)) return s;
    std::string out = s;
    if (_webViewWindowController) {
        if (auto info = _webViewWindowController->webReturnInfo()) {
            const Value& id = (*info)["sittingid"];
            if (id.isString()) {
                out = out + "-" + fileNameSafe(*id.string());
            } else if (id.isInteger()) {
                out = out + "-" + std::to_string(id.integerValue());
            }
        }
    }
    if (auto station = settings.stringForKey(key::prefKioskStationName);
        station && !station->empty())
        out = out + "_" + fileNameSafe(*station);
    return out;
}

PicturePtr AppController::imageWithSolidColor(const Colour& colour) {
    return Picture::solid(colour, 100, 100);
}

PicturePtr AppController::blackImage() {
    return imageWithSolidColor(Colour::black());
}

}  // namespace klik
