// The overlay over the live side: it covers the live window exactly and
// follows it, stays transparent to the pointer so a click reaches the
// window below, stretches "LiveVideoOverlay" and centres the countdown.

#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

#include "KioskWindowsFixture.h"
#include "ui/windows/OverlayWindow.h"
#include "ui/windows/ViewWidget.h"

namespace klik::test {
namespace {

QRect globalRect(const QWidget* w) {
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

TEST(OverlayWindow, CoversItsHostFollowsItsMovesSizeAndVisibilityAndOutlivesIt) {
    QWidget host;
    host.setGeometry(100, 80, 640, 480);
    host.show();
    OverlayWindow overlay;
    overlay.attachTo(&host);
    EXPECT_EQ(overlay.host(), &host);
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_EQ(globalRect(&overlay), globalRect(&host));

    host.setGeometry(300, 200, 800, 600);
    EXPECT_EQ(globalRect(&overlay), globalRect(&host));
    host.hide();
    EXPECT_FALSE(overlay.isVisible());
    host.show();
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_EQ(globalRect(&overlay), globalRect(&host));

    // Detached: hidden and no longer following.
    overlay.attachTo(nullptr);
    EXPECT_FALSE(overlay.isVisible());
    host.setGeometry(0, 0, 100, 100);
    EXPECT_NE(overlay.size(), host.size());

    // A host that goes away leaves the overlay detached.
    OverlayWindow orphan;
    {
        QWidget gone;
        gone.setGeometry(10, 10, 200, 100);
        gone.show();
        orphan.attachTo(&gone);
        EXPECT_TRUE(orphan.isVisible());
    }
    EXPECT_EQ(orphan.host(), nullptr);
    // Nothing left to cover: the overlay must not float over the desktop.
    EXPECT_FALSE(orphan.isVisible());
    orphan.attachTo(nullptr);  // no filter left on a dead host
    EXPECT_FALSE(orphan.isVisible());
}

TEST(OverlayWindow, PointerInputPassesThroughToTheWindowBelow) {
    QWidget host;
    host.setGeometry(50, 50, 400, 300);
    auto* button = new QPushButton(QStringLiteral("below"), &host);
    button->setGeometry(100, 100, 200, 100);
    host.show();
    OverlayWindow overlay;
    overlay.attachTo(&host);
    ASSERT_TRUE(overlay.isVisible());
    // Drawn inside the host's window, never a translucent window of its own
    // (black without a compositor); it never takes the focus.
    EXPECT_FALSE(overlay.isWindow());
    EXPECT_EQ(overlay.window(), &host);
    EXPECT_TRUE(overlay.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(overlay.focusPolicy(), Qt::NoFocus);
    // Its content (the overlay picture and the countdown) lets the pointer
    // through as well: nothing in it answers a point.
    auto* content = new QWidget(&overlay);
    content->setGeometry(overlay.rect());
    content->setAttribute(Qt::WA_TransparentForMouseEvents);
    content->show();
    const QPoint centre = button->mapToGlobal(button->rect().center());
    EXPECT_EQ(overlay.childAt(overlay.mapFromGlobal(centre)), nullptr);

    // So the click lands on the window below: the host's button.
    QWidget* below = host.childAt(host.mapFromGlobal(centre));
    ASSERT_EQ(below, button);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(below, Qt::LeftButton, {}, below->mapFromGlobal(centre));
    EXPECT_EQ(clicks, 1);
    // And the overlay still lies over the host afterwards.
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_EQ(globalRect(&overlay), globalRect(&host));
}

class KioskOverlay : public KioskWindowsFixture {};

TEST_F(KioskOverlay, LiesOverTheLiveWindowStretchesItsArtworkCentresTheCountdownKeepsALivePicture) {
    artwork.pictures["LiveVideoOverlay"] = Picture::solid(Colour{0, 0, 1, 1}, 40, 10);
    artwork.pictures["live1"] = Picture::solid(Colour{1, 0, 0, 1}, 40, 10);
    settings.setBool("prefShowLegalese", true);
    build();
    windows->toggleFullScreen();
    QWidget* live = windows->window(KioskWindow::Live);
    ASSERT_NE(live, nullptr);
    OverlayWindow& overlay = windows->overlayWindow();
    EXPECT_EQ(overlay.host(), live);
    EXPECT_TRUE(overlay.isVisible());
    EXPECT_EQ(globalRect(&overlay), globalRect(live));

    // The artwork fills the overlay on both axes, whatever its own shape.
    ViewWidget* content = windows->renderer().widgetFor(app->_overlayContentView);
    ASSERT_NE(content, nullptr);
    app->_overlayContentView.setHidden(false);
    EXPECT_EQ(content->geometry(), overlay.rect());
    EXPECT_EQ(app->_overlayContentView.image(), artwork.pictures["LiveVideoOverlay"]);
    const QImage shot = content->grab().toImage();
    for (QPoint p :
         {QPoint(1, 1), QPoint(shot.width() - 2, shot.height() - 2), QPoint(shot.width() / 2, 2)})
        EXPECT_EQ(shot.pixelColor(p), QColor(0, 0, 255)) << p.x() << "," << p.y();

    // The countdown lies in the middle.
    ViewWidget* countdown = windows->renderer().widgetFor(app->_countdownOverlay);
    ASSERT_NE(countdown, nullptr);
    EXPECT_EQ(countdown->parentWidget(), content);
    EXPECT_LE(std::abs(countdown->geometry().center().x() - content->rect().center().x()), 1);
    EXPECT_LE(std::abs(countdown->geometry().center().y() - content->rect().center().y()), 1);

    // Screen 1 has a live picture of its own: it shows on the live side and
    // on the overlay, and the screen change does not put the overlay
    // artwork back over it.
    app->startOver();
    ASSERT_EQ(app->screenNumber(), 1u);
    EXPECT_EQ(app->_liveView.image(), artwork.pictures["live1"]);
    EXPECT_EQ(app->_overlayContentView.image(), artwork.pictures["live1"]);
    EXPECT_EQ(overlay.host(), live);

    // Back to the normal windows: the overlay goes with the live window,
    // built anew with its artwork.
    windows->toggleFullScreen();
    EXPECT_EQ(overlay.host(), &windows->liveWindow());
    EXPECT_EQ(globalRect(&overlay), globalRect(&windows->liveWindow()));
    EXPECT_EQ(app->_overlayContentView.image(), artwork.pictures["LiveVideoOverlay"]);
}

TEST_F(KioskOverlay, TheLivePictureLiesInTheReferenceWindowAndFollowsTheLiveWindow) {
    struct Reference : MemoryArtwork {
        std::optional<ReferenceWindow> liveVideoReferenceWindow() const override {
            return ReferenceWindow{Rect{100, 50, 400, 300}, 640, 480};
        }
    } reference;
    app = std::make_unique<AppController>(AppController::Environment{ui, loop, settings, center});
    app->setArtwork(&reference);
    windows = std::make_unique<KioskWindows>(*app, settings, loop, center, reference);
    ui.attach(windows.get());
    windows->liveWindow().resize(1280, 960);
    windows->liveWindow().show();
    EXPECT_EQ(app->_liveView.frame(), (Rect{0, 0, 1280, 960}));
    EXPECT_EQ(app->_EVFView.frame(), (Rect{200, 100, 800, 600}));
    app->_EVFView.setHidden(false);
    ViewWidget* evf = windows->renderer().widgetFor(app->_EVFView);
    // Bottom-left model origin: 960 - 100 - 600 = 260 from the top.
    EXPECT_EQ(evf->geometry(), QRect(200, 260, 800, 600));

    // The operator makes the window smaller: the picture follows.
    windows->liveWindow().resize(640, 480);
    EXPECT_EQ(app->_EVFView.frame(), (Rect{100, 50, 400, 300}));
    EXPECT_EQ(evf->geometry(), QRect(100, 130, 400, 300));
    ui.attach(nullptr);
    windows.reset();
    app.reset();
}

}  // namespace
}  // namespace klik::test
