#pragma once
// The queue and timer machinery shared by ManualRunLoop and ThreadRunLoop:
// a thread-safe queue of performs and a schedule of timers ordered by fire
// time on a clock the subclass supplies.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/RunLoop.h"

namespace klik {

class QueuedRunLoop : public RunLoop {
  public:
    QueuedRunLoop();
    ~QueuedRunLoop() override;

    bool isMainThread() const override { return std::this_thread::get_id() == owner_; }
    void performOnMain(std::function<void()> fn, bool wait) override;
    TimerPtr scheduleTimer(double interval, bool repeats, Timer::Action action,
                           Dictionary userInfo = {}) override;

    // Hands the loop to the calling thread (for a loop created on one thread
    // and run on another).
    void adoptCurrentThread() { owner_ = std::this_thread::get_id(); }

    // Number of timers still scheduled and valid.
    size_t scheduledTimerCount() const;

  protected:
    // Seconds on the loop's clock.
    virtual double clockNow() const = 0;

    // Runs every queued perform (including ones queued while running).
    // Returns how many ran.
    size_t drainPerforms();
    // Fires every timer due at or before clockNow(), in order, draining
    // performs after each. Returns how many fired.
    size_t fireDueTimers();
    // Fire time of the earliest valid timer, or a negative value when none.
    double nextFireTime() const;
    // Blocks until a perform is queued, the deadline (seconds on the real
    // steady clock) passes, or wake() is called.
    void waitForWork(std::chrono::steady_clock::time_point deadline);
    void wake();
    bool hasQueuedPerforms() const;

  private:
    struct Entry {
        double fireTime;
        std::uint64_t sequence;
        TimerPtr timer;
    };
    void insertTimer(const TimerPtr& t);

    std::thread::id owner_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> performs_;
    bool woken_ = false;
    std::vector<Entry> timers_;  // kept sorted by (fireTime, sequence)
    std::uint64_t nextSequence_ = 0;
};

}  // namespace klik
