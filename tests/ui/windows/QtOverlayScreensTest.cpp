// Overlay screens: every shipped Designer file loads with its go-on button
// and image view; through the port the file is loaded, laid over
// the touch side and run modally; a real button click inside the modal run
// answers with the button's tag, and so does a scripted answerer.

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>

#include "KioskWindowsFixture.h"
#include "app/SettingsKeys.h"
#include "ui/windows/OverlayScreenDialog.h"
#include "ui/windows/QtOverlayScreens.h"

namespace klik::test {
namespace {

// The button of `tag` inside `screen`, or null.
QAbstractButton* buttonWithTag(QWidget* screen, int tag) {
    if (!screen) return nullptr;
    for (QAbstractButton* b : screen->findChildren<QAbstractButton*>()) {
        bool ok = false;
        if (b->property("tag").toInt(&ok) == tag && ok) return b;
    }
    return nullptr;
}

TEST(OverlayScreenDialog, EveryShippedScreenLoadsWithAGoOnButtonAndTakesAPicture) {
    for (const char* name :
         {"LegaleseView", "PleaseWaitView", "ConfirmCancelView", "ConfirmEmailEntry"}) {
        OverlayScreenDialog screen(QString::fromLatin1(name));
        ASSERT_TRUE(screen.isLoaded()) << name;
        EXPECT_NE(buttonWithTag(screen.view(), 100), nullptr) << name;
        EXPECT_NE(screen.view()->findChild<QWidget*>("ibNSImageView"), nullptr) << name;
        EXPECT_NE(screen.view()->findChild<QWidget*>("ibButtonsView"), nullptr) << name;
    }
    OverlayScreenDialog screen(QStringLiteral("ConfirmEmailEntry"));
    QImage red(40, 30, QImage::Format_ARGB32);
    red.fill(Qt::red);
    screen.setPicture(red, true);
    auto* label = screen.view()->findChild<QLabel*>("ibNSImageView");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pixmap().size(), QSize(40, 30));

    OverlayScreenDialog missing(QStringLiteral("NoSuchScreen"));
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.runModal(nullptr), std::nullopt);
}

class QtOverlayScreensTest : public KioskWindowsFixture {
  protected:
    QtOverlayScreensTest() {
        build();
        overlays = std::make_unique<QtOverlayScreens>(*windows);
        app->setOverlayScreens(overlays.get());
        windows->touchWindow().show();
    }
    ~QtOverlayScreensTest() override {
        app->setOverlayScreens(nullptr);
        overlays.reset();
    }
    // Once the modal run is up, clicks its button of `tag` with the mouse
    // and records what the screen looked like. A screen without that button
    // fails the test (and is closed, so the run ends).
    void clickWhenShown(int tag) {
        sawModal = foundButton = false;
        QTimer::singleShot(0, [this, tag] {
            QWidget* modal = QApplication::activeModalWidget();
            sawModal = modal != nullptr;
            if (modal) modalRect = QRect(modal->mapToGlobal(QPoint(0, 0)), modal->size());
            QAbstractButton* b = buttonWithTag(modal, tag);
            foundButton = b != nullptr;
            if (b) {
                QTest::mouseClick(b, Qt::LeftButton);
            } else {
                ADD_FAILURE() << "no button with tag " << tag << " on the modal screen";
                if (modal) modal->close();
            }
        });
    }

    std::unique_ptr<QtOverlayScreens> overlays;
    bool sawModal = false, foundButton = false;
    QRect modalRect;
};

TEST_F(QtOverlayScreensTest, EachButtonAnswersItsTagAndGoOnIs100OverTheTouchWindow) {
    clickWhenShown(100);
    EXPECT_EQ(overlays->runModal(OverlayScreen::Legalese), 100);
    EXPECT_TRUE(sawModal);
    EXPECT_TRUE(foundButton);
    QWidget& touch = windows->touchWindow();
    EXPECT_EQ(modalRect, QRect(touch.mapToGlobal(QPoint(0, 0)), touch.size()));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Another button answers its own tag; the screen is made once and reused.
    clickWhenShown(0);
    EXPECT_EQ(overlays->runModal(OverlayScreen::ConfirmCancel), 0);
    EXPECT_TRUE(foundButton);
    clickWhenShown(100);
    EXPECT_EQ(overlays->runModal(OverlayScreen::ConfirmCancel), 100);
    EXPECT_TRUE(foundButton);
}

TEST_F(QtOverlayScreensTest, TheControllerGoesOnOnlyOnTag100AlsoFromAScriptedAnswerer) {
    // Legal text (the keyboard is hidden).
    clickWhenShown(0);
    EXPECT_FALSE(app->doDisplayLegalese());
    clickWhenShown(100);
    EXPECT_TRUE(app->doDisplayLegalese());
    // Please wait, when asked for.
    settings.setBool(key::prefShowPauseBeforeCountdown, true);
    clickWhenShown(100);
    EXPECT_TRUE(app->doDisplayPleaseWait());
    EXPECT_TRUE(foundButton);

    // A scripted answerer picks the tag on the shown screen.
    std::vector<OverlayScreen> asked;
    bool shownWhenAsked = false;
    overlays->setAnswerer([&](OverlayScreen s) {
        asked.push_back(s);
        shownWhenAsked = QApplication::activeModalWidget() != nullptr;
        return s == OverlayScreen::Legalese ? 100 : 7;
    });
    EXPECT_EQ(overlays->runModal(OverlayScreen::Legalese), 100);
    EXPECT_EQ(overlays->runModal(OverlayScreen::ConfirmEmailEntry), 7);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], OverlayScreen::Legalese);
    EXPECT_EQ(asked[1], OverlayScreen::ConfirmEmailEntry);
    EXPECT_TRUE(shownWhenAsked);
    EXPECT_TRUE(app->doDisplayLegalese());
}

}  // namespace
}  // namespace klik::test
