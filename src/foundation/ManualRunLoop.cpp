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
    std::atomic<bool> done{false};
    std::thread helper([&] {
        work();
        done = true;
        // Wakes the loop at once instead of at its next poll.
        performOnMain([] {}, false);
    });
    const auto finished = [&] { return done.load(); };
    const bool inTime = runUntil(finished, realTimeout);
    // Joining while the work waits for this thread would never return.
    while (!runUntil(finished, std::chrono::hours(1))) {
    }
    helper.join();
    runPending();
    return inTime;
}

}  // namespace klik
