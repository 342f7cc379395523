#pragma once
// The live-view frames kept for a guest's animated loop: the JPEG frames
// the kiosk already receives during the last moments of a countdown, held
// compressed and bounded, so a camera that sends more than expected never
// grows the kiosk's memory.
//
// Any thread (one mutex); frames are shared, never copied.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/Value.h"

namespace klik {

class LoopFrames {
  public:
    explicit LoopFrames(size_t maxFrames = 48) : max_(maxFrames) {}

    // Keeps `jpeg`; past the bound the oldest frame goes.
    void add(std::shared_ptr<const Data> jpeg);
    std::vector<std::shared_ptr<const Data>> frames() const;
    size_t size() const;
    void clear();

  private:
    size_t max_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<const Data>> frames_;
};

}  // namespace klik
