#include "app/Watchdog.h"

#include <unistd.h>

#include <chrono>

#include "foundation/RunLoop.h"
#include "log/Log.h"

namespace klik {

Watchdog::Watchdog(RunLoop& mainLoop) : Watchdog(mainLoop, Options{}) {}

Watchdog::Watchdog(RunLoop& mainLoop, Options options)
    : loop_(mainLoop), options_(std::move(options)) {
    if (!options_.sleepOneSecond) options_.sleepOneSecond = [this] { return defaultSleep(); };
    if (!options_.exitNow) options_.exitNow = [] { _exit(1); };
}

Watchdog::~Watchdog() {
    stop();
}

void Watchdog::start() {
    std::lock_guard l(mutex_);
    if (thread_.joinable() || stopping_) return;
    thread_ = std::thread([this] { run(); });
}

void Watchdog::stop() {
    {
        std::lock_guard l(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool Watchdog::defaultSleep() {
    std::unique_lock l(mutex_);
    wake_.wait_for(l, std::chrono::seconds(1), [this] { return stopping_.load(); });
    return !stopping_;
}

void Watchdog::run() {
    while (!stopping_) {
        const std::uint32_t seen = watchdogCount();
        std::uint32_t s = 0;
        for (;;) {
            // Not waiting: a hung main thread must not hang the watchdog.
            loop_.performOnMain(
                [count = count_] { count->fetch_add(1, std::memory_order_relaxed); }, false);
            if (!options_.sleepOneSecond() || stopping_) return;
            if (watchdogCount() != seen) break;
            if (s > options_.limitSeconds) {
                GLIMRA_Log::errf("Watchdog says we are hanging after %u seconds ... app is exiting",
                                 s);
                options_.exitNow();
                return;
            }
            GLIMRA_Log::errf("Watchdog says we are spinning for %u seconds on the main thread", s);
            ++s;
            late_ = s;
        }
        late_ = 0;
    }
}

}  // namespace klik
