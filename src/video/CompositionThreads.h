#pragma once
// The composition threads of a program: one per finished recording, each
// joined as soon as it has ended (by the next composition to end, or by the
// next start), so a kiosk that composes clips for days keeps no stacks of
// finished threads. The owner's end waits for those still running.
//
// Any thread. The settings and the host must outlive the object.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "video/VideoComposition.h"

namespace klik {

class CompositionThreads {
  public:
    CompositionThreads(Settings& settings, VideoCompositionHost& host)
        : settings_(settings), host_(host) {}
    // Waits for every composition (see waitForAll).
    ~CompositionThreads();
    CompositionThreads(const CompositionThreads&) = delete;
    CompositionThreads& operator=(const CompositionThreads&) = delete;

    // Starts the composition of `request` on a thread of its own (counted
    // in gIsProcessingVideo until its chain has run) and returns.
    void start(CompositionRequest request);
    // Blocks until every composition has ended and joins them all.
    void waitForAll();
    // Blocks until no composition runs (the last one's thread may still be
    // waiting to be joined).
    void waitUntilNoneRunning();

    // Compositions whose chain has not ended yet.
    std::size_t runningCount() const;
    // Threads not joined yet, running or ended: at most one more than run.
    std::size_t threadCount() const;
    int started() const;

  private:
    void ended(std::uint64_t id);

    Settings& settings_;
    VideoCompositionHost& host_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::map<std::uint64_t, std::thread> running_;
    std::vector<std::thread> ended_;  // to be joined
    std::uint64_t nextId_ = 0;
    int started_ = 0;
};

}  // namespace klik
