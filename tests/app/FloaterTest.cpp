// The alert HUD: display time, restart without a second beep, the fade's
// cancel answer.

#include <gtest/gtest.h>

#include "ControllerFixture.h"

namespace klik::test {

using FloaterTest = ControllerFixture;

TEST_F(FloaterTest, FirstMessageBeepsAndFadesAfterTheDisplayTimeAndANewOneCancelsTheFade) {
    ui.clear();
    controller->floatingAlertWithString(std::string("Camera connected"));
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"panel Camera connected", "beep"}));
    EXPECT_TRUE(controller->windowShouldCancelFadeAway());
    loop.advance(2.9);
    EXPECT_EQ(ui.count("panel fade"), 0u);
    loop.advance(0.2);
    EXPECT_EQ(ui.count("panel fade"), 1u);
    // The fade runs to its end: nothing new arrived.
    EXPECT_FALSE(controller->windowShouldCancelFadeAway());
    // A message during the fade cancels it; none gives the nil text.
    ui.clear();
    controller->floatingAlertWithString(std::nullopt);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"panel NIL ALERT!!", "beep"}));
    EXPECT_TRUE(controller->windowShouldCancelFadeAway());
}

TEST_F(FloaterTest, ASecondMessageRestartsTheTimeWithoutASecondBeep) {
    ui.clear();
    controller->floatingAlertWithString(std::string("one"));
    loop.advance(2);
    controller->floatingAlertWithString(std::string("two"));
    EXPECT_EQ(ui.count("beep"), 1u);
    EXPECT_EQ(ui.calls.back(), "panel two");
    loop.advance(2);  // 4 s after the first message, 2 s after the second
    EXPECT_EQ(ui.count("panel fade"), 0u);
    loop.advance(1.1);
    EXPECT_EQ(ui.count("panel fade"), 1u);
}

TEST_F(FloaterTest, DisplayTimeZeroKeepsThePanelUntilTheNextMessage) {
    controller->setFloaterDisplayTime(0);
    ui.clear();
    controller->floatingAlertWithString(std::string("stays"));
    loop.advance(60);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"panel stays"}));
}

}  // namespace klik::test
