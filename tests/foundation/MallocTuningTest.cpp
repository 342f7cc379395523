#include "foundation/MallocTuning.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace klik {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kGlibcMalloc = false;
#else
constexpr bool kGlibcMalloc = true;
#endif

// Bytes held in mappings of their own right now.
std::size_t mappedBytes() {
    return mallinfo2().hblkhd;
}

TEST(MallocTuning, PhotoSizedBuffersStayInMappingsOfTheirOwnAfterOneIsFreed) {
    if (!kGlibcMalloc) GTEST_SKIP() << "the sanitizer's allocator replaces glibc's malloc";
    ASSERT_TRUE(keepLargeBuffersInMappingsOfTheirOwn());
    // A camera photo's decode for the screen is about this size. Left to
    // itself, glibc would raise its threshold past it at this first free,
    // and serve the next one from an arena that keeps its pages.
    constexpr std::size_t kPhoto = std::size_t{24} * 1024 * 1024;
    void* first = std::malloc(kPhoto);
    ASSERT_NE(first, nullptr);
    std::memset(first, 1, kPhoto);
    std::free(first);

    const std::size_t before = mappedBytes();
    void* second = std::malloc(kPhoto);
    ASSERT_NE(second, nullptr);
    std::memset(second, 2, kPhoto);
    EXPECT_GE(mappedBytes(), before + kPhoto);
    std::free(second);
    // Given back to the system at once.
    EXPECT_LT(mappedBytes(), before + kPhoto);

    // Small blocks still come from the arenas.
    void* small = std::malloc(kOwnMappingBytes / 2);
    EXPECT_EQ(mappedBytes(), before);
    std::free(small);
}

}  // namespace
}  // namespace klik
