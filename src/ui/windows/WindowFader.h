#pragma once
// Fades a window out: every 0.05 s its opacity drops by 0.1 until it
// reaches 0 or the fade's time is up; then the window is closed. A full
// fade from opacity 1 takes 10 steps. Before each step `shouldCancel` is
// asked; when it answers yes the fade stops and the opacity stays.
//
// GUI thread only. The fader borrows the window and the loop.

#include <QPointer>
#include <QWidget>
#include <functional>

#include "foundation/Timer.h"

namespace klik {

class RunLoop;

class WindowFader {
  public:
    using CancelQuery = std::function<bool()>;
    WindowFader(QWidget& window, RunLoop& loop);
    ~WindowFader();

    // `fadeAway` with 1 second.
    void fadeAway() { fadeAway(1.0); }
    // Starts a fade over `seconds` (nothing when seconds <= 0); a running
    // fade is replaced.
    void fadeAway(double seconds);
    // Stops a running fade where it is.
    void stop();
    bool isFading() const { return timer_ && timer_->isValid(); }
    void setCancelQuery(CancelQuery q) { shouldCancel_ = std::move(q); }

  private:
    void fadeAwayCallback(Timer& t, double endTime);

    QPointer<QWidget> window_;
    RunLoop& loop_;
    TimerPtr timer_;
    CancelQuery shouldCancel_;
};

}  // namespace klik
