#pragma once
// A loop maker for tests: counts the frames it is handed and records each
// loop it is asked to make.

#include <utility>
#include <vector>

#include "app/GuestLoopPort.h"

namespace klik::test {

class FakeGuestLoop : public GuestLoopPort {
  public:
    void keepFrame(const Data& jpeg) override { frames.push_back(jpeg); }
    void dropFrames() override {
        ++drops;
        frames.clear();
    }
    void makeLoop(const FiledPhoto& beside, int size) override {
        loops.push_back({beside.path, frames.size()});
        sizes.push_back(size);
        frames.clear();
    }

    std::vector<Data> frames;
    int drops = 0;
    // (the photo it goes beside, frames it was made of)
    std::vector<std::pair<std::string, size_t>> loops;
    std::vector<int> sizes;
};

}  // namespace klik::test
