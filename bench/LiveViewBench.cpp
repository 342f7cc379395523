// The live-view path from a frame's bytes in the camera's 2 MiB buffer to a
// decoded image ready for the view, against a plain libjpeg-turbo decode of
// the same frame.

#include <benchmark/benchmark.h>

#include "camera/GLIMRA_Camera.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/sim/SimJpeg.h"

namespace {

klik::Data frame() {
    std::vector<std::uint8_t> scratch;
    return klik::SimJpeg::makeLiveViewFrame(1056, 704, 42, scratch);
}

void BM_LiveViewFrameToImage(benchmark::State& state) {
    klik::Data jpeg = frame();
    std::vector<std::uint8_t> buffer(klik::GLIMRA_Camera::liveViewStreamSize);
    std::copy(jpeg.begin(), jpeg.end(), buffer.begin());
    for (auto _ : state) {
        auto image = klik::QZNSImageFlipped::imageWithBytes(buffer.data(), jpeg.size());
        benchmark::DoNotOptimize(image);
    }
    state.counters["frame_bytes"] = static_cast<double>(jpeg.size());
    // Per frame the image owns the frame's JPEG plus its RGB pixels.
    state.counters["bytes_kept_per_frame"] = static_cast<double>(jpeg.size() + 1056 * 704 * 3);
}
BENCHMARK(BM_LiveViewFrameToImage)->Unit(benchmark::kMillisecond);

void BM_PlainJpegDecode(benchmark::State& state) {
    klik::Data jpeg = frame();
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    for (auto _ : state) {
        klik::decodeJpegRGB(jpeg.data(), jpeg.size(), rgb, w, h);
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(BM_PlainJpegDecode)->Unit(benchmark::kMillisecond);

}  // namespace
