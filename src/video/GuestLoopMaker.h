#pragma once
// The kiosk's maker of guests' loops: keeps the live-view frames the
// controller hands it (bounded, compressed) and makes each turn's loop on
// a worker thread of its own, one after another, so the next guest's turn
// never waits for it. The MP4 and the GIF go beside the guest's filed photo
// under its base name, and beside its upload copy so they are delivered
// where the photo is.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "app/GuestLoopPort.h"
#include "video/GuestLoop.h"
#include "video/LoopFrames.h"

namespace klik {

class GuestLoopMaker : public GuestLoopPort {
  public:
    // What one loop came to: the files written (empty paths for what
    // failed) and the reason of a failure.
    struct Outcome {
        FiledPhoto beside;
        LoopFiles filed;
        LoopFiles uploaded;
    };
    using Done = std::function<void(const Outcome&)>;

    // `done` (optional) is called on the worker thread after each loop.
    explicit GuestLoopMaker(Done done = {}, size_t maxFrames = 48);
    // Finishes the loops already asked for, then stops the worker.
    ~GuestLoopMaker() override;
    GuestLoopMaker(const GuestLoopMaker&) = delete;
    GuestLoopMaker& operator=(const GuestLoopMaker&) = delete;

    void keepFrame(const Data& jpeg) override;
    void dropFrames() override;
    void makeLoop(const FiledPhoto& beside, int size) override;

    // Frames kept for the turn now.
    size_t framesKept() const { return frames_.size(); }
    // Blocks until every loop asked for is made. Any thread but the worker.
    void waitUntilIdle();

  private:
    struct Job {
        std::vector<std::shared_ptr<const Data>> frames;
        FiledPhoto beside;
        int size = 480;
    };
    void run();
    Outcome make(const Job& job) const;

    Done done_;
    LoopFrames frames_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace klik
