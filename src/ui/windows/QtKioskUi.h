#pragma once
// The controller's KioskUi port over Qt: screen-update batching, window
// order, the beep and the "Grab" sound, modal alerts, the floating message
// panel, pointer and menu bar, and the attached screens. Window calls
// reach the KioskWindows given with attach(); before that they are logged
// and dropped.
//
// GUI thread only (as the port requires).

#include <QString>
#include <functional>
#include <memory>

#include "app/KioskUi.h"
#include "ui/windows/FloatingPanel.h"

class QObject;

namespace klik {

class AppController;
class KioskWindows;
class RunLoop;
class Settings;

class QtKioskUi : public KioskUi {
  public:
    // Answers an alert instead of a person (scripted runs): the index of
    // the chosen button. It is logged.
    using AlertResponder = std::function<int(const KioskAlert&)>;

    QtKioskUi(RunLoop& loop, Settings& settings);
    ~QtKioskUi() override;

    // The panel and the alerts lie over these windows' screen window.
    void attach(KioskWindows* windows);
    void setAlertResponder(AlertResponder r) { responder_ = std::move(r); }
    // Told of every screen change, after the windows have followed it
    // (screenshots, scripted runs). The screen's entry actions run after it.
    void setScreenObserver(std::function<void(std::uint32_t)> o) { screenObserver_ = std::move(o); }
    // The controller whose alert HUD decides when messages go (borrowed;
    // set it back to nullptr before the controller goes). Its
    // windowShouldCancelFadeAway() answers the panel's fade.
    void setController(AppController* app);
    // A HUD message from the Qt side (camera panel, printing): goes through
    // the controller's floatingAlertWithString (a null text shows its nil
    // text). Without a controller the text is shown, logged as an error,
    // and stays until the next message.
    void floatingAlertWithString(const QString& text);
    FloatingPanel& floatingPanel() { return panel_; }
    // Beeps so far (tests, scripted runs).
    int beepCount() const { return beeps_; }
    int updatesDisabledDepth() const { return updatesDisabled_; }

    void disableScreenUpdates() override;
    void enableScreenUpdates() override;
    void orderFront(KioskWindow w) override;
    void makeKeyAndOrderFront(KioskWindow w) override;
    void orderOut(KioskWindow w) override;
    void makeFirstResponder(KioskWindow w, View& v) override;
    void beep() override;
    void playSound(const std::string& name) override;
    void screenDidChange(std::uint32_t screenNumber) override;
    int runAlert(const KioskAlert& alert) override;
    void showFloatingPanel(const std::string& text, double alpha) override;
    void fadeOutFloatingPanel(double seconds) override;
    void setCursorHidden(bool hidden) override;
    void setMenuBarHidden(bool hidden) override;
    int screenCount() const override;
    Rect screenFrame(int index) const override;

  private:
    void setUpdatesEnabled(bool enabled);

    RunLoop& loop_;
    Settings& settings_;
    KioskWindows* windows_ = nullptr;
    AlertResponder responder_;
    std::function<void(std::uint32_t)> screenObserver_;
    AppController* app_ = nullptr;
    FloatingPanel panel_;
    int updatesDisabled_ = 0;
    int beeps_ = 0;
    std::unique_ptr<QObject> sound_;
};

}  // namespace klik
