// The kiosk window's keys and the alert HUD on the offscreen platform, on a
// virtual clock: the quit code, key swallowing, the HUD's display time,
// restart and fade cancel.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"
#include "ui/windows/BorderlessWindow.h"
#include "ui/windows/FloatingPanel.h"

namespace klik::test {

namespace {

class KioskWindowKeys : public ::testing::Test {
  protected:
    KioskWindowKeys() : settings(dir.file("settings.plist")), window(settings, loop, center) {
        window.setKeepsKeyFocus(false);
        quitObserver = center.addObserver(kKlikUserQuitCommand, [this](const Notification& n) {
            const std::string* s = n.userInfo ? n.userInfo->at("stringData").string() : nullptr;
            quits.push_back(s ? *s : "");
        });
    }
    ~KioskWindowKeys() override { center.removeObserver(quitObserver); }

    void type(const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        for (QChar ch : text) {
            const int key = ch.isLetter() ? Qt::Key_A + (ch.toUpper().unicode() - 'A')
                                          : static_cast<int>(ch.unicode());
            QKeyEvent e(QEvent::KeyPress, key, mods, QString(ch));
            QApplication::sendEvent(&window, &e);
        }
    }

    TempDir dir;
    Settings settings;
    ManualRunLoop loop;
    NotificationCenter center;
    BorderlessWindow window;
    std::vector<std::string> quits;
    NotificationCenter::ObserverId quitObserver = 0;
};

}  // namespace

TEST_F(KioskWindowKeys, QuitCodeInCapitalsInsideALongerRunQuitsAndAPauseForgetsIt) {
    type("xxLEMURFOXyy");
    ASSERT_FALSE(quits.empty());
    EXPECT_EQ(quits.front(), "LEMURFOX");
    // Every key within the pause finds the code again.
    const size_t afterCode = quits.size();
    EXPECT_EQ(afterCode, 3u);  // on "X", then on each "y"
    loop.advance(2.1);
    EXPECT_TRUE(window.typedBuffer().isEmpty());
    type("lemurfo");
    EXPECT_EQ(quits.size(), afterCode);
    loop.advance(2.1);
    type("x");  // the earlier letters are gone after the pause
    EXPECT_EQ(quits.size(), afterCode);
}

TEST_F(KioskWindowKeys, TheConfiguredCodeReplacesTheBuiltInOneAndAnEmptyOneNeverMatches) {
    settings.setString("prefQuitTypedString", "Bye");
    type("lemurfox");
    EXPECT_TRUE(quits.empty());
    type("bYe");
    ASSERT_EQ(quits.size(), 1u);
    EXPECT_EQ(quits[0], "bYe");
    loop.advance(3);
    settings.setString("prefQuitTypedString", "");
    type("abc");
    EXPECT_EQ(quits.size(), 1u);
}

TEST_F(KioskWindowKeys, ModifiedShortcutKeysAreSwallowedOthersGoOn) {
    QSignalSpy passed(&window, &BorderlessWindow::keyPassedOn);
    for (Qt::KeyboardModifier m : {Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier}) {
        passed.clear();
        type("3", m);
        type("k", m);
        type(" ", m);
        EXPECT_EQ(passed.count(), 0) << "modifier " << m;
        type("5", m);
        EXPECT_EQ(passed.count(), 1) << "modifier " << m;
    }
    // Modified keys never reach the quit-code buffer; shift alone does.
    EXPECT_TRUE(window.typedBuffer().isEmpty());
    type("L", Qt::ShiftModifier);
    EXPECT_EQ(window.typedBuffer(), "L");
}

TEST(FloatingPanelTest, RestartWithoutASecondBeepAndAMessageDuringTheFadeStopsIt) {
    ManualRunLoop loop;
    int beeps = 0;
    FloatingPanel hud(loop, [&] { ++beeps; });
    hud.floatingAlertWithString("Camera connected");
    EXPECT_TRUE(hud.isShown());
    EXPECT_EQ(beeps, 1);
    loop.advance(2);
    hud.floatingAlertWithString("Battery low");
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(hud.text(), "Battery low");
    loop.advance(2);  // 4 s after the first, 2 s after the second: still up
    EXPECT_FALSE(hud.isFading());
    loop.advance(1.05);
    EXPECT_TRUE(hud.isFading());
    loop.advance(0.1);  // a couple of fade steps
    const double during = hud.panel().windowOpacity();
    EXPECT_LT(during, 1.0);
    hud.floatingAlertWithString("Again");
    loop.advance(0.1);
    EXPECT_FALSE(hud.isFading());
    EXPECT_TRUE(hud.isShown());
    EXPECT_EQ(beeps, 2);  // the timer had ended, so this one beeps
    // Left alone, it fades out and hides.
    loop.advance(3.05);
    loop.advance(1.0);
    EXPECT_FALSE(hud.isFading());
    EXPECT_FALSE(hud.isShown());
}

}  // namespace klik::test
