// What the operator meets on a running, full-screen kiosk: the shortcuts
// while the entry field has the focus, the quit code typed into that field
// (an empty stored code means the built-in one), the preferences window
// opened current and its closing, the quantity sheet over the visible
// touch window, one screen outside single-monitor mode, and live frames
// after live view went off.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "camera/QZNSImageFlipped.h"
#include "imaging/Bitmap.h"
#include "imaging/ImageCodec.h"
#include "ui/kiosk/OperatorShortcuts.h"
#include "ui/prefs/PreferenceControl.h"
#include "ui/prefs/PreferencesWindow.h"
#include "ui/print/QtPrintPort.h"
#include "ui/print/QuantitySheet.h"
#include "ui/windows/BorderlessWindow.h"
#include "ui/windows/KioskLayout.h"
#include "ui/windows/LiveViewWidget.h"
#include "ui/windows/ViewWidget.h"
#include "windows/KioskWindowsFixture.h"

namespace klik::test {

namespace {

class OperatorKioskTest : public KioskWindowsFixture {
  protected:
    void SetUp() override {
        build();
        windows->toggleFullScreen();
        app->_barcodeEntryField1.setHidden(false);
        QWidget* touch = windows->touchWindowFull();
        ASSERT_NE(touch, nullptr);
        touch->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(touch));
        field = windows->renderer().widgetFor(app->_barcodeEntryField1)->entryField();
        ASSERT_NE(field, nullptr);
        field->setFocus();
        ASSERT_TRUE(field->isVisible());
        recordQuits();
    }

    QLineEdit* field = nullptr;
};

TEST_F(OperatorKioskTest, ShortcutsWorkFullScreenWhileTheEntryFieldHasTheFocus) {
    std::vector<std::string> ran;
    OperatorShortcuts shortcuts(
        OperatorActions{[&] { ran.push_back("preferences"); }, [&] { ran.push_back("print"); },
                        [&] { ran.push_back("test"); }, [&] { ran.push_back("relaunch"); },
                        [&] { ran.push_back("quit"); }});
    for (QWidget* w : {static_cast<QWidget*>(&windows->touchWindow()),
                       static_cast<QWidget*>(&windows->liveWindow()),
                       static_cast<QWidget*>(windows->touchWindowFull()),
                       static_cast<QWidget*>(windows->liveWindowFull())})
        shortcuts.attachTo(w);
    shortcuts.attachTo(windows->touchWindowFull());  // a second time adds nothing
    ASSERT_EQ(QApplication::focusWidget(), field);

    QTest::keyClick(field, Qt::Key_Comma, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_T, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ran, (std::vector<std::string>{"preferences", "print", "test", "relaunch", "quit"}));
    EXPECT_EQ(shortcuts.preferencesCount(), 1);
    // Nothing of them reached the guest's field.
    EXPECT_EQ(field->text(), "");
}

TEST_F(OperatorKioskTest, TheQuitCodeTypedIntoTheFocusedEntryFieldQuits) {
    // A cleared code field means the built-in code.
    settings.setString("prefQuitTypedString", "");
    QTest::keyClicks(field, "xxlemurFOX");
    ASSERT_EQ(quits.size(), 1u);
    EXPECT_EQ(quits[0], "lemurFOX");

    // After a pause the buffer is empty; an operator's own code works, the
    // built-in one no longer does.
    loop.advance(2.5);
    settings.setString("prefQuitTypedString", "otter");
    QTest::keyClicks(field, "lemurfox");
    EXPECT_EQ(quits.size(), 1u);
    loop.advance(2.5);
    QTest::keyClicks(field, "OTTER");
    ASSERT_EQ(quits.size(), 2u);
    EXPECT_EQ(quits[1], "OTTER");

    // The photographer's modified keys never reach the field (Ctrl+K would
    // cut the text there); others do.
    field->setText("abc");
    field->setCursorPosition(0);
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "abc");
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);  // select all: standard handling
    EXPECT_EQ(field->selectedText(), "abc");
}

// Over the full-screen kiosk the preferences are drawn inside its screen
// window, above both sides: no window manager decides whether (or how)
// they show. They open current; Escape and their Close button (by touch)
// close them and run closePref; the guest's field gets the keys back.
TEST_F(OperatorKioskTest, PreferencesOpenCurrentInsideTheKioskWindowAndCloseByKeyOrTouch) {
    PreferencesWindow prefs(settings);
    windows->setWindow(KioskWindow::Preferences, &prefs);
    int closes = 0;
    QObject::connect(&prefs, &PreferencesWindow::closed, [&] {
        ++closes;
        app->closePref();
    });
    // The command-line tool changes the quit code while the window is away.
    Settings tool(settings.path());
    ASSERT_TRUE(tool.setString("prefQuitTypedString", "badger"));
    app->openPref();
    ASSERT_TRUE(prefs.isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&prefs));
    auto* control = qobject_cast<PreferenceControl*>(prefs.control("prefQuitTypedString"));
    ASSERT_NE(control, nullptr);
    auto* edit = qobject_cast<QLineEdit*>(control->editor());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "badger");

    QWidget* screen = windows->touchScreenWindow();
    ASSERT_NE(screen, nullptr);
    EXPECT_FALSE(prefs.isWindow());
    EXPECT_EQ(prefs.window(), screen);
    const QPoint centre = prefs.mapTo(screen, prefs.rect().center());
    QWidget* hit = screen->childAt(centre);
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(hit == &prefs || prefs.isAncestorOf(hit)) << qPrintable(hit->objectName());
    // A screen change raises a side: the preferences stay above it.
    windows->orderFront(KioskWindow::Live, true);
    hit = screen->childAt(centre);
    EXPECT_TRUE(hit == &prefs || prefs.isAncestorOf(hit));

    QTest::keyClick(&prefs, Qt::Key_Escape);
    EXPECT_FALSE(prefs.isVisible());
    EXPECT_EQ(closes, 1);

    // Opened again they read again.
    ASSERT_TRUE(tool.setString("prefQuitTypedString", "stoat"));
    app->openPref();
    EXPECT_EQ(edit->text(), "stoat");
    auto* box = prefs.findChild<QDialogButtonBox*>(QStringLiteral("closePreferences"));
    ASSERT_NE(box, nullptr);
    QPushButton* close = box->button(QDialogButtonBox::Close);
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(prefs.isVisible());
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(screen->focusWidget(), field);
    windows->setWindow(KioskWindow::Preferences, nullptr);
}

