#include "share/gallery/RateLimiter.h"

#include <algorithm>
#include <vector>

namespace klik {

RateLimiter::RateLimiter(double perSecond, double burst, std::size_t maxClients)
    : perSecond_(perSecond),
      burst_(std::max(1.0, burst)),
      maxClients_(std::max<std::size_t>(1, maxClients)) {}

bool RateLimiter::allow(const std::string& client, Clock::time_point now) {
    if (perSecond_ <= 0) return true;
    std::lock_guard lock(mutex_);
    auto it = buckets_.find(client);
    if (it == buckets_.end()) {
        if (buckets_.size() >= maxClients_) prune(now);
        it = buckets_.emplace(client, Bucket{burst_, now}).first;
    } else {
        const double seconds = std::chrono::duration<double>(now - it->second.last).count();
        if (seconds > 0)
            it->second.tokens = std::min(burst_, it->second.tokens + seconds * perSecond_);
        it->second.last = std::max(it->second.last, now);
    }
    if (it->second.tokens < 1) return false;
    it->second.tokens -= 1;
    return true;
}

void RateLimiter::prune(Clock::time_point now) {
    // Full buckets first: those clients lose nothing by being forgotten.
    const auto refill = std::chrono::duration<double>(burst_ / perSecond_);
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        if (now - it->second.last >= refill)
            it = buckets_.erase(it);
        else
            ++it;
    }
    if (buckets_.size() < maxClients_) return;
    std::vector<std::pair<Clock::time_point, std::string>> byAge;
    byAge.reserve(buckets_.size());
    for (const auto& [client, b] : buckets_) byAge.emplace_back(b.last, client);
    std::sort(byAge.begin(), byAge.end());
    const std::size_t drop = buckets_.size() - maxClients_ / 2;
    for (std::size_t i = 0; i < drop && i < byAge.size(); ++i) buckets_.erase(byAge[i].second);
}

std::size_t RateLimiter::trackedClients() const {
    std::lock_guard lock(mutex_);
    return buckets_.size();
}

}  // namespace klik
