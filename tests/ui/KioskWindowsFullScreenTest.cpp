// Switching between the normal and the full-screen windows: each side's
// content moves, the windows of the mode left are hidden and those of the
// mode entered are shown, in front.

#include "KioskWindowsFixture.h"

namespace klik::test {
namespace {

class KioskFullScreen : public KioskWindowsFixture {};

TEST_F(KioskFullScreen, EnteringAndLeavingShowsTheWindowsOfTheNewMode) {
    build();
    windows->touchWindow().show();
    windows->liveWindow().show();
    windows->toggleFullScreen();
    ASSERT_TRUE(windows->isFullScreen());
    EXPECT_TRUE(windows->touchWindowFull()->isVisible());
    EXPECT_TRUE(windows->liveWindowFull()->isVisible());
    EXPECT_FALSE(windows->touchWindow().isVisible());
    EXPECT_FALSE(windows->liveWindow().isVisible());
    EXPECT_EQ(windows->touchContent()->window(), windows->touchWindowFull());
    EXPECT_EQ(windows->liveContent()->window(), windows->liveWindowFull());

    windows->toggleFullScreen();
    EXPECT_FALSE(windows->isFullScreen());
    EXPECT_TRUE(windows->touchWindow().isVisible());
    EXPECT_TRUE(windows->liveWindow().isVisible());
    EXPECT_FALSE(windows->touchWindowFull()->isVisible());
    EXPECT_FALSE(windows->liveWindowFull()->isVisible());
    EXPECT_EQ(windows->touchContent()->window(), &windows->touchWindow());
    EXPECT_EQ(windows->liveContent()->window(), &windows->liveWindow());
    // The overlay lies over the live window again.
    EXPECT_EQ(windows->overlayWindow().host(), &windows->liveWindow());
    EXPECT_TRUE(windows->overlayWindow().isVisible());
    // Which window ends in front is not asserted: the offscreen platform
    // keeps no stacking order to read back, and the windows' own record of
    // their raises would only repeat the code under test.
}

}  // namespace
}  // namespace klik::test
