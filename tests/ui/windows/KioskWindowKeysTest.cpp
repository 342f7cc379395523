// The kiosk window's keys and the alert HUD on the offscreen platform, on a
// virtual clock: the quit code, key swallowing, the HUD's display time,
// restart and fade cancel through the controller, QtKioskUi and the panel.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "KioskWindowsFixture.h"
#include "app/AppController.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"
#include "ui/windows/BorderlessWindow.h"
#include "ui/windows/FloatingPanel.h"
#include "ui/windows/QtKioskUi.h"

namespace klik::test {

namespace {

class KioskWindowKeys : public KioskWindowsFixture {
  protected:
    KioskWindowKeys() {
        window.setKeepsKeyFocus(false);
        recordQuits();
    }

    void type(const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        for (QChar ch : text) {
            const int key = ch.isLetter() ? Qt::Key_A + (ch.toUpper().unicode() - 'A')
                                          : static_cast<int>(ch.unicode());
            QKeyEvent e(QEvent::KeyPress, key, mods, QString(ch));
            QApplication::sendEvent(&window, &e);
        }
    }

    BorderlessWindow window{settings, loop, center};
};

TEST_F(KioskWindowKeys, QuitCodeInAnyCaseInALongerRunQuitsUntilAPauseOrAnotherCode) {
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

    // The configured code replaces the built-in one; an empty one never matches.
    loop.advance(3);
    settings.setString("prefQuitTypedString", "Bye");
    type("lemurfox");
    EXPECT_EQ(quits.size(), afterCode);
    type("bYe");
    ASSERT_EQ(quits.size(), afterCode + 1);
    EXPECT_EQ(quits.back(), "bYe");
    loop.advance(3);
    settings.setString("prefQuitTypedString", "");
    type("abc");
    EXPECT_EQ(quits.size(), afterCode + 1);
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

// The HUD as the kiosk wires it: the controller's timing drawn by the Qt
// panel through QtKioskUi.
class AlertHud : public KioskWindowsFixture {
  protected:
    AlertHud() {
        app =
            std::make_unique<AppController>(AppController::Environment{ui, loop, settings, center});
        ui.setController(app.get());
    }
    ~AlertHud() override { ui.setController(nullptr); }
    FloatingPanel& hud() { return ui.floatingPanel(); }
};

TEST_F(AlertHud, RestartWithoutASecondBeepAndAMessageDuringTheFadeStopsIt) {
    ui.floatingAlertWithString("Camera connected");
    EXPECT_TRUE(hud().isShown());
    EXPECT_EQ(ui.beepCount(), 1);
    loop.advance(2);
    ui.floatingAlertWithString("Battery low");
    EXPECT_EQ(ui.beepCount(), 1);
    EXPECT_EQ(hud().text(), "Battery low");
    loop.advance(2);  // 4 s after the first, 2 s after the second: still up
    EXPECT_FALSE(hud().isFading());
    loop.advance(1.05);
    EXPECT_TRUE(hud().isFading());
    loop.advance(0.1);  // a couple of fade steps
    EXPECT_LT(hud().panel().windowOpacity(), 1.0);
    // A message during the fade: the controller's answer stops it.
    ui.floatingAlertWithString("Again");
    EXPECT_TRUE(hud().isFading());  // until its next step asks
    loop.advance(0.1);
    EXPECT_FALSE(hud().isFading());
    EXPECT_TRUE(hud().isShown());
    EXPECT_DOUBLE_EQ(hud().panel().windowOpacity(), 1.0);
    EXPECT_EQ(hud().text(), "Again");
    EXPECT_EQ(ui.beepCount(), 2);  // the display time had ended, so this one beeps
    // Left alone, it fades out and hides after the display time.
    loop.advance(2.9);
    EXPECT_TRUE(hud().isShown());
    loop.advance(0.2);
    loop.advance(1.0);
    EXPECT_FALSE(hud().isFading());
    EXPECT_FALSE(hud().isShown());
    // A null text shows the nil text.
    ui.floatingAlertWithString(QString());
    EXPECT_EQ(hud().text(), "NIL ALERT!!");
}

TEST(FloatingPanelTest, FadesAsTheOwnerDecidesAndALongNoticeGetsRoomOverItsHost) {
    ManualRunLoop loop;
    FloatingPanel panel(loop);
    bool cancel = false;
    int asked = 0;
    panel.setFadeCancelPredicate([&] {
        ++asked;
        return cancel;
    });
    panel.show("one", 1.0);
    panel.fadeOut(1.0);
    loop.advance(0.12);
    EXPECT_GE(asked, 2);
    const double faded = panel.panel().windowOpacity();
    EXPECT_LT(faded, 1.0);
    cancel = true;
    loop.advance(0.06);
    EXPECT_FALSE(panel.isFading());
    EXPECT_TRUE(panel.isShown());
    EXPECT_DOUBLE_EQ(panel.panel().windowOpacity(), faded);  // stays where it was

    // Without a predicate, showing again stops a running fade at once.
    panel.setFadeCancelPredicate({});
    panel.fadeOut(1.0);
    loop.advance(0.06);
    ASSERT_TRUE(panel.isFading());
    panel.show("two", 0.8);
    EXPECT_FALSE(panel.isFading());
    // A fade of 0 seconds hides at once.
    panel.fadeOut(0);
    EXPECT_FALSE(panel.isShown());

    // A long notice gets room over its host and is transient for it.
    QWidget host;
    host.setGeometry(0, 0, 1600, 900);
    host.show();
    FloatingPanel notice(loop);
    notice.setHostSource([&] { return &host; });
    notice.show("Camera ready", 1.0);
    EXPECT_EQ(notice.panel().size(), QSize(300, 100));
    // A missing folder's path must be readable whole.
    const QString text = QStringLiteral(
        "Missing folders:\nmain images folder [/media/kiosk/EventShare/2026/Summer Gala/"
        "Photos]: not a folder\nupload folder [/media/kiosk/EventShare/Upload]: not a folder");
    notice.show(text, 1.0);
    auto* label = notice.panel().findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    QCoreApplication::processEvents();
    EXPECT_GT(notice.panel().width(), 300);
    EXPECT_LE(notice.panel().width(), 1600);
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    ASSERT_NE(notice.panel().windowHandle(), nullptr);
    EXPECT_EQ(notice.panel().windowHandle()->transientParent(), host.windowHandle());
    EXPECT_TRUE(host.geometry().contains(notice.panel().geometry()));
}

}  // namespace

}  // namespace klik::test
