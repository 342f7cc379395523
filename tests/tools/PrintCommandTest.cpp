#include <gtest/gtest.h>

#include "KlikctlRunner.h"

namespace klik::test {
namespace {

TEST(KlikctlPrint, SuppliesShowTheKiosksCountAndReloadStartsItAgain) {
    Klikctl k;
    ToolResult r = k.run("print supplies");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("not counted"), std::string::npos) << r.out;

    ASSERT_EQ(k.run("defaults write prefPrintsPerLoad -int 40").status, 0);
    ASSERT_EQ(k.run("defaults write printSheetsSinceReload -int 37").status, 0);
    r = k.run("print supplies");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("3 of 40 prints left (37 printed since the last reload): low"),
              std::string::npos)
        << r.out;

    ASSERT_EQ(k.run("defaults write printSheetsSinceReload -int 41").status, 0);
    r = k.run("print supplies");
    EXPECT_EQ(r.status, 1) << "used up";
    EXPECT_NE(r.out.find("0 of 40 prints left"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("USED UP"), std::string::npos) << r.out;

    r = k.run("print reload");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "paper reloaded: 40 of 40 prints left\n");
    EXPECT_EQ(k.run("defaults read printSheetsSinceReload").out, "0\n");

    EXPECT_EQ(k.run("print refill").status, 2);
}

}  // namespace
}  // namespace klik::test
