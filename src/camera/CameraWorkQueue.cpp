#include "camera/CameraWorkQueue.h"

#include "camera/CameraSupport.h"

namespace klik {

void CameraWorkQueue::enqueue(std::function<void()> job) {
    bool start = false;
    {
        std::lock_guard l(mutex_);
        jobs_.push_back(std::move(job));
        start = !running_;
        running_ = true;
    }
    if (start) camera_detail::spawnDetached([this] { drain(); });
}

bool CameraWorkQueue::busy() {
    std::lock_guard l(mutex_);
    return running_;
}

void CameraWorkQueue::drain() {
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard l(mutex_);
            if (jobs_.empty()) {
                running_ = false;
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace klik
