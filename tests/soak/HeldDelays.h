#pragma once
// Holds a simulated camera call's delay while the soak wants it held (a
// download that takes 15 s arrives during the next guest's turn), without
// sleeping: the call waits until released. Delays not held pass at once.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "camera/sim/SimCamSDK.h"

namespace klik::soak {

class HeldDelays {
  public:
    SimCamSDK::DelayHandler handler() {
        return [this](const std::string&, double) {
            std::unique_lock l(mutex_);
            if (!holding_) return;
            ++held_;
            const std::uint64_t generation = generation_;
            changed_.notify_all();
            changed_.wait(l, [&] { return generation_ != generation; });
            --held_;
        };
    }
    // The next delayed calls wait until release().
    void hold() {
        std::lock_guard l(mutex_);
        holding_ = true;
    }
    bool holding() {
        std::lock_guard l(mutex_);
        return holding_;
    }
    std::size_t held() {
        std::lock_guard l(mutex_);
        return held_;
    }
    void release() {
        std::lock_guard l(mutex_);
        holding_ = false;
        ++generation_;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool holding_ = false;
    std::size_t held_ = 0;
    std::uint64_t generation_ = 0;
};

}  // namespace klik::soak
