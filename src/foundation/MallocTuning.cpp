#include "foundation/MallocTuning.h"

#include <malloc.h>

namespace klik {

bool keepLargeBuffersInMappingsOfTheirOwn() {
    // Setting the threshold also turns off glibc's raising of it. Called
    // early in main, before any thread allocates.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    return mallopt(M_MMAP_THRESHOLD, static_cast<int>(kOwnMappingBytes)) == 1;
}

}  // namespace klik
