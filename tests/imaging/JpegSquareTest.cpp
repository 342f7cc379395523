#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include <cmath>
#include <cstdint>

#include "TestImages.h"
#include "imaging/ImageCodec.h"
#include "imaging/ImageLimits.h"
#include "imaging/JpegSquare.h"
#include "imaging/PhotoDisplayDecode.h"

namespace klik {
namespace {

// A camera-like picture: gradients with fine noise on every channel, so the
// JPEG is busy everywhere as a real photo is; quality 96.
Data noisyJpeg(int w, int h, std::uint32_t seed = 11) {
    Bitmap bm = Bitmap::rgba(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto* p = bm.pixel(x, y);
            seed = seed * 1664525u + 1013904223u;
            p[0] = static_cast<std::uint8_t>((x / 5 + (seed >> 27)) & 0xff);
            p[1] = static_cast<std::uint8_t>((y / 3 + ((seed >> 18) & 31)) & 0xff);
            p[2] = static_cast<std::uint8_t>(((x + y) / 7 + ((seed >> 10) & 31)) & 0xff);
        }
    return *encodeJpegFromRGBA(bm, 96);
}

Data withOrientation(const Data& jpeg, std::uint16_t orientation) {
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = "TurnedCam";
    exif["Exif.Image.Orientation"] = orientation;
    return test::withExifData(jpeg, exif);
}

// The square as it was first made: the whole picture decoded to RGBA, the
// centred square cut out of it and encoded at quality 90.
Data squareByFullDecode(const Data& jpeg) {
    const Bitmap whole = *decodeJpegToRGBA(jpeg);
    const SquareGeometry g = centredSquareGeometry(whole.width, whole.height);
    Bitmap square = Bitmap::rgba(g.side, g.side);
    for (int y = 0; y < g.side; ++y)
        std::copy_n(whole.pixel(g.x, g.y + y), static_cast<size_t>(g.side) * 4, square.pixel(0, y));
    return *encodeJpegFromRGBA(square, 90, exifApp1Payload(jpeg));
}

// Peak signal-to-noise ratio over R, G and B of two pictures of one size
// (`b` read from (bx, by) on); infinite when equal.
double psnr(const Bitmap& a, const Bitmap& b, int bx = 0, int by = 0) {
    double sum = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const double d = double(a.pixel(x, y)[c]) - double(b.pixel(bx + x, by + y)[c]);
                sum += d * d;
            }
    const double mse = sum / (3.0 * a.width * a.height);
    return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

// The square cut while decoding (only the square's rows and columns, kept in
// the camera's YCbCr) shows what the square cut from a whole decode shows:
// against each other at least 38 dB (two quality-90 encodes of busy noise
// meet at about 41), and against the source's own pixels
// within 0.5 dB of the whole-decode square. Odd sizes (a margin of odd
// width, a side that is no multiple of 8 or 16) and a turned photo included.
TEST(JpegSquare, CutWhileDecodingShowsWhatTheWholeDecodeShows) {
    struct Case {
        int w, h;
        std::uint16_t orientation;  // 0: no EXIF
    };
    for (const Case& c : {Case{1203, 802, 0}, Case{601, 999, 0}, Case{1200, 800, 6},
                          Case{797, 1201, 8}, Case{1000, 667, 3}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " orientation " +
                     std::to_string(c.orientation));
        Data src = noisyJpeg(c.w, c.h);
        if (c.orientation != 0) src = withOrientation(src, c.orientation);
        std::string error;
        SquareGeometry g;
        const auto cut = centredSquareJpeg(src, 90, &g, &error);
        ASSERT_TRUE(cut) << error;
        const Data old = squareByFullDecode(src);
        const auto cutPixels = decodeJpegToRGBA(*cut);
        const auto oldPixels = decodeJpegToRGBA(old);
        const auto source = decodeJpegToRGBA(src);
        ASSERT_TRUE(cutPixels && oldPixels && source);
        ASSERT_EQ(cutPixels->width, std::min(c.w, c.h));
        ASSERT_EQ(cutPixels->height, std::min(c.w, c.h));
        const double againstOld = psnr(*cutPixels, *oldPixels);
        const double cutToSource = psnr(*cutPixels, *source, g.x, g.y);
        const double oldToSource = psnr(*oldPixels, *source, g.x, g.y);
        EXPECT_GE(againstOld, 38.0);
        EXPECT_GE(cutToSource, oldToSource - 0.5);
        // The turn travels with the EXIF block, so the square is shown
        // turned as the photo is: the stored square is centred in both
        // directions, and so is the turned one.
        if (c.orientation != 0) {
            EXPECT_EQ(test::exifValue(*cut, "Exif.Image.Orientation"),
                      std::to_string(c.orientation));
            EXPECT_EQ(test::exifValue(*cut, "Exif.Image.Make"), "TurnedCam");
        }
    }
}

TEST(JpegSquare, LandscapeCropStartsAtX500AndCarriesExifOthersAreCentredToo) {
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
    g = centredSquareGeometry(2000, 3001);
    EXPECT_EQ(g.side, 2000);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 500);
    g = centredSquareGeometry(64, 64);
    EXPECT_EQ(g.side, 64);
    EXPECT_EQ(g.x, 0);
}

TEST(JpegSquare, PortraitCropSkipsRowsAboveASquareIsReturnedUntouched) {
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
    // A square source is returned untouched.
    const Data same = test::makeBarJpeg(256, 256, {10}, "Same");
    out = centredSquareJpeg(same);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, same);
}

