#include "video/LoopFrames.h"

namespace klik {

void LoopFrames::add(std::shared_ptr<const Data> jpeg) {
    if (!jpeg || jpeg->empty() || max_ == 0) return;
    std::lock_guard lock(mutex_);
    if (frames_.size() >= max_) frames_.erase(frames_.begin());
    frames_.push_back(std::move(jpeg));
}

std::vector<std::shared_ptr<const Data>> LoopFrames::frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

size_t LoopFrames::size() const {
    std::lock_guard lock(mutex_);
    return frames_.size();
}

void LoopFrames::clear() {
    std::lock_guard lock(mutex_);
    frames_.clear();
}

}  // namespace klik
