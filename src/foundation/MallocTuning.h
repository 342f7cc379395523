#pragma once
// A kiosk runs for days and handles camera photos of tens of megabytes: the
// photo's bytes, its decode for the screen, the print's. glibc serves a
// block above its mmap threshold from a mapping of its own and unmaps it on
// free; but after the first such free it raises the threshold to that
// block's size, so later photo buffers come from the malloc arenas instead,
// which keep the pages after the free and fragment as sizes vary. Resident
// memory then creeps up for days while the heap in use stays flat. A fixed
// threshold keeps every large buffer in a mapping of its own.
//
// Call once, early in main (any thread; it only sets glibc's parameters).

#include <cstddef>

namespace klik {

inline constexpr std::size_t kOwnMappingBytes = std::size_t{4} * 1024 * 1024;

// True when the C library took the setting (false under a sanitizer, whose
// allocator replaces glibc's).
bool keepLargeBuffersInMappingsOfTheirOwn();

}  // namespace klik
