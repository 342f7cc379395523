// A scripted run: an operator who presses the default button of everything
// that asks, guests played one after the other, and a report of what each
// guest was told; the screenshots and the quit on a given screen.

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/OverlayScreen.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"
#include "ui/kiosk/KioskAssembly.h"
#include "web/KioskWebProtocol.h"

namespace klik {

void KioskAssembly::wireScripted() {
    ui_.setAlertResponder([](const KioskAlert& a) {
        GLIMRA_Log::debugf("script: alert \"%s\" answered with \"%s\"", a.messageText.c_str(),
                           a.buttons.empty() ? "" : a.buttons.front().c_str());
        return 0;
    });
    overlays_.setAnswerer([](OverlayScreen s) {
        GLIMRA_Log::debugf("script: overlay \"%s\" answered with tag %d", overlayInterfaceName(s),
                           kOverlayGoOn);
        return kOverlayGoOn;
    });
#ifdef KLIK_HAVE_PRINT_PORT
    printer_.setDialogResponder([](const std::string& dialog, int answer) {
        GLIMRA_Log::debugf("script: dialog \"%s\" answered with %d", dialog.c_str(), answer);
        return answer;
    });
#endif
    guests_ = std::make_unique<ScriptedGuests>(app_, *application_, options_.scripted, say,
                                               [this](int guest) { scriptedTurnDone(guest); });
    guests_->setTimeLimit(options_.scriptedMinutes * 60);
    // The settings every guest starts with (one shot, no loop) unless the
    // last guest is the one of several shots and the only guest.
    settings_.setInteger(key::prefShotsPerTurn, 1);
    settings_.setBool(key::prefMakeLoop, false);
    if (options_.scripted == 1) scriptedGuestOfSeveralShots();
    // In web mode the guests come from the page.
    if (settings_.boolForKey(key::prefDoUseWebView)) {
        guests_->setWaitsForWebPage(true);
        // The run ends once the page has shown the done page.
        guests_->setReadyToFinish(
            [this] { return webPage_->lastFinishedAddress() == donePageAddress(settings_); });
    }
}

void KioskAssembly::scriptedGuestOfSeveralShots() {
    if (options_.scriptedLastShots < 2) return;
    say("the next guest takes " + std::to_string(options_.scriptedLastShots) +
        " shots and gets an animated loop");
    settings_.setInteger(key::prefShotsPerTurn, options_.scriptedLastShots);
    settings_.setBool(key::prefMakeLoop, true);
}

void KioskAssembly::scriptedTurnDone(int guest) {
    if (guest == options_.scripted - 1) scriptedGuestOfSeveralShots();
    // A video guest's turn ends when the clip is filed.
    if (video_) {
        video_->waitForCompositions();
        say("  video compositions so far: " + std::to_string(video_->compositionsStarted()));
        return;
    }
    // What the review screen told the guest; a photo filed for an earlier
    // guest is in the log and the folders.
    const AppController::Review& review = app_.lastReview();
    if (!review.photoShown) {
        std::string text = review.message;
        for (char& c : text)
            if (c == '\n') c = ' ';
        say("  " + review.guest + " was told: " + text);
        return;
    }
    say("  " + review.guest + " saw their photo");
    if (app_.shotsPerTurn() > 1)
        say("  " + std::to_string(app_.shotsPerTurn()) + " shots, laid into the print frame");
    const FilingResult r = photos_.lastResult();
    if (r.filed) say("  photo filed: " + r.filedPath);
    if (r.uploadWritten) say("  upload copy: " + r.uploadPath);
    // Once per run the operator opens the preferences by their shortcut on
    // the touch side, looks, and closes them.
    if (guest == 1) QTimer::singleShot(0, [this] { operatorLooksAtThePreferences(); });
}

void KioskAssembly::operatorLooksAtThePreferences() {
    QWidget* touch = windows_.window(KioskWindow::Touch);
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != touch) target = touch;
    say("operator presses Ctrl+, (preferences)");
    QTest::keyClick(target, Qt::Key_Comma, Qt::ControlModifier);
    if (!prefs_->isVisible()) {
        say("  the preferences did not open");
        return;
    }
    if (shots_) say("  screenshot: " + shots_->captureWindow(prefs_.get(), "preferences"));
    prefs_->close();
    say(prefs_->isVisible() ? "  the preferences did not close"
                            : "  operator closes the preferences");
}

void KioskAssembly::wireScreenObserver() {
    if (!options_.screenshots.empty())
        shots_ = std::make_unique<ScreenshotWriter>(windows_, options_.screenshots);
    const int quitOnScreen = options_.quitOnScreen;
    ui_.setScreenObserver([this, quitOnScreen](std::uint32_t n) {
        if (shots_) shots_->screenDidChange(n);
        if (guests_) guests_->screenDidChange(n);
        // Queued behind the screen's entry actions and their repaint.
        if (quitOnScreen > 0 && n == static_cast<std::uint32_t>(quitOnScreen))
            QTimer::singleShot(0, [this] { application_->terminate(); });
    });
}

}  // namespace klik
