#pragma once
// The RunLoop port on the Qt event loop of the thread that creates it (the
// GUI thread in the kiosk). Performs and timers share the queue machinery of
// the other loops; Qt only wakes the queue: a queued call for performs and
// one precise single-shot QTimer armed for the earliest timer. Work queued
// while a modal dialog or a nested event loop runs is served by that loop.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>

#include "foundation/QueuedRunLoop.h"

namespace klik {

class QtRunLoop : public QueuedRunLoop {
  public:
    // Creating thread only; it becomes the loop's thread. A QCoreApplication
    // must exist.
    QtRunLoop();
    ~QtRunLoop() override;

    // Any thread; wait=true blocks until the GUI thread has run `fn` (runs it
    // at once when called on the GUI thread).
    void performOnMain(std::function<void()> fn, bool wait) override;
    // GUI thread only; the loop keeps the timer until it fires or is
    // invalidated.
    TimerPtr scheduleTimer(double interval, bool repeats, Timer::Action action,
                           Dictionary userInfo = {}) override;
    // Wall-clock time. Any thread.
    Date now() const override;

  protected:
    double clockNow() const override;

  private:
    // Runs queued performs and due timers, then arms the QTimer for the
    // next one. GUI thread.
    void turn();
    void armTimer();
    // Asks the GUI thread for a turn; coalesces requests. Any thread.
    void requestTurn();

    QObject context_;
    QTimer timer_;
    std::atomic<bool> turnRequested_{false};
    std::chrono::steady_clock::time_point origin_;
};

}  // namespace klik
