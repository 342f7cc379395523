// klikctl's commands as an operator runs them: defaults, print supplies,
// address and barcode checks, date formats, the interface table and share
// links.

#include <gtest/gtest.h>

#include "KlikctlRunner.h"
#include "foundation/PropertyList.h"
#include "foundation/Settings.h"
#include "photo/ShareLink.h"
#include "util/GLIMRA_NetStuff.h"

namespace klik::test {
namespace {

TEST(KlikctlDefaults, WritesTypedValuesDeletesAndRefusesBadArguments) {
    Klikctl k;
    for (const char* write :
         {"touchScreenCountValue -int 12", "prefShowLegalese -bool YES",
          "prefMaxRecordingLengthInSeconds -float 7.5", "prefKioskStationName 'Booth A'",
          "prefWebViewFuseActions -dict cameraMain 'x?f=still'",
          "prefWebViewFuseActions -dict other y"})
        ASSERT_TRUE(runs(k, std::string("defaults write ") + write, 0));

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

    // Deleting, missing keys, and bad arguments that leave the file alone.
    ASSERT_TRUE(runs(k, "defaults write a -int 1", 0));
    for (const char* bad :
         {"defaults write a -int 1.5", "defaults write a -bool maybe", "defaults write a -float x",
          "defaults write a -dict k", "defaults write a -weird 1", "defaults write a",
          "defaults frobnicate", "defaults"})
        EXPECT_TRUE(runs(k, bad, 2, "", "usage:"));
    EXPECT_EQ(Settings(k.settingsPath()).integerForKey("a"), 1);

    EXPECT_TRUE(runs(k, "defaults delete a", 0));
    EXPECT_TRUE(runs(k, "defaults read a", 1));
    EXPECT_TRUE(runs(k, "defaults delete a", 1, "", "does not exist"));
}

TEST(Klikctl, HelpUnknownCommandsAndDateFormats) {
    Klikctl k;
    EXPECT_TRUE(runs(k, "--help", 0, "defaults"));
    EXPECT_TRUE(runs(k, "defaults --help", 0));
    EXPECT_TRUE(runs(k, "no-such-command", 2));
    EXPECT_TRUE(runs(k, "--bogus", 2));

    // The output is in local time; noon UTC is 31 December in every zone
    // of the test machines, and that day's week belongs to 2027.
    ToolResult r = k.run("date-format 'YYYY yyyy' --at 2026-12-31T12:00:00Z");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "2027 2026\n");
    EXPECT_TRUE(runs(k, "date-format 'yyyy' --at 31.12.2026", 2));
    EXPECT_TRUE(runs(k, "date-format", 2));
}

TEST(KlikctlPrint, SuppliesShowTheKiosksCountAndReloadStartsItAgain) {
    Klikctl k;
    EXPECT_TRUE(runs(k, "print supplies", 0, "not counted"));
    ASSERT_TRUE(runs(k, "defaults write prefPrintsPerLoad -int 40", 0));
    ASSERT_TRUE(runs(k, "defaults write printSheetsSinceReload -int 37", 0));
    EXPECT_TRUE(runs(k, "print supplies", 0,
                     "3 of 40 prints left (37 printed since the last reload): low"));
    ASSERT_TRUE(runs(k, "defaults write printSheetsSinceReload -int 41", 0));
    EXPECT_TRUE(runs(k, "print supplies", 1, "0 of 40 prints left")) << "used up";
    EXPECT_TRUE(runs(k, "print supplies", 1, "USED UP"));

    const ToolResult r = k.run("print reload");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "paper reloaded: 40 of 40 prints left\n");
    EXPECT_EQ(k.run("defaults read printSheetsSinceReload").out, "0\n");
    EXPECT_TRUE(runs(k, "print refill", 2));
}

