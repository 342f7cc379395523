#pragma once
// Hands live-view frames from the frame loop to the main thread with at
// most one frame waiting: a frame offered while another still waits
// replaces it, so a stalled main thread (a modal alert, a print dialog)
// never piles frames up in memory; it sees the newest when it comes back.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace klik {

class QZNSImageFlipped;
class RunLoop;

class LiveViewFrameMailbox {
  public:
    using Deliver = std::function<void(std::shared_ptr<QZNSImageFlipped>)>;
    // `deliver` runs on `loop`'s thread with each frame that gets through.
    LiveViewFrameMailbox(RunLoop* loop, Deliver deliver);

    // Leaves `frame` for the main thread; never blocks. Any thread.
    void offer(std::shared_ptr<QZNSImageFlipped> frame);
    // Frames waiting now (0 or 1) and frames replaced unseen so far.
    size_t pending() const;
    size_t dropped() const { return dropped_.load(); }

  private:
    struct Shared {
        std::mutex mutex;
        std::shared_ptr<QZNSImageFlipped> waiting;
        bool deliveryQueued = false;
    };
    RunLoop* loop_;
    Deliver deliver_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::atomic<size_t> dropped_{0};
};

}  // namespace klik
