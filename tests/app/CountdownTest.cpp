// The one-second screen timer and the countdown numbers, in virtual time.

#include <cmath>

#include "ControllerFixture.h"

namespace klik::test {
namespace {

class CountdownTest : public ControllerFixture {
  protected:
    // Screen 2 holds still, so a count that ends on screen 1 shows as screen 2.
    CountdownTest() {
        artwork.names = {"touch2"};
        settings.setInteger(key::prefDelayScreen2, 1000);
    }
    // Puts the kiosk on screen `n` (3 to 7) by hand, with no timer pending
    // from screen 2.
    void reach(std::uint32_t n) {
        controller->startOver();
        controller->nextScreenWithLegalese();
        controller->nextScreen();
        while (screen() < n) controller->nextScreen();
        ASSERT_EQ(screen(), n);
    }
};

TEST_F(CountdownTest, ADelayCountsItsWholeSecondsAndWaitsOneTickAtLeast) {
    const struct {
        double delay;
        std::uint32_t count;  // the number shown at the start
        double moveOnAfter;   // seconds until the flow moves on
    } cases[] = {{0, 0, 1}, {2.9, 2, 2}, {-3, 0, 1}, {std::nan(""), 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delay);
        controller->startOver();
        controller->startTimerWithExpirationDelay(c.delay);
        EXPECT_EQ(controller->countdownValue(), c.count);
        loop.advance(c.moveOnAfter - 0.001);
        EXPECT_EQ(screen(), 1u);
        loop.advance(0.001);
        EXPECT_EQ(screen(), 2u);
    }
}

TEST_F(CountdownTest, ANewTimerReplacesTheRunningOne) {
    controller->startOver();
    controller->startTimerWithExpirationDelay(5);
    TimerPtr first = controller->screenTimer();
    loop.advance(1);
    controller->startTimerWithExpirationDelay(2);
    EXPECT_FALSE(first->isValid());
    loop.advance(2);
    EXPECT_EQ(screen(), 2u);
    // Only the new count reached nextScreen.
    EXPECT_EQ(std::count(ui.screens.begin(), ui.screens.end(), 2u), 1);
    EXPECT_EQ(std::count(ui.screens.begin(), ui.screens.end(), 3u), 0);
    loop.advance(2.5);
    EXPECT_EQ(std::count(ui.screens.begin(), ui.screens.end(), 3u), 0);
}

TEST_F(CountdownTest, Screen4ShowsEveryNumberDownTo0OnFieldOne) {
    reach(3);
    loop.advance(1);
    ASSERT_EQ(screen(), 4u);
    std::vector<std::string> shown;
    controller->_liveCountdownField1.setChangeHandler([&](const View& v) {
        if (shown.empty() || shown.back() != v.stringValue()) shown.push_back(v.stringValue());
    });
    controller->_liveCountdownField1.setHidden(true);
    controller->_liveCountdownField1.setTextColor(Colour::black());
    loop.advance(1);
    EXPECT_FALSE(controller->_liveCountdownField1.isHidden());
    EXPECT_TRUE(controller->_liveCountdownField2.isHidden());
    EXPECT_EQ(controller->_liveCountdownField1.textColor(), Colour::white());
    loop.advance(4);
    EXPECT_EQ(screen(), 5u);
    EXPECT_EQ(shown, (std::vector<std::string>{"5", "4", "3", "2", "1", "0"}));
    controller->_liveCountdownField1.setChangeHandler(nullptr);
}

TEST_F(CountdownTest, NothingIsRefreshedWithoutTheLiveCountdownAndScreenOneStopsTheTimer) {
    settings.setBool(key::prefDoCountdownInSngleMonitorMode, false);
    reach(4);
    controller->_liveCountdownField1.setStringValue("x");
    loop.advance(3);
    EXPECT_EQ(controller->_liveCountdownField1.stringValue(), "x");
    // Screen 1 stops the screen timer.
    TimerPtr t = controller->screenTimer();
    ASSERT_TRUE(t && t->isValid());
    controller->startOver();
    EXPECT_FALSE(t->isValid());
    EXPECT_EQ(controller->screenTimer(), nullptr);
}

TEST_F(CountdownTest, EachScreenShowsTheCountInItsOwnFields) {
    // On screen 0 the numbers are set but hidden.
    controller->startOver();
    controller->takePhotoAgainFromKeyBoard();
    ASSERT_EQ(screen(), 0u);
    controller->_liveCountdownField1.setHidden(false);
    controller->_touchCountdownField.setHidden(false);
    controller->startTimerWithExpirationDelay(3);
    loop.advance(1);
    EXPECT_TRUE(controller->_liveCountdownField1.isHidden());
    EXPECT_TRUE(controller->_liveCountdownField2.isHidden());
    EXPECT_TRUE(controller->_touchCountdownField.isHidden());
    EXPECT_EQ(controller->_liveCountdownField2.stringValue(), "2");
    EXPECT_EQ(controller->_countdownOverlay.stringValue(), "2");

    // Screens 6 and 7 set the overlay number too.
    reach(6);
    controller->startTimerWithExpirationDelay(4);
    loop.advance(1);
    EXPECT_EQ(controller->_countdownOverlay.stringValue(), "3");
    EXPECT_EQ(controller->_liveCountdownField1.stringValue(), "3");
    EXPECT_EQ(controller->_liveCountdownField2.stringValue(), "3");

    // Screen 3 shows the touch count unless it is hidden.
    reach(3);
    controller->startTimerWithExpirationDelay(3);
    loop.advance(1);
    EXPECT_EQ(controller->_touchCountdownField.stringValue(), "2");
    EXPECT_FALSE(controller->_touchCountdownField.isHidden());
    settings.setBool(key::prefHideTouchCountdown, true);
    loop.advance(1);
    EXPECT_EQ(controller->_touchCountdownField.stringValue(), "1");
    EXPECT_TRUE(controller->_touchCountdownField.isHidden());
}

}  // namespace
}  // namespace klik::test
