#pragma once
// A serial queue of camera work: jobs run one after another, in the order
// they were queued, on a background thread that lives while there is work
// (counted by GLIMRA_Camera::waitForBackgroundThreads). The main thread
// hands every camera call it needs to one of these, so it never waits for
// a camera.

#include <deque>
#include <functional>
#include <mutex>

namespace klik {

class CameraWorkQueue {
  public:
    // Queues `job`. Any thread; never blocks.
    void enqueue(std::function<void()> job);
    // True while a job is queued or running. Any thread.
    bool busy();

  private:
    void drain();

    std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
};

}  // namespace klik
