#include "foundation/ManualRunLoop.h"

#include <atomic>
#include <thread>

namespace klik {

ManualRunLoop::ManualRunLoop(Date start) : start_(start) {}

Date ManualRunLoop::now() const {
    return start_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                        std::chrono::duration<double>(clock_));
}

size_t ManualRunLoop::runPending() {
    size_t total = 0;
    for (;;) {
        size_t n = drainPerforms();
        n += fireDueTimers();
        total += n;
        if (n == 0) return total;
    }
}

void ManualRunLoop::advance(double seconds) {
    const double target = clock_ + std::max(0.0, seconds);
    runPending();
    for (;;) {
        double next = nextFireTime();
        if (next < 0 || next > target) break;
        if (next > clock_) clock_ = next;
        runPending();
    }
    clock_ = target;
    runPending();
}

bool ManualRunLoop::advanceToNextTimer() {
    double next = nextFireTime();
    if (next < 0) return false;
    if (next > clock_) clock_ = next;
    runPending();
    return true;
}

bool ManualRunLoop::runUntil(const std::function<bool()>& done,
                             std::chrono::milliseconds realTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + realTimeout;
    for (;;) {
        runPending();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        waitForWork(
            std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
    }
}

bool ManualRunLoop::runAlongside(const std::function<void()>& work,
                                 std::chrono::milliseconds realTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + realTimeout;
    std::atomic<bool> done{false};
    // Written by the helper before `done`, read after the join.
    std::chrono::steady_clock::time_point finishedAt;
    std::thread helper([&] {
        work();
        finishedAt = std::chrono::steady_clock::now();
        done = true;
        // Wakes the loop at once instead of at its next poll.
        performOnMain([] {}, false);
    });
    const auto finished = [&] { return done.load(); };
    // Joining while the work waits for this thread would never return.
    while (!runUntil(finished, std::chrono::hours(1))) {
    }
    helper.join();
    runPending();
    // In time when the work itself ended before the timeout. Whether this
    // thread saw it end by then is no measure: serving the work's own
    // requests can keep it busy past the timeout while the work ends.
    return finishedAt <= deadline;
}

}  // namespace klik
