// The kiosk's --web and --scripted-minutes options and klik-webserver's command line.

#include <gtest/gtest.h>

#include "ui/kiosk/KioskOptions.h"

namespace klik::test {
namespace {

TEST(KioskWebOption, TakesAWebAddressWithoutItsTrailingSlash) {
    std::string error;
    auto o = parseKioskOptions({"--web", "http://127.0.0.1:8080/klik/", "--scripted", "2"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->web, "http://127.0.0.1:8080/klik");
    EXPECT_EQ(o->scripted, 2);
    EXPECT_TRUE(o->sim);
    o = parseKioskOptions({"--web", "https://kiosk.local"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->web, "https://kiosk.local");

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--web"}, std::vector<std::string>{"--web", "kiosk.local"},
          std::vector<std::string>{"--web", "file:///etc/passwd"}}) {
        error.clear();
        EXPECT_FALSE(parseKioskOptions(bad, &error).has_value());
        EXPECT_NE(error.find("--web"), std::string::npos) << error;
    }
}

TEST(KioskScriptedOption, MinutesBoundAScriptedRunAndNeedItsGuests) {
    std::string error;
    auto o = parseKioskOptions({"--scripted", "1000", "--scripted-minutes", "60"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->scripted, 1000);
    EXPECT_DOUBLE_EQ(o->scriptedMinutes, 60);
    o = parseKioskOptions({"--scripted-minutes", "1.5", "--scripted", "3"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_DOUBLE_EQ(o->scriptedMinutes, 1.5);
    o = parseKioskOptions({"--scripted", "3"}, &error);
    ASSERT_TRUE(o.has_value()) << error;
    EXPECT_EQ(o->scriptedMinutes, 0);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--scripted", "3", "--scripted-minutes"},
          std::vector<std::string>{"--scripted", "3", "--scripted-minutes", "0"},
          std::vector<std::string>{"--scripted", "3", "--scripted-minutes", "-5"},
          std::vector<std::string>{"--scripted", "3", "--scripted-minutes", "nan"},
          std::vector<std::string>{"--scripted", "3", "--scripted-minutes", "10x"},
          std::vector<std::string>{"--scripted", "3", "--scripted-minutes", "1e9"},
          std::vector<std::string>{"--scripted-minutes", "10"}}) {
        error.clear();
        EXPECT_FALSE(parseKioskOptions(bad, &error).has_value()) << bad.back();
        EXPECT_NE(error.find("--scripted"), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace klik::test
