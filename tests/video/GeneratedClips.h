#pragma once
// Movies made by GStreamer for the tests: solid colours with a tone,
// encoded as fast as the machine allows (no live sources).

#include <cstdint>
#include <string>

#include "imaging/Bitmap.h"

namespace klik {
class CapturePipeline;
}

namespace klik::test {

// Waits (on a condition, not a clock) until the pipeline has delivered
// `frames` more preview frames.
void waitForFrames(CapturePipeline& p, std::uint64_t frames);

// The solid colours the composition tests tell their movies apart by.
constexpr std::uint32_t kBlue = 0xff0000ff, kRed = 0xffff0000, kGreen = 0xff00ff00;

struct ClipSpec {
    std::uint32_t argb = kBlue;  // solid colour of the picture
    double seconds = 3;
    int width = 160;
    int height = 120;
    int fps = 10;
    double toneHz = 0;  // 0: no sound track
};

// Writes a QuickTime movie (H.264, AAC when there is sound) to `path`;
// false with the reason.
bool makeClip(const std::string& path, const ClipSpec& spec, std::string* error = nullptr);

// Writes a QuickTime movie (H.264 at high quality, no sound) of a busy
// moving picture (videotestsrc's bouncing ball over colour bars with fine
// detail), so a frame's fidelity can be measured; false with the reason.
bool makeBusyClip(const std::string& path, double seconds, int width, int height, int fps,
                  std::string* error = nullptr);

// Peak signal-to-noise ratio over R, G and B of two pictures of one size, in
// dB; infinite when equal, -1 when the sizes differ.
double psnr(const Bitmap& a, const Bitmap& b);

// The mean colour of the centre 10 x 10 pixels.
struct Rgb {
    int r, g, b;
};
Rgb centreColour(const Bitmap& bm);
// True when `c` is within `tolerance` of (r, g, b) in every channel.
bool near(Rgb c, int r, int g, int b, int tolerance = 40);

// Root mean square of the movie's sound (mono, -1..1) between two times; -1
// when it has none or cannot be read.
double soundLevel(const std::string& path, double from, double to);

}  // namespace klik::test
