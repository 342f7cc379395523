#pragma once
// The main run loop as a port: the kiosk's controller asks it to run work on
// the main thread, to schedule timers and delayed performs, and to tell the
// time. The application uses the Qt event loop; tests use ManualRunLoop with
// a virtual clock; the command-line tool uses ThreadRunLoop.

#include <functional>

#include "foundation/Timer.h"

namespace klik {

class RunLoop {
  public:
    virtual ~RunLoop() = default;

    // True on the thread that runs this loop.
    virtual bool isMainThread() const = 0;

    // Runs `fn` on the loop's thread. wait=false: queued, returns at once.
    // wait=true: returns after `fn` has run; called on the loop's thread it
    // runs `fn` at once. Safe from any thread.
    virtual void performOnMain(std::function<void()> fn, bool wait) = 0;

    // Schedules a timer that first fires `interval` seconds from now (the
    // next turn of the loop when 0 or less) and, when repeating, every
    // `interval` seconds after. Loop thread only.
    virtual TimerPtr scheduleTimer(double interval, bool repeats, Timer::Action action,
                                   Dictionary userInfo = {}) = 0;

    // Runs `fn` once after `delay` seconds (the next turn when 0). Loop
    // thread only. The returned timer may be invalidated to cancel.
    TimerPtr performAfterDelay(double delay, std::function<void()> fn) {
        return scheduleTimer(delay, false, [f = std::move(fn)](Timer&) { f(); });
    }

    // The loop's clock as a date (virtual in tests).
    virtual Date now() const = 0;

    // The process's main loop; set once by the program (or a test) before use.
    static RunLoop* main();
    static void setMain(RunLoop* loop);
};

}  // namespace klik
