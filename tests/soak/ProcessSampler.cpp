#include "soak/ProcessSampler.h"

#include <malloc.h>

#include <cstddef>

#include <filesystem>
#include <fstream>
#include <string>

namespace klik::soak {

namespace {

double entriesIn(const char* folder) {
    std::error_code ec;
    double n = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

double rssKiB() {
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            double kib = 0;
            in >> kib;
            return kib;
        }
        std::getline(in, key);
    }
    return 0;
}

double slope(const std::vector<ProcessSample>& s, double ProcessSample::*field) {
    const double n = static_cast<double>(s.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto& p : s) {
        const double x = static_cast<double>(p.session);
        sx += x;
        sy += p.*field;
        sxx += x * x;
        sxy += x * (p.*field);
    }
    const double den = n * sxx - sx * sx;
    return den == 0 ? 0 : (n * sxy - sx * sy) / den;
}

#if defined(__SANITIZE_ADDRESS__)
#define KLIK_SAMPLER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KLIK_SAMPLER_ASAN 1
#endif
#endif

#ifdef KLIK_SAMPLER_ASAN
// The sanitizer's allocator replaces malloc's, whose counters then stay at
// zero; it keeps its own (declared here: GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
double heapInUseBytes() {
    return static_cast<double>(__sanitizer_get_current_allocated_bytes());
}
#else
double heapInUseBytes() {
    return static_cast<double>(mallinfo2().uordblks);
}
#endif

}  // namespace

ProcessSample sampleProcess(std::uint64_t session) {
    ProcessSample s;
    s.session = session;
    s.rssKiB = rssKiB();
    // Resident memory also holds pages malloc keeps after a free; the heap
    // in use tells a leak from that.
    s.heapKiB = heapInUseBytes() / 1024;
    // The directory iterator's own descriptor is counted too: a constant.
    s.openFds = entriesIn("/proc/self/fd");
    s.threads = entriesIn("/proc/self/task");
    return s;
}

Slopes slopesPerThousand(const std::vector<ProcessSample>& samples) {
    Slopes out;
    if (samples.size() < 2) return out;
    out.rssKiB = 1000 * slope(samples, &ProcessSample::rssKiB);
    out.heapKiB = 1000 * slope(samples, &ProcessSample::heapKiB);
    out.openFds = 1000 * slope(samples, &ProcessSample::openFds);
    out.threads = 1000 * slope(samples, &ProcessSample::threads);
    return out;
}

Slopes laterHalfSlopesPerThousand(const std::vector<ProcessSample>& samples) {
    const auto half = static_cast<std::ptrdiff_t>(samples.size() / 2);
    return slopesPerThousand(std::vector<ProcessSample>(samples.begin() + half, samples.end()));
}

}  // namespace klik::soak
