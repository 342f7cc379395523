#pragma once
// The floating message panel (the alert HUD): a small borderless panel
// with one text, in front of everything and alive while modal windows run.
// Created on first use and kept for the whole run.
//
// It only draws: show() puts a text up at an opacity, fadeOut() fades it
// away. When a message stays and how long is its owner's business (the
// controller's alert HUD); at each step of a fade the panel asks the
// owner's cancel predicate whether to stop, and stops with the panel up
// when it answers yes. A panel without a predicate stops a fade itself
// when it is shown again.
//
// GUI thread only.

#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/windows/WindowFader.h"

namespace klik {

class RunLoop;

class FloatingPanel {
  public:
    using CancelPredicate = std::function<bool()>;

    // The loop (borrowed) paces the fade.
    explicit FloatingPanel(RunLoop& loop);
    ~FloatingPanel();

    // Shows `text` at `alpha` in front.
    void show(const QString& text, double alpha);
    // Fades the panel out over `seconds`; 0 or less hides it at once.
    void fadeOut(double seconds);
    // Asked before each fade step; true stops the fade. Empty: none.
    void setFadeCancelPredicate(CancelPredicate p);
    // The kiosk's window the panel lies over (asked at each show; null:
    // none yet). The panel is made transient for it, so window managers
    // keep it above a full-screen kiosk, and raised over it.
    void setHostSource(std::function<QWidget*()> source);

    // The panel (created on first use).
    QWidget& panel();
    QString text() const;
    bool isShown() const { return _floater && _floater->isVisible(); }
    bool isFading() const { return fader_ && fader_->isFading(); }

  private:
    RunLoop& loop_;
    std::unique_ptr<QWidget> _floater;
    QLabel* _floaterTextField = nullptr;
    std::unique_ptr<WindowFader> fader_;
    CancelPredicate shouldCancel_;
    std::function<QWidget*()> hostSource_;
};

}  // namespace klik
