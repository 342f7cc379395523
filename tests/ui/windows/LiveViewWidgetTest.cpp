// The camera's live view: frames offered from another thread keep only the
// newest, shown and dropped frames add up, frames show only while the
// controller shows live frames, and a picture set after a frame replaces
// it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

#include "app/View.h"
#include "camera/CameraNotifications.h"
#include "camera/QZNSImageFlipped.h"
#include "foundation/NotificationCenter.h"
#include "imaging/ImageCodec.h"
#include "ui/windows/LiveViewWidget.h"

namespace klik::test {
namespace {

// The controller's picture of a live frame, as it sets it in live view.
PicturePtr livePicture(const std::shared_ptr<QZNSImageFlipped>& frame) {
    return Picture::fromEncoded("liveView", frame->data());
}

// A small JPEG frame of one colour, decoded as the camera delivers it.
std::shared_ptr<QZNSImageFlipped> frameOf(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    const auto jpeg = encodeJpegFromRGBA(Bitmap::rgba(32, 24, r, g, b, 255), 95);
    if (!jpeg) return nullptr;
    return QZNSImageFlipped::imageWithData(*jpeg);
}

bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
}

class LiveViewWidgetTest : public ::testing::Test {
  protected:
    LiveViewWidgetTest() : widget(view, center) {
        widget.resize(320, 240);
        widget.show();
        goLive(frameOf(0, 0, 0));
    }
    // The controller shows live frames, `first` the one it handed over.
    void goLive(const std::shared_ptr<QZNSImageFlipped>& first) {
        view.setImage(livePicture(first));
        widget.sync();
    }
    QColor centre() { return widget.grab().toImage().pixelColor(160, 120); }
    // Lets the GUI thread paint until `pred` holds (at most 5 s).
    template <typename Pred>
    bool waitFor(Pred pred) {
        return QTest::qWaitFor([&] {
            widget.repaint();
            return pred();
        });
    }

