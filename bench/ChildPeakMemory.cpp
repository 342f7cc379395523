#include "ChildPeakMemory.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace klik::bench {

namespace {

// A "Vm...:  N kB" line of /proc/self/status in KiB; -1 when missing.
long statusKiB(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long value = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            value = std::strtol(line + n + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

}  // namespace

std::optional<PeakMemory> peakMemoryOfOneRun(const std::function<bool()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(fds[0]);
        // "5" resets the peak resident size to the current one.
        const int clear = ::open("/proc/self/clear_refs", O_WRONLY);
        if (clear >= 0) {
            (void)!::write(clear, "5", 1);
            ::close(clear);
        }
        const long start = statusKiB("VmRSS");
        if (!work()) ::_exit(1);
        long sizes[2] = {start, statusKiB("VmHWM")};
        (void)!::write(fds[1], sizes, sizeof sizes);
        ::_exit(0);
    }
    ::close(fds[1]);
    long sizes[2] = {-1, -1};
    const ssize_t got = ::read(fds[0], sizes, sizeof sizes);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (got != static_cast<ssize_t>(sizeof sizes) || sizes[0] < 0 || sizes[1] < 0)
        return std::nullopt;
    return PeakMemory{sizes[1] / 1024.0, (sizes[1] - sizes[0]) / 1024.0};
}

}  // namespace klik::bench
