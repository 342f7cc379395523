#include "ui/kiosk/KioskAssembly.h"

#include <QEvent>
#include <QGuiApplication>
#include <chrono>
#include <filesystem>

#include "app/SettingsKeys.h"
#include "foundation/FixedPaths.h"
#include "share/SharePlaces.h"
#include "ui/panel/CameraPanelWidget.h"
#include "ui/windows/ShareCodeWidget.h"

namespace klik {

namespace {

// The controller is given its artwork before the windows are made on it.
AppController& withArtwork(AppController& app, ArtworkPort& artwork) {
    app.setArtwork(&artwork);
    return app;
}

}  // namespace

bool PreferencesCloseWatcher::eventFilter(QObject*, QEvent* e) {
    if (e->type() == QEvent::Close) app_.closePref();
    return false;
}

KioskAssembly::KioskAssembly(QApplication& qapp, QtRunLoop& loop, Settings& settings,
                             NotificationCenter& center, const KioskOptions& options,
                             const ScriptedSandbox& sandbox)
    : qapp_(qapp),
      loop_(loop),
      settings_(settings),
      center_(center),
      options_(options),
      sandbox_(sandbox),
      ui_(loop, settings),
      app_({ui_, loop, settings, center}),
      artwork_(resources_),
      windows_(withArtwork(app_, artwork_), settings, loop, center, artwork_),
      overlays_(windows_),
      photos_(
          ui_, loop, settings, [this] { return app_.photoFilingSession(); },
          [this] { app_.openPref(); }),
      loops_([this](const GuestLoopMaker::Outcome& o) {
          // A scripted run reports what each guest gets (from the loop's
          // own thread; the line is whole).
          if (options_.scripted == 0) return;
          if (!o.filed.mp4.empty()) say("  loop filed: " + o.filed.mp4);
          if (!o.filed.gif.empty()) say("  loop filed: " + o.filed.gif);
          if (!o.filed.error.empty()) say("  loop failed: " + o.filed.error);
      }) {
    wireWindowsAndCamera();
    wirePhotosAndPrinting();
    if (!wireVideo(&setUpError_)) return;
    wireWebPageAndPreferences();
    wireOperator();
    wireScreenObserver();
    if (options_.scripted > 0) wireScripted();
}

KioskAssembly::~KioskAssembly() {
    if (deliveryTimer_) deliveryTimer_->invalidate();
}

void KioskAssembly::wireWindowsAndCamera() {
    ui_.attach(&windows_);
    ui_.setController(&app_);
    // The guest's QR code over the touch side (owned by it).
    new ShareCodeWidget(app_._shareCodeView, settings_, windows_.touchContent());
    app_.setOverlayScreens(&overlays_);
    app_.setCamera(&camera_);
}

void KioskAssembly::wirePhotosAndPrinting() {
    // Notices of the print path go through the controller's alert HUD.
    auto hud = [this](const std::string& text) {
        ui_.floatingAlertWithString(QString::fromStdString(text));
    };
#ifdef KLIK_HAVE_PRINT_PORT
    // The sheet and the dialogs go over the touch window the guest sees.
    printer_.setParentSource([this] { return windows_.touchHost(); });
    printer_.setNoticeSink(hud);
    photos_.attachPrintPort(printer_, hud);
    // Why a guest gets no print (the paper is used up) is told where the
    // review tells them about their photo.
    photos_.printFlow()->setGuestNoticeSink(
        [this](const std::string& text) { app_.floatingAlertWithString(text); });
#endif
    // A settings file that cannot be written is told once on the HUD (from
    // whichever thread saved).
    settings_.setSaveFailureHandler([this, hud](const std::string& why) {
        loop_.performOnMain([hud, why] { hud(why); }, false);
    });
    app_.setPhotoPipeline(&photos_);
    app_.setGuestLoop(&loops_);
    // klik-share delivers the photos in a process of its own; when its
    // deliveries have failed for ten minutes the operator is told here, once,
    // and again when they flow. The kiosk only reads klik-share's outbox
    // (a short query a minute), never the network.
    deliveryHealth_ = std::make_unique<share::DeliveryHealth>(share::outboxPath());
    deliveryTimer_ = loop_.scheduleTimer(60, true, [this, hud](Timer&) {
        const double now =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        if (auto notice = deliveryHealth_->check(now)) hud(*notice);
    });
}

bool KioskAssembly::wireVideo(std::string* error) {
    // The video camera: recorder, preview, prompt movie, compositions.
    if (!options_.video) return true;
    video_ =
        std::make_unique<KioskVideo>(app_, ui_, loop_, settings_, center_, photos_, options_.sim);
    const std::string root =
        fixedRoot().empty() ? std::filesystem::current_path().string() : fixedRoot();
    if (options_.scripted > 0 && !video_->prepareScriptedMovies(root, error)) {
        *error = "the demo movies: " + *error;
        return false;
    }
    app_.setVideoRecorder(video_->setUp());
    settings_.setInteger("prefCameraInputTypeTag", 2);
    video_->attach(windows_.renderer().widgetFor(app_._QTCView), windows_.touchContent());
    return true;
}

void KioskAssembly::wireWebPageAndPreferences() {
    application_ = std::make_unique<QtApplicationPort>(windows_, app_);
    app_.setApplication(application_.get());
    // The web page; its engine starts only in web mode, when the page is
    // first shown.
    webPage_ = std::make_unique<WebViewWindowController>(settings_, loop_, center_, &ui_);
    app_.setWebController(&webPage_->controller());
    QObject::connect(webPage_.get(), &WebViewWindowController::windowCreated,
                     [this](QWidget* w) { windows_.setWindow(KioskWindow::Web, w); });

    // The preferences own the camera panel; both go before the controller.
    prefs_ = std::make_unique<PreferencesWindow>(settings_);
    // Over the full-screen kiosk, which stays on top of everything else.
    prefs_->setWindowFlag(Qt::WindowStaysOnTopHint);
    prefs_->addCameraPanel(new CameraPanelWidget(app_));
    windows_.setWindow(KioskWindow::Preferences, prefs_.get());
    prefsCloseWatcher_ = std::make_unique<PreferencesCloseWatcher>(app_);
    prefs_->installEventFilter(prefsCloseWatcher_.get());
}

void KioskAssembly::wireOperator() {
    // The operator's commands (the application menu of a desktop kiosk).
    shortcuts_ = std::make_unique<OperatorShortcuts>(OperatorActions{
        [this] { app_.openPref(); },
        [this] { photos_.printCurrentPictureForOperator(); },
        [this] { app_.ibBarcodeSendOnEnterAction(nullptr); },
        [this] { app_.relaunchApp(); },
        [this] { application_->terminate(); },
    });
    // The operator's quit code on a kiosk window ends the kiosk (asking
    // first while a clip is composed).
    quitObserver_ = center_.addObserver("klikUserQuitCommand",
                                        [this](const Notification&) { application_->terminate(); });
    QObject::connect(&qapp_, &QGuiApplication::applicationStateChanged,
                     [this](Qt::ApplicationState s) {
                         if (s == Qt::ApplicationInactive) app_.applicationDidResignActive();
                     });
}

}  // namespace klik
