#include "ui/windows/QtKioskUi.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#ifdef KLIK_HAVE_QT_MULTIMEDIA
#include <QSoundEffect>
#endif

#include "app/AppController.h"
#include "app/View.h"
#include "foundation/Resources.h"
#include "log/Log.h"
#include "ui/windows/DesktopChrome.h"
#include "ui/windows/KioskWindows.h"
#include "ui/windows/ViewWidget.h"

#include <QLineEdit>
#include <filesystem>

namespace klik {

QtKioskUi::QtKioskUi(RunLoop& loop, Settings& settings)
    : loop_(loop), settings_(settings), panel_(loop) {}

QtKioskUi::~QtKioskUi() = default;

void QtKioskUi::attach(KioskWindows* windows) {
    windows_ = windows;
    panel_.setHostSource(
        [this]() -> QWidget* { return windows_ ? windows_->touchScreenWindow() : nullptr; });
}

void QtKioskUi::setController(AppController* app) {
    app_ = app;
    if (app_)
        panel_.setFadeCancelPredicate(
            [this] { return app_ && app_->windowShouldCancelFadeAway(); });
    else
        panel_.setFadeCancelPredicate({});
}

void QtKioskUi::floatingAlertWithString(const QString& text) {
    if (app_) {
        app_->floatingAlertWithString(text.isNull() ? std::nullopt
                                                    : std::optional(text.toStdString()));
        return;
    }
    GLIMRA_Log::errf("floatingAlertWithString [%s] without a controller: shown, never hidden",
                     qPrintable(text));
    panel_.show(text.isNull() ? QStringLiteral("NIL ALERT!!") : text, 1.0);
}

void QtKioskUi::setUpdatesEnabled(bool enabled) {
    if (!windows_) return;
    for (KioskWindow w : {KioskWindow::Touch, KioskWindow::Live, KioskWindow::Overlay})
        if (QWidget* win = windows_->window(w)) win->setUpdatesEnabled(enabled);
}

void QtKioskUi::disableScreenUpdates() {
    if (updatesDisabled_++ == 0) setUpdatesEnabled(false);
}

void QtKioskUi::enableScreenUpdates() {
    if (updatesDisabled_ == 0) {
        GLIMRA_Log::err("enableScreenUpdates without a matching disableScreenUpdates");
        return;
    }
    if (--updatesDisabled_ == 0) setUpdatesEnabled(true);
}

void QtKioskUi::orderFront(KioskWindow w) {
    if (windows_) windows_->orderFront(w, false);
}

void QtKioskUi::makeKeyAndOrderFront(KioskWindow w) {
    if (windows_) windows_->orderFront(w, true);
}

void QtKioskUi::orderOut(KioskWindow w) {
    if (windows_) windows_->orderOut(w);
}

void QtKioskUi::makeFirstResponder(KioskWindow w, View& v) {
    if (!windows_) return;
    ViewWidget* widget = windows_->renderer().widgetFor(v);
    if (!widget) {
        GLIMRA_Log::debugf("makeFirstResponder: %s has no widget in the %s window",
                           v.name().c_str(), kioskWindowName(w));
        return;
    }
    if (widget->entryField())
        widget->entryField()->setFocus(Qt::OtherFocusReason);
    else
        widget->setFocus(Qt::OtherFocusReason);
}

void QtKioskUi::beep() {
    ++beeps_;
    GLIMRA_Log::debug("beep");
    QApplication::beep();
}

void QtKioskUi::playSound(const std::string& name) {
    const std::string path = resourcePath(name + ".wav");
    if (!std::filesystem::exists(path)) {
        GLIMRA_Log::errf("playSound: no sound [%s] (%s); beeping instead", name.c_str(),
                         path.c_str());
        beep();
        return;
    }
#ifdef KLIK_HAVE_QT_MULTIMEDIA
    auto* effect = dynamic_cast<QSoundEffect*>(sound_.get());
    if (!effect) {
        sound_ = std::make_unique<QSoundEffect>();
        effect = static_cast<QSoundEffect*>(sound_.get());
    }
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
    if (effect->source() != url) effect->setSource(url);
    effect->play();
    GLIMRA_Log::debugf("playSound: %s", name.c_str());
#else
    GLIMRA_Log::debugf("playSound: %s (%s): no sound output in this build", name.c_str(),
                       path.c_str());
#endif
}

void QtKioskUi::screenDidChange(std::uint32_t screenNumber) {
    GLIMRA_Log::debugf("screen %u", screenNumber);
    // The input view may have moved or been swapped: the overlay follows
    // the window that holds it. Its picture is the screen's business.
    if (windows_) windows_->attachOverlayToInputWindow();
    if (screenObserver_) screenObserver_(screenNumber);
}

int QtKioskUi::runAlert(const KioskAlert& alert) {
    if (responder_) {
        const int answer = responder_(alert);
        const std::string button = answer >= 0 && answer < static_cast<int>(alert.buttons.size())
                                       ? alert.buttons[answer]
                                       : "";
        GLIMRA_Log::debugf("alert [%s] [%s] answered by the script: %d [%s]",
                           alert.messageText.c_str(), alert.informativeText.c_str(), answer,
                           button.c_str());
        return answer;
    }
    // Over the kiosk's screen window: a dialog of that window, which window
    // managers keep above it and which is raised again after it.
    QWidget* kiosk = windows_ ? windows_->touchScreenWindow() : nullptr;
    QMessageBox box(kiosk);
    box.setWindowTitle(QStringLiteral("Klik alert"));
    box.setIcon(QMessageBox::Warning);
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    std::vector<QPushButton*> buttons;
    const std::vector<std::string> titles =
        alert.buttons.empty() ? std::vector<std::string>{"OK"} : alert.buttons;
    for (const std::string& t : titles)
        buttons.push_back(box.addButton(QString::fromStdString(t), QMessageBox::AcceptRole));
    box.setDefaultButton(buttons.front());
    // The pointer must be visible to answer.
    const bool hidden = DesktopChrome::isCursorHidden();
    DesktopChrome::setCursorHidden(false);
    if (kiosk) {
        // Shown, raised and given the keys before it waits: without a
        // window manager nobody else stacks it.
        box.show();
        box.raise();
        box.activateWindow();
    }
    box.exec();
    DesktopChrome::setCursorHidden(hidden);
    for (size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
    return -1;
}

void QtKioskUi::showFloatingPanel(const std::string& text, double alpha) {
    panel_.show(QString::fromStdString(text), alpha);
}

void QtKioskUi::fadeOutFloatingPanel(double seconds) {
    panel_.fadeOut(seconds);
}

void QtKioskUi::setCursorHidden(bool hidden) {
    DesktopChrome::setCursorHidden(hidden);
}

void QtKioskUi::setMenuBarHidden(bool hidden) {
    DesktopChrome::setMenuBarHidden(hidden);
}

int QtKioskUi::screenCount() const {
    return static_cast<int>(QGuiApplication::screens().size());
}

Rect QtKioskUi::screenFrame(int index) const {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (index < 0 || index >= screens.size()) return {};
    // Global frames with the origin at the bottom left of the main screen.
    const QRect g = screens[index]->geometry();
    const int mainHeight = screens.front()->geometry().height();
    return Rect{static_cast<double>(g.x()), static_cast<double>(mainHeight - g.y() - g.height()),
                static_cast<double>(g.width()), static_cast<double>(g.height())};
}

}  // namespace klik
