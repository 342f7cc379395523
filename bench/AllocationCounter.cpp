#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define KLIK_COUNT_ALLOCATIONS 0
#else
#define KLIK_COUNT_ALLOCATIONS 1
#endif

#if KLIK_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t n, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void __libc_free(void* p);
}
#endif

namespace {

std::atomic<bool> gCounting{false};
std::atomic<std::size_t> gBytes{0};
std::atomic<std::size_t> gCalls{0};

[[maybe_unused]] inline void note(std::size_t size) {
    if (!gCounting.load(std::memory_order_relaxed)) return;
    gBytes.fetch_add(size, std::memory_order_relaxed);
    gCalls.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

#if KLIK_COUNT_ALLOCATIONS
extern "C" {

void* malloc(std::size_t size) {
    note(size);
    return __libc_malloc(size);
}

void* calloc(std::size_t n, std::size_t size) {
    note(n * size);
    return __libc_calloc(n, size);
}

void* realloc(void* p, std::size_t size) {
    note(size);
    return __libc_realloc(p, size);
}

void free(void* p) {
    __libc_free(p);
}

}  // extern "C"
#endif

namespace klik::bench {

void startCountingAllocations() {
    gBytes = 0;
    gCalls = 0;
    gCounting = true;
}

AllocationCount stopCountingAllocations() {
    gCounting = false;
    return {gBytes.load(), gCalls.load(), KLIK_COUNT_ALLOCATIONS != 0};
}

}  // namespace klik::bench