TEST(JpegSquare, BadOrDamagedCameraDataIsRefusedNotSquaredIntoGrey) {
    std::string error;
    EXPECT_FALSE(centredSquareJpeg(Data{1, 2, 3}, 90, nullptr, &error));
    EXPECT_FALSE(error.empty());
    Data truncated = test::makeBarJpeg(256, 256, {10});
    truncated.resize(40);
    truncated[1] = 0xD8;
    EXPECT_FALSE(centredSquareJpeg(truncated, 90, nullptr, &error));

    // Cut inside the rows the square needs (landscape: all rows).
    Data cut = test::makeBarJpeg(800, 400, {400});
    cut.resize(cut.size() * 2 / 3);
    EXPECT_FALSE(centredSquareJpeg(cut, 90, nullptr, &error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;

    // Cut in the strip below the square (portrait): the rows the square
    // reads are whole, but the file has no end.
    Data tail = test::makeRowBarJpeg(400, 800, {100});
    tail.resize(tail.size() - tail.size() / 10);
    error.clear();
    EXPECT_FALSE(centredSquareJpeg(tail, 90, nullptr, &error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;

    // A square picture is checked too, though it needs no cutting.
    Data square = test::makeBarJpeg(256, 256, {10});
    square.resize(square.size() * 2 / 3);
    error.clear();
    EXPECT_FALSE(centredSquareJpeg(square, 90, nullptr, &error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;

    // Corrupt entropy data in the middle (bytes overwritten, length kept).
    Data garbled = test::makeBarJpeg(800, 400, {400});
    for (size_t i = garbled.size() / 2; i < garbled.size() / 2 + 64; ++i) garbled[i] = 0xFF;
    error.clear();
    EXPECT_FALSE(centredSquareJpeg(garbled, 90, nullptr, &error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;

    // Damage that shows only after the square's output has grown past its
    // first buffer: refused, and the output is let go once (it was freed
    // twice and the live buffer leaked).
    std::vector<int> bars;
    for (int x = 0; x < 3000; x += 7) bars.push_back(x);
    Data late = test::makeBarJpeg(3000, 2000, bars);
    for (size_t i = late.size() * 9 / 10; i < late.size() * 9 / 10 + 64; ++i) late[i] = 0xFF;
    error.clear();
    EXPECT_FALSE(centredSquareJpeg(late, 90, nullptr, &error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;

    // Trailing padding after the end marker is not damage.
    Data padded = test::makeBarJpeg(800, 400, {400});
    padded.insert(padded.end(), 100, 0);
    EXPECT_TRUE(centredSquareJpeg(padded, 90, nullptr, &error)) << error;
}

TEST(PhotoReducedDecode, ShrinksAsFarAsTheScreenOrTheWindowAllowsAndNoFurther) {
    // libjpeg-turbo rounds a reduced side up: 1500 / 8 gives 188.
    const Data photo = test::makeBarJpeg(1500, 1000, {734});
    const auto size = [](const std::optional<DisplayBitmap>& d) {
        return d ? std::make_pair(d->bitmap.width, d->bitmap.height) : std::make_pair(-1, -1);
    };
    using Size = std::pair<int, int>;
    // The screen asks for the long side only.
    EXPECT_EQ(size(decodePhotoForDisplay(photo, 375)), (Size{375, 250}));
    EXPECT_EQ(size(decodePhotoForDisplay(photo, 376)), (Size{750, 500}));
    EXPECT_EQ(size(decodePhotoForDisplay(photo, 100)), (Size{188, 125}));
    EXPECT_EQ(size(decodePhotoForDisplay(photo, 2000)), (Size{1500, 1000}));
    // A print window asks for both sides: the short side decides here.
    EXPECT_EQ(size(decodePhotoToCover(photo, 100, 250)), (Size{375, 250}));
    EXPECT_EQ(size(decodePhotoToCover(photo, 100, 251)), (Size{750, 500}));
    EXPECT_EQ(size(decodePhotoToCover(photo, 188, 125)), (Size{188, 125}));
    EXPECT_EQ(size(decodePhotoToCover(photo, 189, 10)), (Size{375, 250}));
    EXPECT_EQ(size(decodePhotoToCover(photo, 1501, 1)), (Size{1500, 1000}));
    const auto reduced = decodePhotoToCover(photo, 300, 200);
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->sourceWidth, 1500);
    EXPECT_EQ(reduced->sourceHeight, 1000);
    // The content is the photo's, reduced: the bar (734..765 of 1500) is
    // near the middle of the 375 columns, the rest is dark.
    EXPECT_GT(test::meanRed(reduced->bitmap, 184, 190, 0, 250), 200);
    EXPECT_LT(test::meanRed(reduced->bitmap, 0, 150, 0, 250), 60);
    // PNG has no reduced decode: it comes whole.
    const Data png = *encodePngFromRGBA(Bitmap::rgba(64, 48));
    EXPECT_EQ(size(decodePhotoToCover(png, 8, 8)), (Size{64, 48}));
    std::string error;
    EXPECT_FALSE(decodePhotoToCover(Data{'n', 'o', 'p', 'e'}, 8, 8, &error));
    EXPECT_FALSE(error.empty());
}

TEST(ImageLimits, PicturesClaimingTooManyPixelsAreRefusedBeforeDecoding) {
    const Data huge = test::withClaimedSize(test::makeBarJpeg(64, 48, {}), 65000, 43000);
    std::string error;
    EXPECT_FALSE(centredSquareJpeg(huge, 90, nullptr, &error));
    EXPECT_NE(error.find("65000 x 43000 pixels"), std::string::npos) << error;
    EXPECT_NE(error.find("limit of 120 megapixels"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(decodeJpegToRGBA(huge, &error));
    EXPECT_NE(error.find("65000 x 43000"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(decodePhotoForDisplay(huge, 1440, &error));
    EXPECT_NE(error.find("65000 x 43000"), std::string::npos) << error;

    // The limit is a setting: a 3000 x 2000 photo passes at 6 MP, not at 5.
    const Data photo = test::makeBarJpeg(3000, 2000, {});
    Settings s(testing::TempDir() + "/limits.plist");
    s.setInteger(kImagePixelLimitKey, 5);
    applyImagePixelLimitSetting(s);
    EXPECT_FALSE(centredSquareJpeg(photo, 90, nullptr, &error));
    EXPECT_FALSE(decodeJpegToRGBA(photo, &error));
    const Data png = *encodePngFromRGBA(Bitmap::rgba(3000, 2000));
    EXPECT_FALSE(decodePngToRGBA(png, &error));
    EXPECT_NE(error.find("3000 x 2000"), std::string::npos) << error;
    s.setInteger(kImagePixelLimitKey, 6);
    applyImagePixelLimitSetting(s);
    EXPECT_TRUE(centredSquareJpeg(photo, 90, nullptr, &error)) << error;
    EXPECT_TRUE(decodePngToRGBA(png, &error)) << error;
    s.removeObject(kImagePixelLimitKey);
    applyImagePixelLimitSetting(s);
    EXPECT_EQ(imagePixelLimit(), kDefaultImagePixelLimit);
}

}  // namespace
}  // namespace klik
