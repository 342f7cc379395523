// The kiosk's --web option and klik-webserver's command line.

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

}  // namespace
}  // namespace klik::test
