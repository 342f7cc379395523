#include <gtest/gtest.h>

#include "KlikctlRunner.h"
#include "foundation/Settings.h"

namespace klik::test {
namespace {

TEST(KlikctlDefaults, WritesTypedValuesTheKioskReadsBack) {
    Klikctl k;
    ASSERT_EQ(k.run("defaults write touchScreenCountValue -int 12").status, 0);
    ASSERT_EQ(k.run("defaults write prefShowLegalese -bool YES").status, 0);
    ASSERT_EQ(k.run("defaults write prefMaxRecordingLengthInSeconds -float 7.5").status, 0);
    ASSERT_EQ(k.run("defaults write prefKioskStationName 'Booth A'").status, 0);
    ASSERT_EQ(k.run("defaults write prefWebViewFuseActions -dict cameraMain 'x?f=still'").status,
              0);
    ASSERT_EQ(k.run("defaults write prefWebViewFuseActions -dict other y").status, 0);

    Settings s(k.settingsPath());
    EXPECT_EQ(s.integerForKey("touchScreenCountValue"), 12);
    EXPECT_TRUE(s.objectForKey("prefShowLegalese")->isBool());
    EXPECT_TRUE(s.boolForKey("prefShowLegalese"));
    EXPECT_DOUBLE_EQ(s.doubleForKey("prefMaxRecordingLengthInSeconds"), 7.5);
    EXPECT_EQ(s.stringForKey("prefKioskStationName"), "Booth A");
    auto fuse = s.dictionaryForKey("prefWebViewFuseActions");
    ASSERT_TRUE(fuse);
    EXPECT_EQ(fuse->size(), 2u);

    ToolResult r = k.run("defaults read touchScreenCountValue");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "12\n");
    EXPECT_EQ(k.run("defaults read prefKioskStationName").out, "Booth A\n");
}

TEST(KlikctlDefaults, DeleteAndMissingKeys) {
    Klikctl k;
    ASSERT_EQ(k.run("defaults write a -int 1").status, 0);
    EXPECT_EQ(k.run("defaults delete a").status, 0);
    EXPECT_EQ(k.run("defaults read a").status, 1);
    ToolResult r = k.run("defaults delete a");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos);
}

TEST(KlikctlDefaults, BadArgumentsAreRefusedWithoutTouchingTheFile) {
    Klikctl k;
    ASSERT_EQ(k.run("defaults write a -int 1").status, 0);
    for (const char* bad :
         {"defaults write a -int 1.5", "defaults write a -bool maybe", "defaults write a -float x",
          "defaults write a -dict k", "defaults write a -weird 1", "defaults write a",
          "defaults frobnicate", "defaults"}) {
        ToolResult r = k.run(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << bad;
    }
    EXPECT_EQ(Settings(k.settingsPath()).integerForKey("a"), 1);
}

TEST(Klikctl, HelpAndUnknownCommands) {
    Klikctl k;
    ToolResult r = k.run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("defaults"), std::string::npos);
    EXPECT_EQ(k.run("defaults --help").status, 0);
    EXPECT_EQ(k.run("no-such-command").status, 2);
    EXPECT_EQ(k.run("--bogus").status, 2);
}

TEST(KlikctlDateFormat, WeekBasedYearAndBadDates) {
    Klikctl k;
    ToolResult r = k.run("date-format 'YYYY yyyy' --at 2026-12-31T12:00:00Z");
    EXPECT_EQ(r.status, 0);
    // The output is in local time; noon UTC is 31 December in every zone
    // of the test machines, and that day's week belongs to 2027.
    EXPECT_EQ(r.out, "2027 2026\n");
    EXPECT_EQ(k.run("date-format 'yyyy' --at 31.12.2026").status, 2);
    EXPECT_EQ(k.run("date-format").status, 2);
}

}  // namespace
}  // namespace klik::test
