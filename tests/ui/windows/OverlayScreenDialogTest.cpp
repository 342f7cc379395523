#include "ui/windows/OverlayScreenDialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>

namespace klik {
namespace {

QAbstractButton* buttonWithTag(OverlayScreenDialog& screen, int tag) {
    for (QAbstractButton* b : screen.view()->findChildren<QAbstractButton*>()) {
        bool ok = false;
        if (b->property("tag").toInt(&ok) == tag && ok) return b;
    }
    return nullptr;
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
