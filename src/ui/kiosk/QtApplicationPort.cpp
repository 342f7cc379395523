#include "ui/kiosk/QtApplicationPort.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include "app/AppController.h"
#include "log/Log.h"
#include "ui/windows/KioskWindows.h"

namespace klik {

QtApplicationPort::QtApplicationPort(KioskWindows& windows, AppController& app)
    : windows_(windows), app_(app) {}

void QtApplicationPort::activateIgnoringOtherApps() {
    // Without a window system there is nothing to bring forward.
    if (QGuiApplication::platformName() == "offscreen") return;
    // Full screen: the screen windows, then what the kiosk shows over them
    // (the web page, the panel, the preferences, an alert).
    if (windows_.isFullScreen()) {
        windows_.bringToFront();
        if (QWidget* web = windows_.window(KioskWindow::Web); web && web->isVisible())
            web->activateWindow();
        return;
    }
    // The web page, when shown, stays in front of the kiosk's own windows.
    for (KioskWindow w : {KioskWindow::Live, KioskWindow::Touch, KioskWindow::Web}) {
        if (QWidget* win = windows_.window(w); win && win->isVisible()) {
            win->raise();
            win->activateWindow();
        }
    }
}

void QtApplicationPort::terminate() {
    if (terminating_) return;
    terminating_ = true;
    // Not from inside the caller: it may be a handler the quit would cut off.
    QTimer::singleShot(0, [this] {
        terminating_ = false;
        if (!app_.applicationShouldTerminate()) {
            GLIMRA_Log::debug("termination cancelled");
            return;
        }
        GLIMRA_Log::debugf("terminating with exit code %d", exitCode_);
        QCoreApplication::exit(exitCode_);
    });
}

void QtApplicationPort::toggleFullScreen() {
    windows_.toggleFullScreen();
}

bool QtApplicationPort::isFullScreen() const {
    return windows_.isFullScreen();
}

std::string QtApplicationPort::bundlePath() const {
    return QCoreApplication::applicationFilePath().toStdString();
}

}  // namespace klik
