#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/sim/SimJpeg.h"

namespace klik {

namespace {

// The picture as the simulated camera has always drawn it, pixel by pixel:
// a gradient whose hue follows the shot, the shot number in white 3 x 5
// cells in the middle. The camera's drawing is faster; its pixels must not
// change (tests and soaks tell shots apart by them).
std::vector<std::uint8_t> referencePixels(int width, int height, unsigned shot) {
    static const std::uint8_t glyphs[10][5] = {
        {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
        {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};
    const std::string digits = std::to_string(shot);
    const int scale = std::max(1, height / 12);
    const int left = (width - (static_cast<int>(digits.size()) * 4 * scale - scale)) / 2;
    const int top = (height - 5 * scale) / 2;
    const int phase = static_cast<int>((shot * 67u) % 256u);
    std::vector<std::uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
            bool white = false;
            if (y >= top && y < top + 5 * scale && x >= left) {
                const int cx = (x - left) / scale, cy = (y - top) / scale;
                const size_t d = static_cast<size_t>(cx / 4);
                white = d < digits.size() && cx % 4 != 3 &&
                        ((glyphs[digits[d] - '0'][cy] >> (2 - cx % 4)) & 1);
            }
            if (white) {
                p[0] = p[1] = p[2] = 255;
                continue;
            }
            const int g = (x * 255 / width + y * 255 / height) / 2;
            p[0] = static_cast<std::uint8_t>((g + phase) % 256);
            p[1] = static_cast<std::uint8_t>((255 - g + phase / 2) % 256);
            p[2] = static_cast<std::uint8_t>((y * 255 / height + 2 * phase) % 256);
        }
    }
    return rgb;
}

}  // namespace

TEST(SimJpegPicture, IsTheGradientAndShotNumberByteForByte) {
    SimExif exif;
    exif.make = "Klik Simulated Cameras";
    exif.model = "Sim One";
    exif.dateTime = "2026:03:05 14:30:00";
    exif.imageUniqueId = "KLIKSIM00000042";
    struct Case {
        int width, height;
        unsigned shot;
    } cases[] = {
        {320, 240, 7},       // one digit
        {333, 217, 1234},    // odd sizes, several digits
        {40, 240, 98765},    // the number wider than the picture on both sides
        {17, 5, 3},          // cells of one pixel
        {640, 480, 4000000}  // every glyph row and many digits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " shot " +
                     std::to_string(c.shot));
        const std::vector<std::uint8_t> rgb = referencePixels(c.width, c.height, c.shot);
        Data expected = SimJpeg::encodeRGB(rgb.data(), c.width, c.height, 90);
        ASSERT_FALSE(expected.empty());
        ASSERT_TRUE(SimJpeg::addExif(expected, exif));
        const Data made = SimJpeg::makePicture(c.width, c.height, c.shot, exif);
        EXPECT_EQ(made.size(), expected.size());
        EXPECT_TRUE(made == expected);
    }
    // Two shots never give the same picture, even with the same EXIF.
    EXPECT_NE(SimJpeg::makePicture(320, 240, 1, exif), SimJpeg::makePicture(320, 240, 2, exif));
}

}  // namespace klik
