#pragma once
// A run loop on the real clock, run by the thread that calls run(); used by
// the command-line tool and by background services that need timers.

#include <atomic>
#include <chrono>

#include "foundation/QueuedRunLoop.h"

namespace klik {

class ThreadRunLoop : public QueuedRunLoop {
  public:
    ThreadRunLoop();

    Date now() const override;

    // Runs performs and timers on the calling thread (which becomes the
    // loop's thread) until stop() is called. Blocks.
    void run();
    // Runs for at most `seconds` of real time or until stop(). Blocks.
    void runFor(double seconds);
    // Makes run() return after the current turn. Safe from any thread.
    void stop();

  protected:
    double clockNow() const override;

  private:
    void turn(std::chrono::steady_clock::time_point limit);
    std::chrono::steady_clock::time_point origin_;
    std::atomic<bool> stopped_{false};
};

}  // namespace klik
