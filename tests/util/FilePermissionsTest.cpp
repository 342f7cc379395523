#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempDir.h"
#include "util/FilePermissions.h"

namespace klik {
namespace {

mode_t modeOf(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode;
}

TEST(FilePermissions, OpensFolderKeepsSpecialBitsAndAMissingPathFails) {
    test::TempDir dir;
    const std::string folder = dir.file("f");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    EXPECT_TRUE(setPermission(folder, 0777));
    EXPECT_EQ(modeOf(folder) & 07777, 0777u);
    EXPECT_TRUE(S_ISDIR(modeOf(folder)));

    const std::string file = dir.file("g");
    test::writeFile(file, "x");
    ASSERT_EQ(::chmod(file.c_str(), 02640), 0);
    EXPECT_TRUE(setPermission(file, 0777));
    // The set-group-id bit survives; only the nine rwx bits change. Bits
    // above 0777 in the request are ignored.
    EXPECT_EQ(modeOf(file) & 07777, 02777u);
    EXPECT_TRUE(setPermission(file, 04600));
    EXPECT_EQ(modeOf(file) & 07777, 02600u);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(setPermission(dir.file("nope"), 0777));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("setPermission => Unable to get info on itemPath = ["), std::string::npos);
    EXPECT_FALSE(setPermissionInC(nullptr, 0777));
}

}  // namespace
}  // namespace klik
