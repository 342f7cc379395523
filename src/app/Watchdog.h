#pragma once
// The kiosk's watchdog: a thread of its own that asks the main thread for
// a heartbeat once a second and ends the process when the main thread has
// not answered for more than the limit (3000 s), so that a hung kiosk is
// restarted by whatever supervises it instead of standing frozen for days.
// Every second the main thread is late is logged.
//
// The heartbeat counter is written on the main thread only and read by the
// watchdog without a lock (one 32-bit atomic word).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace klik {

class RunLoop;

class Watchdog {
  public:
    struct Options {
        // Seconds the main thread may be late before the process ends.
        std::uint32_t limitSeconds = 3000;
        // Waits about one second; false when the watchdog is stopping. The
        // default waits on the wall clock and wakes early for stop().
        std::function<bool()> sleepOneSecond;
        // Ends the process at once (no clean-up); the default is _exit(1).
        std::function<void()> exitNow;
    };

    // `mainLoop` is borrowed and must outlive the watchdog.
    Watchdog(RunLoop& mainLoop, Options options);
    explicit Watchdog(RunLoop& mainLoop);
    // Stops the thread and waits for it.
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Starts the thread; a second call does nothing. Any thread.
    void start();
    // Asks the thread to end and waits for it. Any thread but the watchdog's.
    void stop();

    // Main thread: the heartbeat the watchdog asks for.
    void updateWatchdogCounter() { count_->fetch_add(1, std::memory_order_relaxed); }
    std::uint32_t watchdogCount() const { return count_->load(std::memory_order_relaxed); }
    // Seconds the main thread is late now (0 while it answers). Any thread.
    std::uint32_t secondsLate() const { return late_.load(); }

  private:
    void run();
    bool defaultSleep();

    RunLoop& loop_;
    Options options_;
    // Shared with heartbeat requests still queued on the main loop, so one
    // that runs after the watchdog is gone touches nothing freed.
    std::shared_ptr<std::atomic<std::uint32_t>> count_ =
        std::make_shared<std::atomic<std::uint32_t>>(0);
    std::atomic<std::uint32_t> late_{0};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

}  // namespace klik
