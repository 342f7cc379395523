// The kiosk's choice of screens with two screens attached: the touch side
// full screen on the first, the live side on the last, both kept on top;
// single-monitor mode puts both on the first with the touch side in front;
// a screen removed or attached while the kiosk runs moves the live side.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "windows/KioskWindowsFixture.h"

namespace klik::test {

namespace {

class KioskScreensTest : public KioskWindowsFixture {
  protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the two-screen platform is not set";
        first = QGuiApplication::screens().front()->geometry();
        last = QGuiApplication::screens().back()->geometry();
    }
    // A side fills a screen window that covers `screen`, full screen and
    // kept on top.
    static bool coversFullScreen(QWidget* side, const QRect& screen) {
        if (!side || !side->isVisible()) return false;
        QWidget* w = side->window();
        return w->geometry() == screen && side->geometry() == w->rect() &&
               (w->windowState() & Qt::WindowFullScreen) &&
               (w->windowFlags() & Qt::WindowStaysOnTopHint);
    }
    QRect first, last;
};

TEST_F(KioskScreensTest, TouchGoesOnTheFirstScreenAndLiveOnTheLastWhichItFollowsAtRunTime) {
    settings.setBool("prefSingleMonitorMode", false);
    build();
    EXPECT_EQ(windows->kioskScreens(), (std::vector<QRect>{first, last}));
    windows->toggleFullScreen();
    ASSERT_TRUE(windows->isFullScreen());
    EXPECT_TRUE(coversFullScreen(windows->touchWindowFull(), first))
        << windows->touchWindowFull()->geometry().x();
    EXPECT_TRUE(coversFullScreen(windows->liveWindowFull(), last))
        << windows->liveWindowFull()->geometry().x();
    EXPECT_EQ(windows->touchWindowFull()->screen(), QGuiApplication::screens().front());
    EXPECT_EQ(windows->liveWindowFull()->screen(), QGuiApplication::screens().back());
    // The sides are laid out at their screens' sizes.
    EXPECT_EQ(app->_touchView.frame().width, first.width());
    EXPECT_EQ(app->_liveView.frame().width, last.width());

    // The live side follows a screen removed and attached at run time.
    bool secondAttached = true;
    windows->setScreenSource([&] {
        std::vector<QRect> s{first};
        if (secondAttached) s.push_back(last);
        return s;
    });

    secondAttached = false;
    windows->screensChanged();
    EXPECT_TRUE(coversFullScreen(windows->liveWindowFull(), first));
    EXPECT_TRUE(coversFullScreen(windows->touchWindowFull(), first));
    EXPECT_TRUE(windows->touchWindowIsFront()) << "one screen: the guest's side in front";
    EXPECT_EQ(app->_liveView.frame().width, first.width());

    secondAttached = true;
    windows->screensChanged();
    EXPECT_TRUE(coversFullScreen(windows->liveWindowFull(), last));
    EXPECT_TRUE(coversFullScreen(windows->touchWindowFull(), first));
    EXPECT_EQ(app->_liveView.frame().width, last.width());
}

TEST_F(KioskScreensTest, SingleMonitorModeUsesTheFirstScreenWithTheTouchSideInFront) {
    settings.setBool("prefSingleMonitorMode", true);
    build();
    windows->toggleFullScreen();
    EXPECT_TRUE(coversFullScreen(windows->touchWindowFull(), first));
    EXPECT_TRUE(coversFullScreen(windows->liveWindowFull(), first));
    EXPECT_TRUE(windows->touchWindowIsFront());
    // One screen, one window: both sides are drawn in it.
    EXPECT_EQ(windows->touchWindowFull()->window(), windows->liveWindowFull()->window());
}

}  // namespace

}  // namespace klik::test
