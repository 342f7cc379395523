#include <gtest/gtest.h>

#include "imaging/AlphaFrame.h"
#include "imaging/ImageCodec.h"
#include "support/TempDir.h"

namespace klik {
namespace {

// 400 x 300 opaque artwork with a fully transparent window at columns
// 100..299, rows 50..149 (top-down).
Bitmap windowArtwork(std::uint8_t alpha = 0) {
    Bitmap bm = Bitmap::rgba(400, 300, 200, 10, 10, 255);
    for (int y = 50; y <= 149; ++y)
        for (int x = 100; x <= 299; ++x) bm.pixel(x, y)[3] = alpha;
    return bm;
}

TEST(AlphaFrame, BothScansOnTheWindowExample) {
    const auto src = ArtworkSource::bitmap(windowArtwork());
    const AlphaFrame px{100, 151, 199, 99};
    EXPECT_EQ(alphaFrameForImage(src, false, 10), px);
    EXPECT_EQ(alphaFrameForImage(src, false), px);
    EXPECT_EQ(alphaFrameForImageOrlo(src, false), px);
    const AlphaFrame n = alphaFrameForImage(src, true);
    EXPECT_FLOAT_EQ(n.x, 0.25f);
    EXPECT_FLOAT_EQ(n.width, 0.4975f);
    EXPECT_NEAR(n.y, 0.5033, 1e-4);
    EXPECT_FLOAT_EQ(n.height, 0.33f);
    EXPECT_EQ(alphaFrameForImageOrlo(src, true), n);
}

TEST(AlphaFrame, AFrameForSeveralPhotosHasEachWindowInTheOrderShotsFillThem) {
    // A 2 x 2 strip frame drawn a little crooked (the right column 6 rows
    // lower), a see-through speck of a logo and an antialiased edge.
    Bitmap bm = Bitmap::rgba(600, 500, 30, 30, 160, 255);
    auto cut = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) bm.pixel(x, y)[3] = 0;
    };
    cut(340, 46, 539, 205);                                     // top right (filled second)
    cut(40, 40, 239, 199);                                      // top left (first)
    cut(40, 260, 239, 419);                                     // bottom left (third)
    cut(340, 266, 539, 425);                                    // bottom right (fourth)
    for (int x = 40; x <= 239; ++x) bm.pixel(x, 200)[3] = 128;  // antialiased lower edge
    for (int y = 470; y < 474; ++y)
        for (int x = 280; x < 284; ++x) bm.pixel(x, y)[3] = 0;  // a speck: no window
    const auto w = frameWindows(bm, false);
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[0], (AlphaFrame{40, 300, 199, 160})) << describe(w[0]);
    EXPECT_EQ(w[1], (AlphaFrame{340, 295, 199, 159})) << describe(w[1]);
    EXPECT_EQ(w[2], (AlphaFrame{40, 81, 199, 159})) << describe(w[2]);
    EXPECT_EQ(w[3], (AlphaFrame{340, 75, 199, 159})) << describe(w[3]);
    EXPECT_FLOAT_EQ(frameWindows(bm, true)[1].x, 340.0f / 600);

    // One window: what the single scan finds.
    const Bitmap one = windowArtwork();
    ASSERT_EQ(frameWindows(one, false).size(), 1u);
    EXPECT_EQ(frameWindows(one, false)[0], edgeMarginScan(one, false, 10));
    // None: an opaque picture or nothing at all.
    EXPECT_TRUE(frameWindows(Bitmap::rgba(100, 100), false).empty());
    EXPECT_TRUE(frameWindows(Bitmap{}, false).empty());
}

TEST(AlphaFrame, ThresholdsMarginsAndEmptyResults) {
    Bitmap bm = Bitmap::rgba(100, 100);
    bm.pixel(40, 40)[3] = 254;
    EXPECT_EQ(edgeMarginScan(bm, false, 10), (AlphaFrame{40, 60, 0, 0}));
    EXPECT_EQ(threshold50Scan(bm, false), (AlphaFrame{100, 100, -100, -100}));
    bm.pixel(40, 40)[3] = 50;
    EXPECT_EQ(threshold50Scan(bm, false).width, -100);
    EXPECT_EQ(edgeMarginScan(bm, false, 10).width, 0);
    bm.pixel(40, 40)[3] = 49;
    EXPECT_EQ(threshold50Scan(bm, false), (AlphaFrame{40, 60, 0, 0}));

    Bitmap edges = Bitmap::rgba(100, 80);
    for (int i = 0; i < 80; ++i) {
        edges.pixel(10, i)[3] = 0;  // column 10: inside the margin
        edges.pixel(90, i)[3] = 0;  // last 10 columns
    }
    for (int x = 0; x < 100; ++x) edges.pixel(x, 5)[3] = 0;  // row 5
    EXPECT_EQ(edgeMarginScan(edges, false, 10), (AlphaFrame{100, 80, -100, -80}));
    // The threshold scan has no margin.
    EXPECT_EQ(threshold50Scan(edges, false).x, 0);
    // Margin 0: row 0 and column 0 still never count.
    Bitmap corner = Bitmap::rgba(20, 20);
    corner.pixel(0, 0)[3] = 0;
    EXPECT_EQ(edgeMarginScan(corner, false, 0).width, -20);
    // A margin beyond half the artwork is cut to half the smaller side.
    Bitmap small = Bitmap::rgba(40, 20);
    small.pixel(5, 5)[3] = 0;
    EXPECT_EQ(edgeMarginScan(small, false, 1000), (AlphaFrame{40, 20, -40, -20}));
    // Fully opaque, normalised: (1, 1, -1, -1).
    EXPECT_EQ(edgeMarginScan(Bitmap::rgba(30, 30), true, 10), (AlphaFrame{1, 1, -1, -1}));
    // No bitmap: zero.
    EXPECT_EQ(alphaFrameForImage(ArtworkSource::named("no-such-artwork"), false), AlphaFrame{});
    EXPECT_EQ(alphaFrameForImage(ArtworkSource::encoded(Data{1, 2}), false), AlphaFrame{});
}

TEST(AlphaFrame, EverySourceKindReadsPngArtwork) {
    test::TempDir dir;
    auto png = encodePngFromRGBA(windowArtwork());
    ASSERT_TRUE(png);
    const std::string path = dir.file("frame art.png");
    test::writeFile(path, std::string(png->begin(), png->end()));
    const AlphaFrame px{100, 151, 199, 99};
    EXPECT_EQ(alphaFrameForImage(ArtworkSource::named(path), false), px);
    EXPECT_EQ(
        alphaFrameForImage(ArtworkSource::url("file://" + dir.file("frame%20art.png")), false), px);
    EXPECT_EQ(alphaFrameForImage(ArtworkSource::encoded(*png), false), px);
    // JPEG artwork is converted to RGBA and is fully opaque.
    Data jpeg = *encodeJpegFromRGBA(windowArtwork(), 90);
    EXPECT_EQ(alphaFrameForImage(ArtworkSource::encoded(jpeg), false),
              (AlphaFrame{400, 300, -400, -300}));
}

}  // namespace
}  // namespace klik
