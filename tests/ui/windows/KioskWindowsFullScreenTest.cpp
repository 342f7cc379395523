// Switching between the normal and the full-screen windows: each side's
// content moves, the windows of the mode left are hidden and those of the
// mode entered are shown, in front.

#include <QApplication>
#include <QLineEdit>

#include "KioskWindowsFixture.h"
#include "log/Log.h"
#include "ui/windows/ViewWidget.h"

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
    EXPECT_EQ(windows->touchContent()->parentWidget(), windows->touchWindowFull());
    EXPECT_EQ(windows->liveContent()->parentWidget(), windows->liveWindowFull());
    // One screen: both sides and the overlay are drawn in one window of the
    // window system, full screen; no translucent window lies over another.
    QWidget* screen = windows->touchContent()->window();
    EXPECT_EQ(windows->liveContent()->window(), screen);
    EXPECT_EQ(windows->overlayWindow().window(), screen);
    EXPECT_FALSE(windows->touchWindowFull()->isWindow());
    EXPECT_TRUE(screen->isFullScreen());
    EXPECT_EQ(windows->touchScreenWindow(), screen);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible() && w->testAttribute(Qt::WA_TranslucentBackground))
            << qPrintable(w->objectName());

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

// A guest touches the screen anywhere; a barcode scanner types into the
// entry field whatever was touched before.
TEST_F(KioskFullScreen, ATapAnywhereOnTheTouchSideIsTheGoActionAndTheFieldKeepsTheKeys) {
    settings.setBool("prefShowLegalese", false);
    settings.setBool("prefWaitForGuest", true);
    build();
    windows->toggleFullScreen();
    app->startOver();
    ASSERT_EQ(app->screenNumber(), 1u);
    QWidget* touch = windows->touchContent();
    ViewWidget* entry = windows->renderer().widgetFor(app->_barcodeEntryField1);
    ASSERT_TRUE(entry && entry->entryField());
    QLineEdit* field = entry->entryField();
    field->setFocus();
    const QPoint corner(5, 5), middle(touch->width() / 2, touch->height() / 3),
        onField = field->mapTo(touch, field->rect().center());
    for (QPoint p : {corner, middle, onField}) {
        // No camera here: the go action answers with the camera notice.
        ui.floatingPanel().show(QString(), 0);
        QWidget* target = touch->childAt(p);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(touch, p));
        QCoreApplication::processEvents();
        EXPECT_TRUE(ui.floatingPanel().text().startsWith("NO Camera Found"))
            << "tap at " << p.x() << "," << p.y() << " on " << qPrintable(target->objectName());
        EXPECT_EQ(touch->window()->focusWidget(), field);
    }
}

// The kiosk always runs the single-monitor variant: with one screen the
// guest's side ends in front even with "prefSingleMonitorMode" off.
TEST_F(KioskFullScreen, OneScreenPutsTheTouchSideInFrontAndEveryWindowIsLogged) {
    settings.setBool("prefSingleMonitorMode", false);
    build();
    ASSERT_EQ(windows->kioskScreens().size(), 1u);
    windows->toggleFullScreen();
    EXPECT_TRUE(windows->touchWindowIsFront());

    // Every window's activation is logged by each handler first, not only
    // the preferences window's.
    const std::string log = dir.file("kiosk.log");
    GLIMRA_Log::setRedirectsStdErr(false);
    ASSERT_TRUE(GLIMRA_Log::setLogFile(log));
    QWidget other;
    other.setObjectName(QStringLiteral("someOtherWindow"));
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    other.hide();
    QCoreApplication::processEvents();
    GLIMRA_Log::resetForTesting();
    const std::string text = readFile(log);
    for (const char* h :
         {"handleNSWindowDidBecomeMainNotification:", "handleNSWindowDidBecomeKeyNotification:"})
        EXPECT_NE(text.find(std::string("Inside KioskWindows => ") + h +
                            "...with Notification: someOtherWindow"),
                  std::string::npos)
            << h;
}

}  // namespace
}  // namespace klik::test
