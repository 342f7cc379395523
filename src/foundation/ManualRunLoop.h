#pragma once
// A run loop on a virtual clock, for tests: nothing happens until the test
// turns the loop. advance() moves the clock and fires every timer that falls
// due on the way, in order, so an 83-second countdown runs in microseconds.
// Performs posted from other threads are run by runPending()/runUntil().

#include <chrono>
#include <functional>

#include "foundation/QueuedRunLoop.h"

namespace klik {

class ManualRunLoop : public QueuedRunLoop {
  public:
    // The virtual clock starts at `start` (default: the real time now).
    explicit ManualRunLoop(Date start = std::chrono::system_clock::now());

    Date now() const override;
    // Seconds of virtual time since the start.
    double elapsed() const { return clock_; }

    // Runs queued performs and the timers due now (one turn of the loop,
    // repeated until nothing is left that is due). Returns how many ran.
    size_t runPending();
    // Moves the clock forward by `seconds`, stopping at each timer's fire
    // time to fire it (and run the performs it causes).
    void advance(double seconds);
    // Advances to the next timer's fire time and fires it. False when no
    // timer is scheduled.
    bool advanceToNextTimer();
    // Turns the loop (without moving the virtual clock) until `done` holds,
    // waiting for performs from other threads; gives up after `realTimeout`
    // of real time. Returns whether `done` held.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds realTimeout = std::chrono::seconds(10));
    // Runs `work` on a thread of its own while the calling thread (the
    // loop's) turns the loop, for work that waits for the main thread (the
    // camera's set-up, shutdown, notifications that wait for observers).
    // Blocks until `work` has returned, even past `realTimeout`: the loop
    // keeps turning so that work is never stranded. Returns whether it
    // finished within `realTimeout`.
    bool runAlongside(const std::function<void()>& work,
                      std::chrono::milliseconds realTimeout = std::chrono::seconds(10));

  protected:
    double clockNow() const override { return clock_; }

  private:
    Date start_;
    double clock_ = 0;
};

}  // namespace klik
