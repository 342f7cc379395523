#pragma once
// Peak memory of one run of some work, measured in a child process so that
// neither earlier benchmarks nor the parent's allocator history count: the
// child resets its peak resident size to its current one, runs the work
// once and reports how far the peak rose above the start.
//
// Blocks until the child has ended. Call it outside the timed loop.

#include <functional>
#include <optional>

namespace klik::bench {

struct PeakMemory {
    double peakMiB = 0;   // the child's peak resident size
    double extraMiB = 0;  // that peak minus the resident size at the start
};

// `work` returns whether it did its job; nullopt when the child could not
// be started, the work failed there or the child did not report.
std::optional<PeakMemory> peakMemoryOfOneRun(const std::function<bool()>& work);

}  // namespace klik::bench
