#pragma once
// Samples of this process's resident memory, heap in use, open file
// descriptors and threads over a soak, and their trend per 1,000 sessions (least squares).

#include <cstdint>
#include <vector>

namespace klik::soak {

struct ProcessSample {
    std::uint64_t session = 0;
    double rssKiB = 0;
    double heapKiB = 0;  // allocated and not freed (malloc's own count)
    double openFds = 0;
    double threads = 0;
};

// The process now (from /proc/self).
ProcessSample sampleProcess(std::uint64_t session);

struct Slopes {
    double rssKiB = 0, heapKiB = 0, openFds = 0, threads = 0;  // per 1,000 sessions
};
// Least-squares slopes over `samples` (zeros with fewer than two).
Slopes slopesPerThousand(const std::vector<ProcessSample>& samples);
// The same over the later half of `samples`. A leak keeps its slope there;
// pages malloc's arenas take once while they warm up to the working set do
// not, though they lift the slope over the whole run.
Slopes laterHalfSlopesPerThousand(const std::vector<ProcessSample>& samples);

}  // namespace klik::soak
