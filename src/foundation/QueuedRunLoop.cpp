#include "foundation/QueuedRunLoop.h"

#include <algorithm>
#include <cmath>
#include <future>

namespace klik {

namespace {
RunLoop* gMainLoop = nullptr;
}

RunLoop* RunLoop::main() {
    return gMainLoop;
}
void RunLoop::setMain(RunLoop* loop) {
    gMainLoop = loop;
}

QueuedRunLoop::QueuedRunLoop() : owner_(std::this_thread::get_id()) {}

QueuedRunLoop::~QueuedRunLoop() {
    if (gMainLoop == this) gMainLoop = nullptr;
}

void QueuedRunLoop::performOnMain(std::function<void()> fn, bool wait) {
    if (wait && isMainThread()) {
        fn();
        return;
    }
    if (!wait) {
        {
            std::lock_guard lock(mutex_);
            performs_.push_back(std::move(fn));
        }
        cv_.notify_all();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    auto future = done->get_future();
    {
        std::lock_guard lock(mutex_);
        performs_.push_back([f = std::move(fn), done] {
            f();
            done->set_value();
        });
    }
    cv_.notify_all();
    future.wait();
}

TimerPtr QueuedRunLoop::scheduleTimer(double interval, bool repeats, Timer::Action action,
                                      Dictionary userInfo) {
    auto t = std::make_shared<Timer>(interval, repeats, std::move(action), std::move(userInfo));
    // A non-positive repeating interval would spin; the platform treats it
    // as a very short one. Keep it from firing more than once per turn.
    if (repeats && t->interval_ <= 0) t->interval_ = 0.0001;
    t->fireTime_ = clockNow() + std::max(0.0, interval);
    insertTimer(t);
    return t;
}

void QueuedRunLoop::insertTimer(const TimerPtr& t) {
    std::lock_guard lock(mutex_);
    t->sequence_ = nextSequence_++;
    Entry e{t->fireTime_, t->sequence_, t};
    auto it =
        std::upper_bound(timers_.begin(), timers_.end(), e, [](const Entry& a, const Entry& b) {
            return a.fireTime < b.fireTime || (a.fireTime == b.fireTime && a.sequence < b.sequence);
        });
    timers_.insert(it, std::move(e));
    woken_ = true;
    cv_.notify_all();
}

size_t QueuedRunLoop::scheduledTimerCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(timers_.begin(), timers_.end(),
                                             [](const Entry& e) { return e.timer->isValid(); }));
}

size_t QueuedRunLoop::drainPerforms() {
    size_t n = 0;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(mutex_);
            if (performs_.empty()) break;
            fn = std::move(performs_.front());
            performs_.pop_front();
        }
        fn();
        ++n;
    }
    return n;
}

size_t QueuedRunLoop::fireDueTimers() {
    size_t fired = 0;
    for (;;) {
        TimerPtr t;
        {
            std::lock_guard lock(mutex_);
            // Drop invalidated timers at the front.
            while (!timers_.empty() && !timers_.front().timer->isValid())
                timers_.erase(timers_.begin());
            if (timers_.empty() || timers_.front().fireTime > clockNow()) break;
            t = timers_.front().timer;
            timers_.erase(timers_.begin());
        }
        if (!t->repeats_) t->invalidate();
        t->action_(*t);
        ++fired;
        if (t->repeats_ && t->isValid()) {
            // The next fire keeps to the grid of the first one; fires missed
            // while the loop was busy are skipped, not run in a burst.
            t->fireTime_ += t->interval_;
            const double now = clockNow();
            if (t->fireTime_ <= now) {
                double missed = std::floor((now - t->fireTime_) / t->interval_) + 1;
                t->fireTime_ += missed * t->interval_;
            }
            insertTimer(t);
        }
        drainPerforms();
    }
    return fired;
}

double QueuedRunLoop::nextFireTime() const {
    std::lock_guard lock(mutex_);
    for (const auto& e : timers_)
        if (e.timer->isValid()) return e.fireTime;
    return -1;
}

void QueuedRunLoop::waitForWork(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    cv_.wait_until(lock, deadline, [&] { return !performs_.empty() || woken_; });
    woken_ = false;
}

void QueuedRunLoop::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    cv_.notify_all();
}

bool QueuedRunLoop::hasQueuedPerforms() const {
    std::lock_guard lock(mutex_);
    return !performs_.empty();
}

}  // namespace klik
