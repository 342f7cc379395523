#pragma once
// The simulated camera's event thread: work (camera-added, state, property
// and object events) queued with an optional delay and run in due order on
// one thread of its own, as a camera SDK delivers events.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace klik {

class SimEventQueue {
  public:
    SimEventQueue();
    // Stops the thread; work not yet due is dropped.
    ~SimEventQueue();
    // Finishes the work now running, drops the rest and joins the thread.
    // Idempotent; not from the event thread. Owners call it before they free
    // what queued work touches.
    void stop();
    SimEventQueue(const SimEventQueue&) = delete;
    SimEventQueue& operator=(const SimEventQueue&) = delete;

    // Queues `fn` to run `delaySeconds` from now on the event thread. Any
    // thread; never blocks.
    void post(std::function<void()> fn, double delaySeconds = 0);
    // True on the event thread.
    bool isEventThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    // Blocks until nothing is queued or running (work may queue more).
    // Not from the event thread.
    void waitUntilIdle();
    // True when nothing is queued or running; never blocks.
    bool idle();

  private:
    struct Item {
        std::chrono::steady_clock::time_point due;
        unsigned long long sequence;
        std::function<void()> fn;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Item> items_;
    unsigned long long nextSequence_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace klik
