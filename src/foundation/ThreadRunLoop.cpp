#include "foundation/ThreadRunLoop.h"

namespace klik {

ThreadRunLoop::ThreadRunLoop() : origin_(std::chrono::steady_clock::now()) {}

Date ThreadRunLoop::now() const {
    return std::chrono::system_clock::now();
}

double ThreadRunLoop::clockNow() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

void ThreadRunLoop::turn(std::chrono::steady_clock::time_point limit) {
    drainPerforms();
    fireDueTimers();
    if (stopped_.load() || hasQueuedPerforms()) return;
    auto deadline = limit;
    double next = nextFireTime();
    if (next >= 0) {
        auto at = origin_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                std::chrono::duration<double>(next));
        if (at < deadline) deadline = at;
    }
    waitForWork(deadline);
}

void ThreadRunLoop::run() {
    adoptCurrentThread();
    stopped_.store(false);
    while (!stopped_.load()) turn(std::chrono::steady_clock::now() + std::chrono::hours(1));
}

void ThreadRunLoop::runFor(double seconds) {
    adoptCurrentThread();
    stopped_.store(false);
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds));
    while (!stopped_.load() && std::chrono::steady_clock::now() < end) turn(end);
}

void ThreadRunLoop::stop() {
    stopped_.store(true);
    wake();
}

}  // namespace klik