    View view{"EVFView"};
    NotificationCenter center;
    LiveViewWidget widget;
};

TEST_F(LiveViewWidgetTest, FramesFromAnotherThreadKeepOnlyTheNewest) {
    std::vector<std::shared_ptr<QZNSImageFlipped>> frames;
    for (int i = 0; i < 50; ++i) frames.push_back(frameOf(0, 0, static_cast<std::uint8_t>(i)));
    frames.push_back(frameOf(250, 0, 0));
    for (auto& f : frames) ASSERT_TRUE(f);
    std::thread camera([&] {
        for (auto& f : frames) widget.offerFrame(f);
    });
    camera.join();
    EXPECT_EQ(widget.framesOffered(), frames.size());
    // Nothing painted yet: everything but the newest was replaced unseen.
    EXPECT_EQ(widget.currentFrame(), frames.back());
    EXPECT_EQ(widget.framesShown(), 0u);
    EXPECT_EQ(widget.framesDropped(), frames.size() - 1);

    ASSERT_TRUE(waitFor([&] { return widget.framesShown() == 1; }));
    EXPECT_TRUE(near(centre(), QColor(250, 0, 0)));
    EXPECT_EQ(widget.framesShown() + widget.framesDropped(), widget.framesOffered());
    // Painting the same frame again counts it once.
    widget.repaint();
    EXPECT_EQ(widget.framesShown(), 1u);
}

TEST_F(LiveViewWidgetTest, FramesArriveByNotificationAndBadOnesAreIgnored) {
    std::thread camera([&] {
        Notification n;
        n.name = GLIMRA_CameraLiveViewImageUpdate;
        auto frame = frameOf(0, 240, 0);
        n.userInfo = Dictionary{{GLIMRA_CameraLiveViewImage, Value(makeOpaque(frame))}};
        center.post(n);
        widget.offerFrame(nullptr);
        // Something else in the frame's place is not taken for a frame.
        n.userInfo = Dictionary{
            {GLIMRA_CameraLiveViewImage, Value(makeOpaque(std::make_shared<std::string>("x")))}};
        center.post(n);
    });
    camera.join();
    EXPECT_EQ(widget.framesOffered(), 1u);
    ASSERT_TRUE(waitFor([&] { return widget.framesShown() == 1; }));
    EXPECT_TRUE(near(centre(), QColor(0, 240, 0)));
}

TEST_F(LiveViewWidgetTest, APictureSetAfterAFrameReplacesItUntilTheNextFrame) {
    widget.offerFrame(frameOf(0, 0, 250));
    ASSERT_TRUE(waitFor([&] { return widget.framesShown() == 1; }));
    EXPECT_TRUE(near(centre(), QColor(0, 0, 250)));

    // The photo: it replaces the frame, and frames that come late (the
    // camera still had some in flight) never cover it.
    view.setImage(Picture::solid(Colour{1, 1, 0, 1}, 32, 24));
    widget.sync();
    EXPECT_EQ(widget.currentFrame(), nullptr);
    EXPECT_TRUE(near(centre(), QColor(255, 255, 0)));
    std::thread late([&] { widget.offerFrame(frameOf(250, 0, 0)); });
    late.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(widget.currentFrame(), nullptr);
    EXPECT_TRUE(near(centre(), QColor(255, 255, 0)));
    EXPECT_EQ(widget.framesOffered(), 1u);

    // Live view again: frames show once more.
    const auto next = frameOf(250, 0, 0);
    goLive(next);
    widget.offerFrame(next);
    ASSERT_TRUE(waitFor([&] { return widget.framesShown() == 2; }));
    EXPECT_TRUE(near(centre(), QColor(250, 0, 0)));
    EXPECT_EQ(widget.framesDropped(), 0u);
}

TEST_F(LiveViewWidgetTest, TheControllersFrameShowsUntilADirectOneAndNeverCoversANewerOne) {
    // No frame of its own yet: the controller's picture is decoded and drawn.
    goLive(frameOf(0, 240, 0));
    EXPECT_FALSE(widget.displayedImage().isNull());
    EXPECT_TRUE(near(centre(), QColor(0, 240, 0)));

    const auto older = frameOf(0, 0, 250);
    const auto newer = frameOf(250, 0, 0);
    widget.offerFrame(older);
    widget.offerFrame(newer);
    ASSERT_TRUE(waitFor([&] { return widget.framesShown() == 1; }));
    // The controller's copy of the older frame arrives through the main
    // loop after the newer one is on screen.
    goLive(older);
    EXPECT_EQ(widget.currentFrame(), newer);
    EXPECT_TRUE(near(centre(), QColor(250, 0, 0)));
    // It is not decoded again either: the frame is what is drawn.
    EXPECT_TRUE(widget.displayedImage().isNull());
}

TEST_F(LiveViewWidgetTest, CountsReadWhileFramesArriveNeverRunAhead) {
    // The counts are read on the GUI thread while it paints and the camera
    // thread keeps offering: dropped frames never exceed the frames offered.
    const auto frame = frameOf(10, 10, 10);
    ASSERT_TRUE(frame);
    std::atomic<bool> done{false};
    std::thread camera([&] {
        for (int i = 0; i < 20000; ++i) widget.offerFrame(frame);
        done = true;
    });
    std::uint64_t worst = 0;
    bool ranAhead = false;
    while (!done) {
        QCoreApplication::processEvents();
        widget.repaint();
        const std::uint64_t dropped = widget.framesDropped();
        const std::uint64_t offered = widget.framesOffered();
        if (dropped > offered) {
            ranAhead = true;
            worst = dropped;
        }
    }
    camera.join();
    EXPECT_FALSE(ranAhead) << worst;
    ASSERT_TRUE(waitFor([&] { return widget.framesShown() + widget.framesDropped() == 20000; }));
}

}  // namespace
}  // namespace klik::test
