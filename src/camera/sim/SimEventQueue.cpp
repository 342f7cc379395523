#include "camera/sim/SimEventQueue.h"

#include <algorithm>

namespace klik {

SimEventQueue::SimEventQueue() : thread_([this] { run(); }) {}

SimEventQueue::~SimEventQueue() {
    stop();
}

void SimEventQueue::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void SimEventQueue::post(std::function<void()> fn, double delaySeconds) {
    auto due = std::chrono::steady_clock::now() +
               std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(std::max(0.0, delaySeconds)));
    {
        std::lock_guard lock(mutex_);
        items_.push_back(Item{due, nextSequence_++, std::move(fn)});
    }
    cv_.notify_all();
}

void SimEventQueue::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return stopping_ || (items_.empty() && !running_); });
}

bool SimEventQueue::idle() {
    std::lock_guard lock(mutex_);
    return items_.empty() && !running_;
}

void SimEventQueue::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (items_.empty()) {
            cv_.wait(lock);
            continue;
        }
        auto next =
            std::min_element(items_.begin(), items_.end(), [](const Item& a, const Item& b) {
                return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
            });
        if (next->due > std::chrono::steady_clock::now()) {
            cv_.wait_until(lock, next->due);
            continue;
        }
        std::function<void()> fn = std::move(next->fn);
        items_.erase(next);
        running_ = true;
        lock.unlock();
        fn();
        lock.lock();
        running_ = false;
        cv_.notify_all();
    }
}

}  // namespace klik
