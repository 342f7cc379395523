// The live picture inside the reference artwork's window, the fallback to
// the whole live side, centring in a container and the re-layout when the
// live view's or the keyboard container's frame changes.

#include "ControllerFixture.h"
#include "log/Log.h"

namespace klik::test {
namespace {

class LiveViewLayoutTest : public ControllerFixture {
  protected:
    LiveViewLayoutTest() { GLIMRA_Log::setLogFile(dir.file("kiosk.log")); }
    ~LiveViewLayoutTest() override { GLIMRA_Log::resetForTesting(); }
    std::string log() const { return readFile(dir.file("kiosk.log")); }

    // A 640 x 480 reference whose window lies at (100, 50, 400, 300).
    void useReference() {
        artwork.reference = ArtworkPort::ReferenceWindow{Rect{100, 50, 400, 300}, 640, 480};
    }
    Rect inputFrame() const { return controller->currentInputView().frame(); }
};

TEST_F(LiveViewLayoutTest, TheReferenceWindowIsScaledAndCentredWithTheArtwork) {
    useReference();
    // Nothing is laid out before the live side has a size.
    controller->_EVFView.setFrame(Rect{1, 2, 3, 4});
    controller->resizeLiveViewToFit();
    EXPECT_EQ(inputFrame(), (Rect{1, 2, 3, 4}));
    EXPECT_EQ(artwork.referenceLookups, 0);

    const struct {
        Rect live, input;
    } cases[] = {
        {{0, 0, 1280, 960}, {200, 100, 800, 600}},
        // Half and one and a half times the reference: the same window, scaled.
        {{0, 0, 320, 240}, {50, 25, 200, 150}},
        {{0, 0, 960, 720}, {150, 75, 600, 450}},
        // Taller than the artwork: the width's factor, the artwork and its
        // window centred vertically ((1280 - 960) / 2 = 160 above).
        {{0, 0, 1280, 1280}, {200, 260, 800, 600}},
        // Wider: the height's factor (480 / 480 = 1), centred horizontally.
        {{0, 0, 1280, 480}, {420, 50, 400, 300}},
    };
    for (const auto& c : cases) {
        controller->_liveView.setFrame(c.live);
        controller->resizeLiveViewToFit();
        EXPECT_EQ(inputFrame(), c.input) << c.live.width << " x " << c.live.height;
    }
    // The touch countdown screen fits the live picture.
    controller->_liveView.setFrame(Rect{0, 0, 1280, 960});
    controller->_EVFView.setFrame(Rect{});
    controller->startOver();
    controller->nextScreenWithLegalese();
    loop.runPending();
    ASSERT_EQ(screen(), 3u);
    EXPECT_EQ(inputFrame(), (Rect{200, 100, 800, 600}));
    // The video input is placed the same way.
    useVideo();
    controller->_liveView.setFrame(Rect{0, 0, 1280, 960});
    controller->resizeLiveViewToFit();
    EXPECT_EQ(controller->_QTCView.frame(), (Rect{200, 100, 800, 600}));
}

TEST_F(LiveViewLayoutTest, WithoutAUsableReferenceTheLiveSideIsFilledAndTheReasonLogged) {
    controller->_liveView.setFrame(Rect{0, 0, 1056, 704});
    controller->resizeLiveViewToFit();
    EXPECT_EQ(inputFrame(), (Rect{0, 0, 1056, 704}));
    EXPECT_NE(log().find("no LiveVideoReference window, the live view fills the live window"),
              std::string::npos);

    // What the scan gives for artwork with no transparent pixel.
    artwork.reference = ArtworkPort::ReferenceWindow{Rect{640, 480, -640, -480}, 640, 480};
    controller->_EVFView.setFrame(Rect{});
    controller->resizeLiveViewToFit();
    EXPECT_EQ(inputFrame(), (Rect{0, 0, 1056, 704}));
    EXPECT_NE(log().find("LiveVideoReference (640 x 480) has no transparent window"),
              std::string::npos);

    // A reference of no width must not divide by zero.
    artwork.reference = ArtworkPort::ReferenceWindow{Rect{1, 1, 10, 10}, 0, 0};
    controller->_EVFView.setFrame(Rect{});
    controller->resizeLiveViewToFit();
    EXPECT_EQ(inputFrame(), (Rect{0, 0, 1056, 704}));

    // No artwork at all: the same.
    controller->setArtwork(nullptr);
    controller->_liveView.setFrame(Rect{0, 0, 800, 600});
    controller->resizeLiveViewToFit();
    EXPECT_EQ(inputFrame(), (Rect{0, 0, 800, 600}));
}

TEST_F(LiveViewLayoutTest, ANewLiveFrameRefitsAndCentresTheCountdownOverlay) {
    useReference();
    controller->_overlayContentView.setFrame(Rect{0, 0, 1280, 960});
    controller->_countdownOverlay.setFrame(Rect{0, 0, 200, 100});
    // Setting the frame is enough: the controller watches it.
    controller->_liveView.setFrame(Rect{0, 0, 1280, 960});
    EXPECT_EQ(inputFrame(), (Rect{200, 100, 800, 600}));
    EXPECT_EQ(controller->_countdownOverlay.frame(), (Rect{540, 430, 200, 100}));
    const int lookups = artwork.referenceLookups;

    // Other changes of the live view (a new picture, the same frame again)
    // lay nothing out.
    controller->_liveView.setImage(Picture::solid(Colour::white(), 2, 2));
    controller->_liveView.setFrame(Rect{0, 0, 1280, 960});
    EXPECT_EQ(artwork.referenceLookups, lookups);

    controller->_liveView.setFrame(Rect{0, 0, 640, 480});
    EXPECT_EQ(inputFrame(), (Rect{100, 50, 400, 300}));
    EXPECT_EQ(artwork.referenceLookups, lookups + 1);

    // A report about another view leaves the live side alone.
    controller->_EVFView.setFrame(Rect{1, 1, 1, 1});
    controller->NSViewFrameDidChangeNotification(controller->_goButton);
    EXPECT_EQ(inputFrame(), (Rect{1, 1, 1, 1}));
}

TEST_F(LiveViewLayoutTest, ANewKeyboardContainerFrameCentresTheKeyboardHorizontallyOnly) {
    controller->_keyboard.setFrame(Rect{3, 7, 400, 200});
    controller->_touchView.setFrame(Rect{0, 0, 1024, 768});
    EXPECT_EQ(controller->_keyboard.frame(), (Rect{312, 7, 400, 200}));
    controller->_touchView.setFrame(Rect{0, 0, 600, 768});
    EXPECT_EQ(controller->_keyboard.frame(), (Rect{100, 7, 400, 200}));
}

TEST_F(LiveViewLayoutTest, CentringClampsWidthButNotHeightAndWithoutAContainerIsHarmless) {
    View container("container"), child("child");
    container.addSubview(child);
    container.setFrame(Rect{0, 0, 100, 50});

    child.setFrame(Rect{5, 5, 40, 20});
    controller->centerInSuperview(&child, true, true, 1, 1);
    EXPECT_EQ(child.frame(), (Rect{30, 15, 40, 20}));

    // Wider than the container: x = 0 and the container's width.
    child.setFrame(Rect{5, 5, 140, 20});
    controller->centerInSuperview(&child, true, false, 1, 1);
    EXPECT_EQ(child.frame(), (Rect{0, 5, 100, 20}));

    // Taller: a negative y, no clamp.
    child.setFrame(Rect{5, 5, 40, 80});
    controller->centerInSuperview(&child, false, true, 1, 1);
    EXPECT_EQ(child.frame(), (Rect{5, -15, 40, 80}));

    // Scales apply to the view's own size.
    child.setFrame(Rect{0, 0, 40, 20});
    controller->centerInSuperview(&child, true, true, 2, 0.5f);
    EXPECT_EQ(child.frame(), (Rect{10, 20, 80, 10}));

    // Without flags, container or view: harmless.
    View lone("lone");
    lone.setFrame(Rect{5, 5, 40, 20});
    controller->centerInSuperview(&lone, false, false, 1, 1);
    EXPECT_EQ(lone.frame(), (Rect{5, 5, 40, 20}));
    // No container: laid out as in a container of no size.
    controller->centerInSuperview(&lone, true, true, 1, 1);
    EXPECT_EQ(lone.frame(), (Rect{0, -10, 0, 20}));
    controller->centerInSuperview(nullptr, true, true, 1, 1);
}

}  // namespace
}  // namespace klik::test
