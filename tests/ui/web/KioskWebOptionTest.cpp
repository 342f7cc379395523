// The kiosk's --web and --scripted-minutes options and klik-webserver's command line.

#include <gtest/gtest.h>

#include "ui/kiosk/KioskOptions.h"

namespace klik::test {
namespace {

using Args = std::vector<std::string>;

TEST(KioskOptions, WebAddressWithoutItsTrailingSlashAndScriptedMinutesThatNeedGuests) {
    std::string error;
    auto o = parseKioskOptions({"--web", "http://127.0.0.1:8080/klik/", "--scripted", "2"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->web, "http://127.0.0.1:8080/klik");
    EXPECT_EQ(o->scripted, 2);
    EXPECT_TRUE(o->sim);
    o = parseKioskOptions({"--web", "https://kiosk.local"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->web, "https://kiosk.local");

    for (const Args& bad :
         {Args{"--web"}, Args{"--web", "kiosk.local"}, Args{"--web", "file:///etc/passwd"}}) {
        error.clear();
        EXPECT_FALSE(parseKioskOptions(bad, &error).has_value());
        EXPECT_NE(error.find("--web"), std::string::npos) << error;
    }

    o = parseKioskOptions({"--scripted", "1000", "--scripted-minutes", "60"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->scripted, 1000);
    EXPECT_DOUBLE_EQ(o->scriptedMinutes, 60);
    o = parseKioskOptions({"--scripted-minutes", "1.5", "--scripted", "3"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_DOUBLE_EQ(o->scriptedMinutes, 1.5);
    o = parseKioskOptions({"--scripted", "3"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->scriptedMinutes, 0);

    for (const Args& bad :
         {Args{"--scripted", "3", "--scripted-minutes"},
          Args{"--scripted", "3", "--scripted-minutes", "0"},
          Args{"--scripted", "3", "--scripted-minutes", "-5"},
          Args{"--scripted", "3", "--scripted-minutes", "nan"},
          Args{"--scripted", "3", "--scripted-minutes", "10x"},
          Args{"--scripted", "3", "--scripted-minutes", "1e9"}, Args{"--scripted-minutes", "10"}}) {
        error.clear();
        EXPECT_FALSE(parseKioskOptions(bad, &error).has_value()) << bad.back();
        EXPECT_NE(error.find("--scripted"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace klik::test
