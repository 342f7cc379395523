// The live picture fitted into real reference artwork: the photo module's
// scan finds the window of a PNG file, the controller scales it.

#include "ControllerFixture.h"
#include "imaging/ImageCodec.h"
#include "log/Log.h"
#include "photo/AlphaFrameArtwork.h"

namespace klik::test {
namespace {

// Artwork files in a folder of the test's own.
class FolderArtwork : public ArtworkPort {
  public:
    explicit FolderArtwork(std::string dir) : dir_(std::move(dir)) {}
    PicturePtr imageNamed(const std::string& name) const override {
        const std::string path = dir_ + "/" + name + ".png";
        return readFile(path).empty() ? nullptr : Picture::fromFile(name, path);
    }

  private:
    std::string dir_;
};

// A 640 x 480 opaque picture, clearly transparent (alpha 10) over x 100..500
// and rows 130..430 from the top: the window (100, 50, 400, 300) from the
// bottom left. A band of alpha 100 beside it is not clear enough to count.
Bitmap referenceBitmap() {
    Bitmap bm = Bitmap::rgba(640, 480, 200, 30, 30, 255);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            if (x >= 100 && x <= 500 && y >= 130 && y <= 430) bm.pixel(x, y)[3] = 10;
            if (x >= 520 && x <= 600) bm.pixel(x, y)[3] = 100;
        }
    return bm;
}

class LiveViewFitTest : public ControllerFixture {
  protected:
    LiveViewFitTest() {
        GLIMRA_Log::setLogFile(dir.file("kiosk.log"));
        controller->setArtwork(&scanned);
    }
    ~LiveViewFitTest() override {
        controller.reset();  // before the artwork it was given
        GLIMRA_Log::resetForTesting();
    }
    void writeReference(const Bitmap& bm) {
        auto png = encodePngFromRGBA(bm);
        ASSERT_TRUE(png);
        writeFile(dir.file("LiveVideoReference.png"), std::string(png->begin(), png->end()));
    }
    Rect fit(double width, double height) {
        controller->_liveView.setFrame(Rect{0, 0, width, height});
        controller->resizeLiveViewToFit();
        return controller->currentInputView().frame();
    }

    FolderArtwork files{dir.path()};
    AlphaFrameArtwork scanned{files};
};

TEST_F(LiveViewFitTest, TheWindowOfAReferenceFileIsFoundAndScaledAndAReplacedOneTakesEffectAtOnce) {
    writeReference(referenceBitmap());
    auto ref = scanned.liveVideoReferenceWindow();
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->window, (Rect{100, 50, 400, 300}));
    EXPECT_EQ(ref->referenceWidth, 640);
    EXPECT_EQ(ref->referenceHeight, 480);
    EXPECT_EQ(fit(1280, 960), (Rect{200, 100, 800, 600}));
    EXPECT_EQ(fit(320, 240), (Rect{50, 25, 200, 150}));
    // Replaced artwork takes effect at once.
    Bitmap other = Bitmap::rgba(320, 240, 0, 0, 0, 255);
    for (int y = 0; y <= 100; ++y)
        for (int x = 0; x <= 160; ++x) other.pixel(x, y)[3] = 0;
    writeReference(other);
    // Window (0, 140, 160, 100) of a 320-pixel reference, times 4.
    EXPECT_EQ(fit(1280, 960), (Rect{0, 560, 640, 400}));
}

TEST_F(LiveViewFitTest, MissingOpaqueOrBrokenReferencesFillTheLiveSide) {
    // Missing.
    EXPECT_FALSE(scanned.liveVideoReferenceWindow());
    EXPECT_EQ(fit(1056, 704), (Rect{0, 0, 1056, 704}));

    // Opaque: only alpha 100 and up, nothing clearly transparent.
    Bitmap opaque = Bitmap::rgba(64, 48, 10, 10, 10, 255);
    for (int x = 0; x < 20; ++x) opaque.pixel(x, 5)[3] = 100;
    writeReference(opaque);
    EXPECT_EQ(fit(1056, 704), (Rect{0, 0, 1056, 704}));

    // Not a picture: logged, then the same fallback.
    writeFile(dir.file("LiveVideoReference.png"), "not a png");
    EXPECT_FALSE(scanned.liveVideoReferenceWindow());
    EXPECT_EQ(fit(800, 600), (Rect{0, 0, 800, 600}));
    const std::string log = readFile(dir.file("kiosk.log"));
    EXPECT_NE(log.find("LiveVideoReference: cannot decode the artwork"), std::string::npos);
    EXPECT_NE(log.find("has no transparent window"), std::string::npos);
    EXPECT_NE(log.find("no LiveVideoReference window"), std::string::npos);
}

TEST_F(LiveViewFitTest, PicturesInMemoryAreScannedWithoutAFile) {
    // A reference handed over as pixels or as encoded bytes.
    struct Memory : ArtworkPort {
        PicturePtr picture;
        PicturePtr imageNamed(const std::string& name) const override {
            return name == "LiveVideoReference" ? picture : nullptr;
        }
    } memory;
    AlphaFrameArtwork scanning(memory);
    const Bitmap bm = referenceBitmap();
    memory.picture = Picture::fromRGBA("LiveVideoReference", bm.pixels, bm.width, bm.height);
    ASSERT_TRUE(scanning.liveVideoReferenceWindow());
    EXPECT_EQ(scanning.liveVideoReferenceWindow()->window, (Rect{100, 50, 400, 300}));
    memory.picture = Picture::fromEncoded("LiveVideoReference", *encodePngFromRGBA(bm));
    ASSERT_TRUE(scanning.liveVideoReferenceWindow());
    EXPECT_EQ(scanning.liveVideoReferenceWindow()->window, (Rect{100, 50, 400, 300}));
    // Other names pass through unchanged.
    EXPECT_EQ(scanning.imageNamed("LiveVideoReference"), memory.picture);
    EXPECT_EQ(scanning.imageNamed("live3"), nullptr);
}

}  // namespace
}  // namespace klik::test
