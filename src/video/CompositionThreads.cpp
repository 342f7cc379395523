#include "video/CompositionThreads.h"

namespace klik {

CompositionThreads::~CompositionThreads() {
    waitForAll();
}

void CompositionThreads::start(CompositionRequest request) {
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done.swap(ended_);
        const std::uint64_t id = ++nextId_;
        ++started_;
        // Registered before its end can be told: ended() takes the same lock.
        running_.emplace(
            id, asyncGrabFrame(std::move(request), settings_, host_, [this, id] { ended(id); }));
    }
    for (std::thread& t : done) t.join();
}

void CompositionThreads::ended(std::uint64_t id) {
    // On the ending composition's thread, its last work: it joins those that
    // ended before it and leaves itself to the next one.
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done.swap(ended_);
        auto it = running_.find(id);
        if (it != running_.end()) {
            ended_.push_back(std::move(it->second));
            running_.erase(it);
        }
        cv_.notify_all();
    }
    for (std::thread& t : done) t.join();
}

void CompositionThreads::waitForAll() {
    std::vector<std::thread> done;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return running_.empty(); });
        done.swap(ended_);
    }
    for (std::thread& t : done) t.join();
}

void CompositionThreads::waitUntilNoneRunning() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return running_.empty(); });
}

std::size_t CompositionThreads::runningCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_.size();
}

std::size_t CompositionThreads::threadCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_.size() + ended_.size();
}

int CompositionThreads::started() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
}

}  // namespace klik
