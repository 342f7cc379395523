#include "camera/gphoto2/GPhotoWorker.h"

#include <future>
#include <memory>

#include <pthread.h>
#include <signal.h>

namespace klik {

namespace {
thread_local bool tOnWorker = false;
}  // namespace

bool GPhotoWorker::onAnyWorker() {
    return tOnWorker;
}

GPhotoWorker::GPhotoWorker(const char* name)
    : thread_([this] {
          tOnWorker = true;
          // A camera that drops its connection makes the library's next
          // write raise SIGPIPE, which would end the program: on this thread
          // it stays blocked and the write fails instead.
          sigset_t pipe;
          sigemptyset(&pipe);
          sigaddset(&pipe, SIGPIPE);
          pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
          loop();
      }) {
    pthread_setname_np(thread_.native_handle(), name);
}

GPhotoWorker::~GPhotoWorker() {
    {
        std::lock_guard l(mutex_);
        stopping_ = true;
        jobs_.clear();
        lowJobs_.clear();
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool GPhotoWorker::run(const std::function<void()>& job, bool lowPriority) {
    if (isWorkerThread()) {
        job();
        return true;
    }
    // The promise travels with the job: a job dropped by a stopping worker
    // breaks it, so the caller is never left waiting.
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    {
        std::lock_guard l(mutex_);
        if (stopping_) return false;
        Job j{[done, &job] {
            job();
            done->set_value();
        }};
        (lowPriority ? lowJobs_ : jobs_).push_back(std::move(j));
    }
    cv_.notify_all();
    try {
        finished.get();
        return true;
    } catch (const std::future_error&) {
        return false;
    }
}

void GPhotoWorker::waitUntilPending(size_t count) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return jobs_.size() + lowJobs_.size() >= count; });
}

void GPhotoWorker::post(std::function<void()> job) {
    {
        std::lock_guard l(mutex_);
        if (stopping_) return;
        jobs_.push_back(Job{std::move(job)});
    }
    cv_.notify_all();
}

void GPhotoWorker::setIdle(std::function<void()> step, std::chrono::milliseconds interval) {
    {
        std::lock_guard l(mutex_);
        idle_ = std::move(step);
        idleInterval_ = interval;
        nextIdle_ = std::chrono::steady_clock::now();
    }
    cv_.notify_all();
}

// Runs the first waiting job (ordinary ones before low-priority ones) with
// the lock released; false when none waits.
bool GPhotoWorker::runOne(std::unique_lock<std::mutex>& lock) {
    std::deque<Job>* from = !jobs_.empty() ? &jobs_ : !lowJobs_.empty() ? &lowJobs_ : nullptr;
    if (!from) return false;
    Job j = std::move(from->front());
    from->pop_front();
    lock.unlock();
    j.fn();
    lock.lock();
    return true;
}

void GPhotoWorker::serveFor(std::chrono::milliseconds d) {
    const auto until = std::chrono::steady_clock::now() + d;
    std::unique_lock lock(mutex_);
    ++nesting_;
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
        // Only ordinary jobs here: a frame must not run inside a capture.
        if (!jobs_.empty()) {
            Job j = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            j.fn();
            lock.lock();
            continue;
        }
        cv_.wait_until(lock, until);
    }
    --nesting_;
}

void GPhotoWorker::loop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (runOne(lock)) continue;
        if (idle_) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= nextIdle_) {
                nextIdle_ = now + idleInterval_;
                std::function<void()> step = idle_;
                lock.unlock();
                step();
                lock.lock();
                continue;
            }
            cv_.wait_until(lock, nextIdle_);
        } else {
            cv_.wait(lock);
        }
    }
}

}  // namespace klik
