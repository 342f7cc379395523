// A session started by the kiosk web page: the sitting information names
// the guest (and, for video, the prompt movie); the session starts at the
// touch countdown or is refused with the reason.

#include <filesystem>

#include "app/AppController.h"
#include "app/ProcessFlags.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "entry/EmailValidation.h"
#include "log/Log.h"
#include "video/MovieNames.h"

namespace klik {

namespace {

// A movie name from the web page stays inside the movies folder: no
// absolute path, no ".." step.
bool isInsideFolderName(const std::string& name) {
    if (name.empty() || name.front() == '/') return false;
    for (const auto& part : std::filesystem::path(name))
        if (part == "..") return false;
    return true;
}

}  // namespace

void AppController::handleDoStartPhotoSessionNotification(const Notification&) {
    startPhotoSession();
}

void AppController::refuseSession(const char* why, std::optional<Dictionary> userInfo) {
    GLIMRA_Log::debugf("startPhotoSession: not starting the session: %s", why);
    postOnMainThread(kNotifictionPhotoSessionError, std::move(userInfo));
}

void AppController::startPhotoSession() {
    const Settings& s = env_.settings;
    std::optional<Dictionary> info;
    if (_webViewWindowController) info = _webViewWindowController->webReturnInfo();
    const Value none;
    const Value& email = info ? (*info)["email"] : none;
    if (!email.isString()) {
        refuseSession("the sitting information has no email address", std::nullopt);
        return;
    }
    // An address from the page goes into the photo's payload like a typed
    // one, so it passes the same check; one that fails counts as none.
    if (!validateEmailAddress(*email.string())) {
        refuseSession("the sitting's email address is not valid", std::nullopt);
        return;
    }
    setEmails({*email.string()});
    // The sitting id stands where a scanned code would: it names the
    // guest's photo. The web module keeps only ids usable in a file name.
    const Value& sittingId = (*info)["sittingid"];
    setBarcodeValue(sittingId.isString() ? *sittingId.string() : std::string());

    const std::int64_t tag = s.integerForKey(key::prefCameraInputTypeTag);
    if (tag == kInputTagCamera && !_camera->hasCamera()) {
        refuseSession("no camera is connected", std::nullopt);
        return;
    }
    if (tag == kInputTagVideo) {
        if (gIsProcessingVideo.load()) {
            refuseSession("the previous clip is still being composed",
                          Dictionary{{"msg", "Still Processing Previous Video..."}});
            return;
        }
        if (s.boolForKey(key::prefDoOverlayMovie)) {
            const Value& video = (*info)["video"];
            std::optional<std::string> withPrompt;
            const std::string folder = s.stringForKey(key::prefOverlayMoviesPath).value_or("");
            if (!folder.empty() && video.isString() && isInsideFolderName(*video.string())) {
                // The same names the composition goes back from: the prompt
                // movie found here leads it to this very overlay movie.
                if (const auto overlay = getMovieWithBaseName(folder + "/" + *video.string()))
                    withPrompt = getPromptMovieForOverlay(*overlay);
            }
            if (!withPrompt) {
                refuseSession("the sitting's prompt movie or its companion is missing",
                              Dictionary{{"msg", "Missing Matching TelePrompt Video File..."}});
                return;
            }
            env_.settings.setString(key::prefMoviePath, *withPrompt);
        }
    }

    if (_webViewWindowController) _webViewWindowController->orderOutWebWindow();
    // The lead-in of screen 2 is skipped: the session starts at screen 3.
    _screenNumber = 2;
    nextScreen();
}

}  // namespace klik
