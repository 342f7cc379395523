#include "ui/keyboard/KeyboardWidget.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QTest>

#include "entry/GLIMRA_KeyboardView.h"
#include "log/Log.h"
#include "support/TempDir.h"
#include "ui/keyboard/KeyboardFieldView.h"

namespace klik {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::string field(const GLIMRA_KeyboardView& m, int n) {
    return m.email(n)->stringValue();
}

void tap(KeyboardWidget& w, const char* title) {
    QAbstractButton* b = w.keyButton(QString::fromUtf8(title));
    ASSERT_NE(b, nullptr) << title;
    QTest::mouseClick(b, Qt::LeftButton);
}

TEST(KeyboardWidget, LoadsTheShippedInterfaceWhoseKeysMatchTheModel) {
    GLIMRA_KeyboardView model;
    KeyboardWidget w(model);
    ASSERT_TRUE(w.isLoadedFromUi());
    EXPECT_EQ(w.designedSize(), QSize(1024, 768));
    EXPECT_EQ(w.sizeHint(), QSize(1024, 768));
    // Every key of the model's layout is in the file at the same place
    // (the model counts from the bottom left, the file from the top left).
    const std::vector<KeyboardKey>& keys = model.keys();  // the go button among them
    ASSERT_NE(model.goButton(), nullptr);
    EXPECT_EQ(w.keyButtons().size(), keys.size());
    for (const KeyboardKey& k : keys) {
        QAbstractButton* b = w.keyButton(QString::fromStdString(k.title));
        ASSERT_NE(b, nullptr) << k.title;
        const QRect r = b->geometry();
        EXPECT_NEAR(r.x(), k.frame.x, 1) << k.title;
        EXPECT_NEAR(r.y(), 768 - k.frame.y - k.frame.height, 1) << k.title;
        EXPECT_NEAR(r.width(), k.frame.width, 1) << k.title;
        EXPECT_NEAR(r.height(), k.frame.height, 1) << k.title;
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << k.title;
    }
    for (int n = 1; n <= 4; ++n) {
        ASSERT_NE(w.fieldFrame(n), nullptr);
        const ViewRect f = model.email(n)->frame();
        EXPECT_NEAR(w.fieldFrame(n)->geometry().y(), 768 - f.y - f.height, 1);
    }
}

TEST(KeyboardWidget, TapsTouchesAndAHardwareKeyboardEditTheFocusedFieldAndReachTheDelegate) {
    GLIMRA_KeyboardView model;
    KeyboardWidget w(model);
    int accepted = 0, startedOver = 0;
    GLIMRA_KeyboardViewDelegate d;
    d.keyboardViewDidAcceptAndContinue = [&](GLIMRA_KeyboardView&) { ++accepted; };
    d.keyboardViewConfirmCancel = [](GLIMRA_KeyboardView&) { return true; };
    d.startOver = [&](GLIMRA_KeyboardView&) { ++startedOver; };
    model.setDelegate(d);
    model.makeReady();
    ASSERT_EQ(model.firstResponder(), model.email(1));
    EXPECT_TRUE(w.fieldFrame(1)->property("focused").toBool());
    for (const char* k : {"J", "O", "E", "Delete"}) tap(w, k);
    EXPECT_EQ(field(model, 1), "jo");
    // The drawn insertion point follows the model's.
    KeyboardFieldView* view = w.fieldView(1);
    ASSERT_NE(view, nullptr);
    const int atEnd = view->caretX();
    model.email(1)->setInsertionPoint(0);
    EXPECT_LT(view->caretX(), atEnd);
    model.email(1)->setInsertionPoint(2);
    // A domain key types its whole text, then the focus moves on.
    tap(w, "@gmail.com");
    EXPECT_EQ(field(model, 1), "jo@gmail.com");
    EXPECT_EQ(model.firstResponder(), model.email(2));
    EXPECT_TRUE(w.fieldFrame(2)->property("focused").toBool());
    EXPECT_FALSE(w.fieldFrame(1)->property("focused").toBool());

    tap(w, "A");
    tap(w, "Next");
    EXPECT_EQ(model.firstResponder(), model.email(3));
    EXPECT_TRUE(w.fieldFrame(3)->property("focused").toBool());
    // Touching a field gives it the focus.
    QTest::mouseClick(w.fieldView(4), Qt::LeftButton);
    EXPECT_EQ(model.firstResponder(), model.email(4));
    EXPECT_TRUE(w.fieldFrame(4)->property("focused").toBool());

    QTest::keyClicks(&w, "Ann@x");
    EXPECT_EQ(field(model, 4), "Ann@x");  // typed as typed, not lower-cased
    QTest::keyClick(&w, Qt::Key_Backspace);
    EXPECT_EQ(field(model, 4), "Ann@");
    QTest::keyClick(&w, Qt::Key_Tab);  // Next: field 2 is the first one not valid
    EXPECT_EQ(model.firstResponder(), model.email(2));

    tap(w, "Go");
    EXPECT_EQ(accepted, 1);
    tap(w, "Exit");
    EXPECT_EQ(startedOver, 1);
    EXPECT_EQ(field(model, 2), "");
}

TEST(KeyboardWidget, ContentScalesWithTheFrame) {
    GLIMRA_KeyboardView model;
    KeyboardWidget w(model);
    w.show();
    const QRect a = w.keyButton("A")->geometry();
    const QRect f = w.fieldFrame(3)->geometry();
    w.resize(2048, 1536);
    EXPECT_EQ(model.contentScale(), (ViewSize{2, 2}));
    EXPECT_EQ(model.frame().size(), (ViewSize{2048, 1536}));
    EXPECT_EQ(w.keyButton("A")->geometry(),
              QRect(a.x() * 2, a.y() * 2, a.width() * 2, a.height() * 2));
    EXPECT_EQ(w.fieldFrame(3)->geometry().size(), f.size() * 2);
    // Fonts and borders grow too: the style sheet is rescaled.
    EXPECT_TRUE(w.findChild<QWidget*>("EmailKeyboard")->styleSheet().contains("60px"));
    w.resize(512, 384);
    EXPECT_EQ(model.contentScale(), (ViewSize{0.5f, 0.5f}));
    EXPECT_EQ(w.keyButton("A")->geometry().width(), (a.width() + 1) / 2);
}

TEST(KeyboardWidget, AMissingOrBrokenFileIsLoggedAnInstallersLayoutFollowsTheModel) {
    TempDir dir;
    const std::string logPath = dir.path() + "/keyboard.log";
    GLIMRA_Log::setRedirectsStdErr(false);
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath));
    GLIMRA_KeyboardView model;
    {
        KeyboardWidget w(model, nullptr, QString::fromStdString(dir.path() + "/Nope.ui"));
        EXPECT_FALSE(w.isLoadedFromUi());
        EXPECT_EQ(w.keyButtons().size(), model.keys().size() + 1);
        model.makeReady();
        tap(w, "K");
        EXPECT_EQ(field(model, 1), "k");
    }
    writeFile(dir.path() + "/Broken.ui", "<ui version=\"4.0\"><widget class=");
    {
        KeyboardWidget w(model, nullptr, QString::fromStdString(dir.path() + "/Broken.ui"));
        EXPECT_FALSE(w.isLoadedFromUi());
        EXPECT_NE(w.keyButton("Go"), nullptr);
    }
    GLIMRA_Log::resetForTesting();
    const std::string log = readFile(logPath);
    EXPECT_NE(log.find("email keyboard: cannot open"), std::string::npos) << log;
    EXPECT_NE(log.find("Broken.ui"), std::string::npos) << log;

    // An installer's layout works with the model's rules.
    writeFile(dir.path() + "/Tiny.ui", R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>Tiny</class>
 <widget class="QWidget" name="Tiny">
  <property name="geometry"><rect><x>0</x><y>0</y><width>1024</width><height>768</height></rect></property>
  <widget class="QFrame" name="email1"><property name="geometry"><rect><x>10</x><y>10</y><width>500</width><height>40</height></rect></property></widget>
  <widget class="QPushButton" name="z"><property name="text"><string>Z</string></property></widget>
  <widget class="QPushButton" name="dom"><property name="text"><string>.co.uk</string></property></widget>
  <widget class="QPushButton" name="odd"><property name="text"><string>?</string></property>
   <property name="keyAction" stdset="0"><string>launchRocket</string></property></widget>
 </widget></ui>)");
    GLIMRA_KeyboardView tinyModel;
    KeyboardWidget w(tinyModel, nullptr, QString::fromStdString(dir.path() + "/Tiny.ui"));
    ASSERT_TRUE(w.isLoadedFromUi());
    tinyModel.makeReady();
    tap(w, "Z");
    tap(w, ".co.uk");  // several characters: typed, then the focus moves on
    EXPECT_EQ(field(tinyModel, 1), "z.co.uk");
    EXPECT_EQ(tinyModel.firstResponder(), tinyModel.email(2));
    EXPECT_FALSE(w.keyButton("?")->isEnabled());  // an unknown action is refused, not guessed
    EXPECT_EQ(w.fieldFrame(2), nullptr);
}

TEST(KeyboardWidget, RefusedFieldsAreMarkedAndTheScreenshotLooksRight) {
    GLIMRA_KeyboardView model;
    KeyboardWidget w(model);
    model.makeReady();
    model.email(1)->setStringValue("guest@example.com");
    model.email(2)->setStringValue("guest@exmaple");
    model.addBadEmailField(model.email(2));
    model.emailNotValid().setHidden(false);
    model.makeFirstResponder(model.email(2));
    w.resize(1280, 960);
    w.show();
    QApplication::processEvents();
    EXPECT_TRUE(w.fieldFrame(2)->property("badEmail").toBool());
    EXPECT_TRUE(w.notice()->isVisible());
    const QImage shot = w.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    // Red fills the outline's margin just left of the refused field.
    const QRect f = w.fieldFrame(2)->geometry();
    const QColor ring = shot.pixelColor(f.left() - 6, f.center().y());
    EXPECT_GT(ring.red(), 200);
    EXPECT_LT(ring.green(), 100);
    const QString out = QDir::tempPath() + "/klik-keyboard.png";
    EXPECT_TRUE(shot.save(out));
}

}  // namespace
}  // namespace klik
