#include "share/Backoff.h"

#include <algorithm>
#include <cmath>

namespace klik::share {

double BackoffPolicy::delayAfter(int attempts, std::mt19937_64& random) const {
    const int n = std::clamp(attempts, 1, 60);
    const double full = std::min(cap, base * std::pow(2.0, n - 1));
    std::uniform_real_distribution<double> jitter(0.5, 1.0);
    return full * jitter(random);
}

}  // namespace klik::share
