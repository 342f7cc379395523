#include "ui/OverlayScreenDialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>

namespace klik {
namespace {

QAbstractButton* buttonWithTag(OverlayScreenDialog& screen, int tag) {
    for (QAbstractButton* b : screen.view()->findChildren<QAbstractButton*>()) {
        bool ok = false;
        if (b->property("tag").toInt(&ok) == tag && ok) return b;
    }
    return nullptr;
}

// Presses the button of `tag` once the modal run has started; a guard ends
// the run with -1 if the press never arrives.
int answerWith(OverlayScreenDialog& screen, int tag) {
    QAbstractButton* button = buttonWithTag(screen, tag);
    if (!button) return -2;
    QTimer::singleShot(0, button, [button] { button->click(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { screen.finish(-1); });
    guard.start(5000);
    return screen.runModal(nullptr).value_or(-3);
}

TEST(OverlayScreenDialog, EveryShippedScreenLoadsWithAGoOnButton) {
    for (const char* name :
         {"LegaleseView", "PleaseWaitView", "ConfirmCancelView", "ConfirmEmailEntry"}) {
        OverlayScreenDialog screen(QString::fromLatin1(name));
        ASSERT_TRUE(screen.isLoaded()) << name;
        EXPECT_NE(buttonWithTag(screen, 100), nullptr) << name;
        EXPECT_NE(screen.view()->findChild<QWidget*>("ibNSImageView"), nullptr) << name;
        EXPECT_NE(screen.view()->findChild<QWidget*>("ibButtonsView"), nullptr) << name;
    }
}

TEST(OverlayScreenDialog, AButtonEndsTheModalRunWithItsTag) {
    OverlayScreenDialog legal(QStringLiteral("LegaleseView"));
    ASSERT_TRUE(legal.isLoaded());
    EXPECT_EQ(answerWith(legal, 100), 100);
    // The same screen is reused for the next guest, who declines.
    EXPECT_EQ(answerWith(legal, 0), 0);

    OverlayScreenDialog cancel(QStringLiteral("ConfirmCancelView"));
    ASSERT_TRUE(cancel.isLoaded());
    EXPECT_EQ(answerWith(cancel, 0), 0);
    EXPECT_EQ(answerWith(cancel, 100), 100);
}

TEST(OverlayScreenDialog, AMissingFileIsReportedAndNeverRuns) {
    OverlayScreenDialog missing(QStringLiteral("NoSuchScreen"));
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.runModal(nullptr), std::nullopt);
}

TEST(OverlayScreenDialog, ThePictureGoesIntoTheImageView) {
    OverlayScreenDialog screen(QStringLiteral("ConfirmEmailEntry"));
    ASSERT_TRUE(screen.isLoaded());
    QImage red(40, 30, QImage::Format_ARGB32);
    red.fill(Qt::red);
    screen.setPicture(red, true);
    auto* label = screen.view()->findChild<QLabel*>("ibNSImageView");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pixmap().size(), QSize(40, 30));
}

}  // namespace
}  // namespace klik