TEST_F(OperatorKioskTest, TheQuantitySheetIsModalOverTheVisibleFullScreenTouchWindow) {
    QtPrintPort port;
    port.setParentSource([this] { return windows->touchHost(); });
    ASSERT_FALSE(windows->touchWindow().isVisible());
    QWidget* parent = nullptr;
    bool parentVisible = false;
    Qt::WindowModality modality = Qt::NonModal;
    QTimer::singleShot(0, [&] {
        auto* sheet = qobject_cast<QuantitySheet*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        parent = sheet->parentWidget();
        parentVisible = parent && parent->isVisible();
        modality = sheet->windowModality();
        sheet->buttonWithTag(QuantitySheet::kCancelTag)->click();
    });
    EXPECT_EQ(port.runQuantitySheet(1, {}), QuantitySheet::kCancelTag);
    EXPECT_EQ(parent, windows->touchWindowFull());
    EXPECT_TRUE(parentVisible);
    EXPECT_EQ(modality, Qt::ApplicationModal);
}

TEST_F(OperatorKioskTest, FramesArrivingAfterLiveViewOffAreNotDrawn) {
    LiveViewWidget& live = windows->liveViewWidget();
    app->_EVFView.setHidden(false);
    app->_EVFView.setImage(Picture::fromRGBA("liveView", Data(std::size_t{4} * 4 * 4, 0), 4, 4));
    auto frameOf = [](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const auto jpeg = encodeJpegFromRGBA(Bitmap::rgba(32, 24, r, g, b, 255), 95);
        return jpeg ? QZNSImageFlipped::imageWithData(*jpeg) : nullptr;
    };
    auto centre = [&live] {
        const QImage shot = live.grab().toImage();
        return shot.pixelColor(shot.width() / 2, shot.height() / 2);
    };
    app->liveViewOn();
    ASSERT_TRUE(app->isLiveView());
    live.offerFrame(frameOf(0, 200, 0));
    EXPECT_GT(centre().green(), 150);
    app->liveViewOff();
    live.offerFrame(frameOf(200, 0, 0));
    const QColor after = centre();
    EXPECT_GT(after.green(), 150) << "the last frame before live view went off stays";
    EXPECT_LT(after.red(), 50) << "a frame that came later is not drawn";
}

TEST_F(OperatorKioskTest, EmptyFieldsOverTheArtworkDrawNoBoxAndFollowArtworkOfAnotherShape) {
    const QSize p = windows->touchContent()->size();
    Data pixels(static_cast<size_t>(p.width()) * p.height() * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = 20;
        pixels[i + 1] = 30;
        pixels[i + 2] = 120;
        pixels[i + 3] = 255;
    }
    app->_touchView.setImage(Picture::fromRGBA("touch1", std::move(pixels), p.width(), p.height()));
    app->_progress.setHidden(false);
    app->_progress.setDoubleValue(0);
    const QImage shot = windows->touchContent()->grab().toImage();
    for (View* v : {&app->_barcodeEntryField1, &app->_progress}) {
        ViewWidget* w = windows->renderer().widgetFor(*v);
        ASSERT_TRUE(w && w->isVisible()) << v->name();
        const QRect g = w->geometry();
        for (const QPoint& at : {g.center(), QPoint(g.center().x(), g.top() + 3),
                                 QPoint(g.right() - 4, g.center().y())}) {
            const QColor c = shot.pixelColor(at);
            EXPECT_LT(c.red(), 60) << v->name() << " draws a box at " << at.x() << "," << at.y();
            EXPECT_GT(c.blue(), 90) << v->name();
        }
    }

    // On a screen of another shape the entry field and keyboard follow the artwork.
    app->_touchView.setImage(
        Picture::fromRGBA("touch1", Data(std::size_t{160} * 90 * 4, 90), 160, 90));
    app->_keyboard.setHidden(false);
    const QSize art = QSize(160, 90).scaled(p, Qt::KeepAspectRatio);
    const QPoint origin((p.width() - art.width()) / 2, (p.height() - art.height()) / 2);
    ASSERT_NE(art, p) << "the screen must differ from the artwork in shape";
    for (View* v : {&app->_barcodeEntryField1, &app->_keyboard}) {
        ViewWidget* w = windows->renderer().widgetFor(*v);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), defaultPlace(v->name(), art).translated(origin)) << v->name();
    }
}

}  // namespace

}  // namespace klik::test
