#include <gtest/gtest.h>

#include "TestImages.h"
#include "photo/ImageCodec.h"
#include "photo/JpegSquare.h"

namespace klik {
namespace {

TEST(JpegSquare, GeometryOfLandscapePortraitAndSquare) {
    auto g = centredSquareGeometry(3000, 2000);
    EXPECT_EQ(g.side, 2000);
    EXPECT_EQ(g.x, 500);
    EXPECT_EQ(g.y, 0);
    g = centredSquareGeometry(2000, 3001);
    EXPECT_EQ(g.side, 2000);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 500);
    g = centredSquareGeometry(64, 64);
    EXPECT_EQ(g.side, 64);
    EXPECT_EQ(g.x, 0);
}

TEST(JpegSquare, LandscapeCropStartsAtX500AndCarriesExif) {
    // Bars at the square's left edge (x = 500) and just inside its right
    // edge (2468..2499); a bar at 436 lies outside the square (and inside
    // the iMCU libjpeg widens the crop to), so it must not show.
    const Data src = test::makeBarJpeg(3000, 2000, {436, 500, 2468}, "SquareCam");
    SquareGeometry g;
    std::string error;
    auto out = centredSquareJpeg(src, 90, &g, &error);
    ASSERT_TRUE(out) << error;
    EXPECT_EQ(g.x, 500);
    EXPECT_EQ(g.side, 2000);
    auto info = readJpegInfo(*out);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 2000);
    EXPECT_EQ(info->height, 2000);
    auto bm = decodeJpegToRGBA(*out);
    ASSERT_TRUE(bm);
    EXPECT_GT(test::meanRed(*bm, 2, 30, 0, 2000), 200);       // bar at source x 500
    EXPECT_LT(test::meanRed(*bm, 36, 60, 0, 2000), 60);       // dark after it
    EXPECT_GT(test::meanRed(*bm, 1970, 1998, 0, 2000), 200);  // bar at source x 2468
    EXPECT_LT(test::meanRed(*bm, 1900, 1960, 0, 2000), 60);
    EXPECT_EQ(test::exifValue(*out, "Exif.Image.Make"), "SquareCam");
    EXPECT_EQ(test::exifValue(*out, "Exif.Photo.DateTimeOriginal"), "2011:03:05 14:30:15");
}

TEST(JpegSquare, PortraitCropSkipsRowsAbove) {
    // 600 x 1000: square from y = 200; bars at rows 200 and 768 show at the
    // square's top and just above its bottom; the bar at 100 is cut away.
    const Data src = test::makeRowBarJpeg(600, 1000, {100, 200, 768});
    SquareGeometry g;
    auto out = centredSquareJpeg(src, 90, &g);
    ASSERT_TRUE(out);
    EXPECT_EQ(g.y, 200);
    auto bm = decodeJpegToRGBA(*out);
    ASSERT_TRUE(bm);
    EXPECT_EQ(bm->width, 600);
    EXPECT_EQ(bm->height, 600);
    EXPECT_GT(test::meanRed(*bm, 0, 600, 2, 30), 200);
    EXPECT_LT(test::meanRed(*bm, 0, 600, 40, 500), 60);
    EXPECT_GT(test::meanRed(*bm, 0, 600, 570, 598), 200);
    EXPECT_TRUE(exifApp1Payload(*out).empty());
}

TEST(JpegSquare, SquareSourceIsReturnedUntouchedAndBadDataRefused) {
    const Data src = test::makeBarJpeg(256, 256, {10}, "Same");
    auto out = centredSquareJpeg(src);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, src);

    std::string error;
    EXPECT_FALSE(centredSquareJpeg(Data{1, 2, 3}, 90, nullptr, &error));
    EXPECT_FALSE(error.empty());
    Data truncated(src.begin(), src.begin() + 40);
    truncated[1] = 0xD8;
    EXPECT_FALSE(centredSquareJpeg(truncated, 90, nullptr, &error));
}

TEST(JpegSquare, TruncatedImageDataIsAnErrorNotACrash) {
    Data src = test::makeBarJpeg(800, 400, {400});
    src.resize(src.size() / 3);
    std::string error;
    // libjpeg pads a truncated stream with grey and warns; either a square
    // or an error is acceptable, never a crash or an exit.
    auto out = centredSquareJpeg(src, 90, nullptr, &error);
    if (out) {
        EXPECT_EQ(readJpegInfo(*out)->width, 400);
    }
}

}  // namespace
}  // namespace klik
