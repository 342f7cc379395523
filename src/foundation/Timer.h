#pragma once
// A timer scheduled on a RunLoop. Owned by shared pointers: the loop keeps a
// scheduled timer alive until it is invalidated or, for a one-shot timer, has
// fired. All operations are for the loop's thread, except isValid().

#include <atomic>
#include <functional>
#include <memory>

#include "foundation/Value.h"

namespace klik {

class Timer {
  public:
    using Action = std::function<void(Timer&)>;

    Timer(double interval, bool repeats, Action action, Dictionary userInfo)
        : interval_(interval),
          repeats_(repeats),
          action_(std::move(action)),
          userInfo_(std::move(userInfo)) {}

    // Stops the timer for good; it will not fire again. Safe from any thread.
    void invalidate() { valid_.store(false); }
    bool isValid() const { return valid_.load(); }

    double timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }
    const Dictionary& userInfo() const { return userInfo_; }
    // Seconds on the loop's clock at which it fires next.
    double fireTime() const { return fireTime_; }

  private:
    friend class QueuedRunLoop;
    double interval_;
    bool repeats_;
    Action action_;
    Dictionary userInfo_;
    std::atomic<bool> valid_{true};
    double fireTime_ = 0;
    std::uint64_t sequence_ = 0;
};

using TimerPtr = std::shared_ptr<Timer>;

}  // namespace klik
