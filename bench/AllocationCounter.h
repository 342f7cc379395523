#pragma once
// Counts the heap bytes the benchmark binary asks for (malloc, calloc,
// realloc, and so operator new and libjpeg-turbo's own buffers) while
// counting is switched on. The binary's malloc family forwards to glibc's.
//
// Any thread; the counters are process-wide. Under AddressSanitizer, which
// owns malloc itself, nothing is counted and the count says so.

#include <cstddef>

namespace klik::bench {

struct AllocationCount {
    std::size_t bytes = 0;
    std::size_t calls = 0;
    bool available = true;
};

// Starts counting from zero.
void startCountingAllocations();
// Stops counting and returns what was asked for since the start.
AllocationCount stopCountingAllocations();

}  // namespace klik::bench
