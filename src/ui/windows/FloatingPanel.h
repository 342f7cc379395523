#pragma once
// The floating message panel (the alert HUD): a small borderless panel
// with one text, in front of everything and alive while modal windows run.
// Created on first use and kept for the whole run.
//
// floatingAlertWithString() shows a message for the display time (3 s):
// the first message beeps and starts the timer; another message while the
// timer runs restarts it without beeping; when it fires the panel fades
// away, and a message arriving during the fade stops the fade.
//
// GUI thread only.

#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "foundation/Timer.h"
#include "ui/windows/WindowFader.h"

namespace klik {

class RunLoop;

class FloatingPanel {
  public:
    // `beep` sounds the system beep. The loop is borrowed.
    FloatingPanel(RunLoop& loop, std::function<void()> beep);
    ~FloatingPanel();

    // Shows `text` at `alpha` in front; stops a running fade.
    void show(const QString& text, double alpha);
    // Fades the panel out over `seconds`.
    void fadeOut(double seconds);
    // The HUD message with the display-time rules above ("NIL ALERT!!" for
    // a null text).
    void floatingAlertWithString(const QString& text);

    void setDisplayTime(unsigned seconds) { _floaterDisplayTime = seconds; }
    unsigned displayTime() const { return _floaterDisplayTime; }
    // The panel (created on first use).
    QWidget& panel();
    QString text() const;
    bool isShown() const { return _floater && _floater->isVisible(); }
    bool hasTimer() const { return _floaterTimer != nullptr; }
    bool isFading() const { return fader_ && fader_->isFading(); }

  private:
    void noMoreFloater(Timer& t);
    // A new message during the fade cancels it.
    bool windowShouldCancelFadeAway() const { return _floaterTimer != nullptr; }

    RunLoop& loop_;
    std::function<void()> beep_;
    std::unique_ptr<QWidget> _floater;
    QLabel* _floaterTextField = nullptr;
    std::unique_ptr<WindowFader> fader_;
    TimerPtr _floaterTimer;
    unsigned _floaterDisplayTime = 3;
};

}  // namespace klik
