#include "ui/video/KioskVideo.h"

#include <QCoreApplication>
#include <QPointer>
#include <filesystem>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"
#include "ui/video/MovieViewController.h"
#include "ui/video/VideoPreviewWidget.h"
#include "video/SolidMovie.h"

namespace klik {

KioskVideo::KioskVideo(AppController& app, KioskUi& ui, RunLoop& loop, Settings& settings,
                       NotificationCenter& center, PhotoFilingHost& filing, bool simulated)
    : app_(app),
      ui_(ui),
      loop_(loop),
      settings_(settings),
      center_(center),
      filing_(filing),
      recorder_(settings, loop, simulated) {
    recorder_.setFinishedHandler([this](const CompositionRequest& r) { compose(r); });
    // A recording cut short by a stalled camera is the operator's to know.
    recorder_.setReportHandler([this](const std::string& text) { filing_.notifyOperator(text); });
}

KioskVideo::~KioskVideo() {
    // The preview hands its frame callback back to the pipeline when it
    // goes: before the pipeline, not with the kiosk's windows later.
    delete preview_.data();
    recorder_.stopSession();
    waitForCompositions();
}

VideoRecorderPort* KioskVideo::setUp() {
    recorder_.setupQTSession();
    // Without a device the port still exists: the preview stays empty and
    // recordings make no file, as with an unplugged camera.
    return &recorder_;
}

void KioskVideo::attach(QWidget* inputView, QWidget* touchContent) {
    if (inputView && recorder_.pipeline()) {
        preview_ = new VideoPreviewWidget(*recorder_.pipeline(), inputView);
        preview_->show();
        QPointer<VideoPreviewWidget> preview(preview_);
        recorder_.setClockDisplay([preview](bool shown, const std::string& text) {
            if (preview) preview->setClockText(shown ? QString::fromStdString(text) : QString());
        });
    }
    if (touchContent) {
        movie_ = std::make_unique<MovieViewController>(touchContent, settings_, center_);
        movie_->awakeFromNib();
    }
}

void KioskVideo::compose(const CompositionRequest& request) {
    // On the recorder's finishing thread.
    compositions_.start(request);
}

void KioskVideo::waitForCompositions() {
    // A recording still being finished starts its composition when done.
    recorder_.waitForFinishing();
    // The compositions ask the main thread for the guest's data and show
    // alerts there: keep it turning while they run.
    while (compositions_.runningCount() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    compositions_.waitForAll();
}

bool KioskVideo::prepareScriptedMovies(const std::string& root, std::string* error) {
    const std::string folder = root + "/Movies";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    SolidMovieSpec prompt{0xff2060c0, 4, 320, 240, 15, 0};
    SolidMovieSpec overlay{0xffe0a020, 2, 320, 240, 15, 0};
    SolidMovieSpec trailer{0xff30a040, 2, 320, 240, 15, 0};
    if (!writeSolidMovie(folder + "/WaveWithPrompt.mov", prompt, error) ||
        !writeSolidMovie(folder + "/Wave.mov", overlay, error) ||
        !writeSolidMovie(folder + "/Trailer.mov", trailer, error))
        return false;
    settings_.setString(key::prefMoviePath, folder + "/WaveWithPrompt.mov");
    settings_.setString(key::prefOverlayMoviesPath, folder);
    settings_.setString(key::prefTrailerMovieName, "Trailer.mov");
    settings_.setBool(key::prefDoOverlayMovie, true);
    settings_.setInteger(key::prefMaxRecordingLengthInSeconds, 6);
    settings_.setInteger(key::prefQTVideoCompressionTag, 2);
    return true;
}

int KioskVideo::runFilingAlert(const std::string& message, const std::string& informative,
                               const std::vector<std::string>& buttons) {
    return filing_.runFilingAlert(message, informative, buttons);
}

void KioskVideo::openPreferencesAfterDelay(double delaySeconds) {
    filing_.openPreferencesAfterDelay(delaySeconds);
}

void KioskVideo::notifyOperator(const std::string& text) {
    filing_.notifyOperator(text);
}

bool KioskVideo::announce(const std::string& name, const std::string& object,
                          const Dictionary& userInfo) {
    return filing_.announce(name, object, userInfo);
}

void KioskVideo::showMissingOverlayAlert(const std::string& message,
                                         const std::string& informative) {
    // The composition goes on; the operator answers when they come.
    loop_.performOnMain(
        [this, message, informative] {
            ui_.orderFront(KioskWindow::Touch);
            ui_.runAlert(KioskAlert{message, informative, {"OK"}});
        },
        false);
}

PhotoSession KioskVideo::videoSession(const std::string& recording) {
    PhotoSession s;
    loop_.performOnMain([this, &s, &recording] { s = app_.recordingPhotoSession(recording); },
                        true);
    return s;
}

Date KioskVideo::now() {
    return std::chrono::system_clock::now();
}

}  // namespace klik
