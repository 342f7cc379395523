#pragma once
// A token bucket per client address: each request takes one token, tokens
// come back at `perSecond` up to `burst`. The table of clients is bounded:
// past `maxClients`, clients whose buckets are full again are forgotten,
// then the longest idle ones.
//
// Thread-safe.

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace klik {

class RateLimiter {
  public:
    using Clock = std::chrono::steady_clock;

    // perSecond <= 0 lets every request through.
    RateLimiter(double perSecond, double burst, std::size_t maxClients = 4096);

    // True when `client` may make a request at `now` (and takes its token).
    bool allow(const std::string& client, Clock::time_point now = Clock::now());
    std::size_t trackedClients() const;

  private:
    struct Bucket {
        double tokens = 0;
        Clock::time_point last;
    };
    void prune(Clock::time_point now);

    const double perSecond_;
    const double burst_;
    const std::size_t maxClients_;
    mutable std::mutex mutex_;
    std::map<std::string, Bucket> buckets_;
};

}  // namespace klik