TEST(KlikctlValidate, EmailsEachReportedAndBarcodesByTheCurrentSettings) {
    Klikctl k;
    ToolResult r = k.run("validate-email John.Smith@Example.COM 'x@[10.0.0.1]'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "John.Smith@Example.COM: valid\nx@[10.0.0.1]: valid\n");
    r = k.run("validate-email a@b.com john+tag@example.com");
    EXPECT_EQ(r.status, 1) << "any invalid address fails the run";
    EXPECT_EQ(r.out, "a@b.com: valid\njohn+tag@example.com: invalid\n");
    EXPECT_TRUE(runs(k, "validate-email", 2, "", "usage:"));

    r = k.run("validate-barcode '  Guest-7 '");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Guest-7\n");
    ASSERT_TRUE(runs(k, "defaults write prefBarcodeValidationCharSetString AB12", 0));
    ASSERT_TRUE(runs(k, "defaults write prefBarcodeValidationCaseSensitive -bool NO", 0));
    ASSERT_TRUE(runs(k, "defaults write prefBarcodeValidationMinimumLength -int 4", 0));
    r = k.run("validate-barcode ab12");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ab12\n");
    EXPECT_TRUE(runs(k, "validate-barcode ab1", 1, "shorter than 4"));
    EXPECT_TRUE(runs(k, "validate-barcode ab13", 1, "[ab13]"));
    EXPECT_TRUE(runs(k, "validate-barcode \"$(printf 'ab\\t12')\"", 1, "control"));
    EXPECT_TRUE(runs(k, "validate-barcode ''", 1));
    EXPECT_TRUE(runs(k, "validate-barcode", 2));
    EXPECT_TRUE(runs(k, "validate-barcode a b", 2));
}

// The very table the kiosk reads its station mark from.
TEST(KlikctlInterfaces, PrintsTheKiosksOwnInterfaceTable) {
    Klikctl k;
    const ToolResult r = k.run("interfaces");
    ASSERT_EQ(r.status, 0) << r.err;
    auto table = plistFromBytes(r.out);
    ASSERT_TRUE(table.value) << r.out;
    ASSERT_TRUE(table.value->isDictionary()) << r.out;
    // Entry for entry what the library reads on this machine (the table is
    // read afresh by both; interfaces do not come and go during a test).
    EXPECT_EQ(*table.value->dictionary(), GLIMRA_NetStuff::activeInterfaces()) << r.out;
    const Value& order = (*table.value)["INTERFACE_ORDER"];
    ASSERT_TRUE(order.isArray());
    for (const Value& name : *order.array())
        EXPECT_TRUE((*table.value)[name.stringOr()].isDictionary()) << name.stringOr();
    EXPECT_TRUE(runs(k, "interfaces eth0", 2, "", "usage:"));
}

TEST(KlikctlShareLink, PrintsTheLinkOfAFiledPhotoAndOfItsUploadCopy) {
    Klikctl k;
    const std::string filed = k.dir().file("Images") + "/2024-05-01/GUEST-001_001122334455_002.jpg";
    const std::string up = k.dir().file("Up") + "/2024-05-01/";
    writeFile(filed, "filed");
    writeFile(up + "GUEST-001_001122334455_comp_002.jpg", "copy");
    writeFile(up + "20240501120000_Booth.jpg", "video still");
    ASSERT_TRUE(runs(k, "defaults write forUploadFolder " + k.dir().file("Up"), 0));
    EXPECT_TRUE(runs(k, "share link " + filed, 1, "", "no gallery address"));

    ASSERT_TRUE(runs(k, "defaults write prefShareGalleryAddress http://192.168.4.1:8080", 0));
    const ToolResult r =
        k.run("share link " + filed + " " + up + "GUEST-001_001122334455_comp_002.jpg " + up +
              "20240501120000_Booth.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    // The secret was made beside the settings file.
    auto secret = ShareSecret::load(ShareSecret::pathBesideSettings(k.settingsPath()));
    ASSERT_TRUE(secret);
    const std::string photo = "http://192.168.4.1:8080/p/" +
                              shareToken(*secret, "2024-05-01/GUEST-001_001122334455_comp_002.jpg");
    const std::string still =
        "http://192.168.4.1:8080/p/" + shareToken(*secret, "2024-05-01/20240501120000_Booth.jpg");
    EXPECT_EQ(r.out, photo + "\n" + photo + "\n" + still + "\n");

    EXPECT_TRUE(runs(k, "share link " + k.dir().file("missing.jpg"), 1));
    EXPECT_TRUE(runs(k, "share", 2, "", "link"));
    EXPECT_TRUE(runs(k, "share help link", 0, "usage: klikctl share link FILE"));
}

}  // namespace
}  // namespace klik::test
