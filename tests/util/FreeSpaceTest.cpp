#include <gtest/gtest.h>

#include "util/FreeSpace.h"

namespace klik {
namespace {

TEST(FreeSpace, CountsFragmentsNotPreferredIoSize) {
    // A network share: 1 MiB preferred I/O size, 4 KiB fragments.
    struct statvfs share {};
    share.f_bsize = 1 << 20;
    share.f_frsize = 4096;
    share.f_bavail = 1000;
    const FreeSpace f = freeSpaceFromStatvfs(share);
    EXPECT_EQ(f.blockSize, 4096u);
    EXPECT_EQ(f.freeBlocks, 1000u);
    EXPECT_EQ(f.bytes(), 4096000u);  // not 1000 MiB

    struct statvfs old {};
    old.f_bsize = 512;
    old.f_bavail = 8;
    EXPECT_EQ(freeSpaceFromStatvfs(old).bytes(), 4096u);

    auto here = freeSpaceAtPath("/");
    ASSERT_TRUE(here);
    EXPECT_GT(here->blockSize, 0u);
    EXPECT_FALSE(freeSpaceAtPath("/no/such/folder/anywhere"));
}

}  // namespace
}  // namespace klik
