#pragma once
// Holds a simulated camera call's delay while a test wants it held (a
// download that takes 15 s arrives during the next guest's turn), without
// sleeping: the call waits until released. Delays not held pass at once.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "camera/sim/SimCamSDK.h"

namespace klik::soak {

class HeldDelays {
  public:
    // With `holding` the first delayed calls already wait.
    explicit HeldDelays(bool holding = false) : holding_(holding) {}
    SimCamSDK::DelayHandler handler() {
        return [this](const std::string& call, double seconds) {
            std::unique_lock l(mutex_);
            if (!holding_) return;
            calls_.emplace_back(call, seconds);
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
    // The calls that were held (name, delay), oldest first.
    std::vector<std::pair<std::string, double>> calls() {
        std::lock_guard l(mutex_);
        return calls_;
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
    std::vector<std::pair<std::string, double>> calls_;
};

}  // namespace klik::soak
