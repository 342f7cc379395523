#pragma once
// The one thread that owns every libgphoto2 call for one camera (or for the
// listing): libgphoto2 is not thread-safe. Work handed to it from another
// thread waits for its answer; work asked for on the worker itself (a call
// made from inside an event handler) runs at once. Between jobs the worker
// runs its idle step (event polling) at a bounded rate; queued jobs are
// always served before the idle step and before low-priority jobs (live-view
// frames).

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace klik {

class GPhotoWorker {
  public:
    explicit GPhotoWorker(const char* name);
    // Stops the worker: finishes the job running, drops the rest (their
    // callers get `false` from run) and joins. Not from the worker.
    ~GPhotoWorker();
    GPhotoWorker(const GPhotoWorker&) = delete;
    GPhotoWorker& operator=(const GPhotoWorker&) = delete;

    // Runs `job` on the worker and waits for it; at once on the worker.
    // False when the worker stopped before running it. Any thread.
    bool run(const std::function<void()>& job, bool lowPriority = false);
    // Queues `job` to run on the worker later; never blocks. Any thread.
    void post(std::function<void()> job);
    // The step run when no job waits, at most every `interval`; none: no
    // idle step. Any thread.
    void setIdle(std::function<void()> step, std::chrono::milliseconds interval);
    bool isWorkerThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    // True on any worker's thread.
    static bool onAnyWorker();
    // Tests: blocks until at least `count` jobs wait to run.
    void waitUntilPending(size_t count);
    // Waits on the worker for `d` while still serving queued jobs (used
    // inside a job's own polling loop). On the worker only.
    void serveFor(std::chrono::milliseconds d);

  private:
    struct Job {
        std::function<void()> fn;
    };
    void loop();
    bool runOne(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Job> jobs_, lowJobs_;
    std::function<void()> idle_;
    std::chrono::milliseconds idleInterval_{100};
    std::chrono::steady_clock::time_point nextIdle_{};
    bool stopping_ = false;
    int nesting_ = 0;
    std::thread thread_;
};

}  // namespace klik
