#include "ptpip/SimPictureSource.h"

#include <algorithm>

#include "camera/sim/SimJpeg.h"

namespace klik::ptp {

namespace {

// 3 x 5 glyphs of the digits, one row per 3 bits (most significant left).
constexpr std::uint8_t kGlyphs[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

// The simulated camera's look (a gradient whose hue follows the shot, the
// shot number large in the middle) with sensor-like grain on top, so a
// photo weighs what a camera's does: some 2.5 bits a pixel at quality 90
// (24 MP: about 7.5 MB), where a smooth gradient shrinks to a twentieth.
Bytes renderPhoto(int width, int height, unsigned shot) {
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    std::vector<std::uint8_t> rgb(w * h * 3);
    const std::string digits = std::to_string(shot);
    const int scale = std::max(1, height / 12);
    const int left = (width - (static_cast<int>(digits.size()) * 4 - 1) * scale) / 2;
    const int top = (height - 5 * scale) / 2;
    const int phase = static_cast<int>((shot * 67u) % 256u);
    std::uint32_t seed = 0x9E3779B9u ^ shot;
    auto grain = [&] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return static_cast<int>(seed & 31) - 16;
    };
    auto clamp8 = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = rgb.data() + static_cast<std::size_t>(y) * w * 3;
        const bool numberRow = y >= top && y < top + 5 * scale;
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = row + std::ptrdiff_t{3} * x;
            if (numberRow && x >= left) {
                const int cx = (x - left) / scale, cy = (y - top) / scale;
                const std::size_t digit = static_cast<std::size_t>(cx / 4);
                if (digit < digits.size() && cx % 4 != 3 &&
                    ((kGlyphs[digits[digit] - '0'][cy] >> (2 - cx % 4)) & 1)) {
                    p[0] = p[1] = p[2] = static_cast<std::uint8_t>(247 + grain());
                    continue;
                }
            }
            const int g = (x * 255 / width + y * 255 / height) / 2;
            p[0] = clamp8((g + phase) % 256 + grain());
            p[1] = clamp8((255 - g + phase / 2) % 256 + grain());
            p[2] = clamp8((y * 255 / height + 2 * phase) % 256 + grain());
        }
    }
    return SimJpeg::encodeRGB(rgb.data(), width, height, 90);
}

SimExif exifFor(const CameraIdentity& id, const ShotSettings& s) {
    SimExif e;
    e.make = id.manufacturer;
    e.model = id.model;
    e.dateTime = s.exifDateTime;
    e.exposureNumerator = s.exposureNumerator;
    e.exposureDenominator = s.exposureDenominator;
    e.fNumberTenths = s.fNumberTenths;
    e.iso = s.iso;
    return e;
}
}  // namespace

SimPictureSource::~SimPictureSource() {
    std::lock_guard lock(nextMutex_);
    if (next_.valid()) next_.wait();
}

void SimPictureSource::prepare(int width, int height, unsigned shot) {
    std::lock_guard lock(nextMutex_);
    if (next_.valid()) next_.wait();
    nextWidth_ = width;
    nextHeight_ = height;
    nextShot_ = shot;
    next_ = std::async(std::launch::async,
                       [width, height, shot] { return renderPhoto(width, height, shot); });
}

Bytes SimPictureSource::photo(int width, int height, const ShotSettings& s) {
    Bytes jpeg;
    {
        std::lock_guard lock(nextMutex_);
        if (next_.valid() && nextShot_ == s.shotNumber && nextWidth_ == width &&
            nextHeight_ == height)
            jpeg = next_.get();
    }
    if (jpeg.empty()) jpeg = renderPhoto(width, height, s.shotNumber);
    // The next shot is drawn while the host fetches this one, as a camera's
    // sensor is ready again before its card has finished writing.
    prepare(width, height, s.shotNumber + 1);
    if (jpeg.empty() || !SimJpeg::addExif(jpeg, exifFor(identity_, s))) return {};
    return jpeg;
}

Bytes SimPictureSource::thumbnail(const ShotSettings& s, int& width, int& height) {
    width = 160;
    height = 120;
    return SimJpeg::makePicture(width, height, s.shotNumber, exifFor(identity_, s));
}

Bytes SimPictureSource::liveFrame(int width, int height, unsigned frame) {
    std::lock_guard lock(liveMutex_);
    return SimJpeg::makeLiveViewFrame(width, height, frame, liveScratch_);
}

}  // namespace klik::ptp
