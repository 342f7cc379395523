#pragma once
// When a job that failed for a passing reason is tried again: an
// exponential back-off with jitter, so a booth that was offline does not
// retry everything at once, and many booths of one event do not retry in
// step.

#include <random>

namespace klik::share {

struct BackoffPolicy {
    double base = 30;                // seconds before the second attempt (before jitter)
    double cap = 3600;               // longest wait between attempts
    double giveUpAfter = 7 * 86400;  // a job this old that fails again fails for good

    // Seconds to wait after the `attempts`-th attempt failed: base * 2^(n-1),
    // at most cap, scaled by a random factor in [0.5, 1].
    double delayAfter(int attempts, std::mt19937_64& random) const;
};

}  // namespace klik::share
