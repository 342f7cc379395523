#pragma once
// The main loop as the camera class sees it in the worker tests: a manual
// loop that counts every wait for the main thread made on the camera's
// worker thread (libgphoto2's rule: a thread holding the worker never waits
// for the main thread, which may itself be waiting for the worker).
// Header only.

#include <atomic>
#include <functional>

#include "foundation/ManualRunLoop.h"
#include "log/Log.h"

namespace klik::test {

class WorkerGuardRunLoop : public RunLoop {
  public:
    // `onWorker` tells whether the calling thread is the camera's worker.
    WorkerGuardRunLoop(ManualRunLoop& loop, std::function<bool()> onWorker)
        : loop_(loop), onWorker_(std::move(onWorker)) {}

    bool isMainThread() const override { return loop_.isMainThread(); }
    void performOnMain(std::function<void()> fn, bool wait) override {
        if (wait && !loop_.isMainThread() && onWorker_()) {
            ++violations_;
            GLIMRA_Log::err("the camera's worker waits for the main thread");
        }
        loop_.performOnMain(std::move(fn), wait);
    }
    TimerPtr scheduleTimer(double interval, bool repeats, Timer::Action action,
                           Dictionary userInfo = {}) override {
        return loop_.scheduleTimer(interval, repeats, std::move(action), std::move(userInfo));
    }
    Date now() const override { return loop_.now(); }

    // Waits for the main thread made on the worker so far.
    int violations() const { return violations_.load(); }

  private:
    ManualRunLoop& loop_;
    std::function<bool()> onWorker_;
    std::atomic<int> violations_{0};
};

}  // namespace klik::test
