// The live-view path from a frame's bytes in the camera's 2 MiB buffer to a
// decoded image ready for the view (the frame loop's decoder, kept from frame
// to frame), against a plain libjpeg-turbo decode of
// the same frame. "alloc_bytes_per_frame" / "allocs_per_frame" count every
// heap request made while frames are turned into images, in steady state
// (after one warm-up frame).

#include <benchmark/benchmark.h>

#include <algorithm>

#include "AllocationCounter.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/LiveViewDecoder.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/sim/SimJpeg.h"

namespace {

klik::Data frame() {
    std::vector<std::uint8_t> scratch;
    return klik::SimJpeg::makeLiveViewFrame(1056, 704, 42, scratch);
}

void reportAllocations(benchmark::State& state, klik::bench::AllocationCount count) {
    if (!count.available) return;
    const double frames =
        static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.counters["alloc_bytes_per_frame"] = static_cast<double>(count.bytes) / frames;
    state.counters["allocs_per_frame"] = static_cast<double>(count.calls) / frames;
}

void BM_LiveViewFrameToImage(benchmark::State& state) {
    klik::Data jpeg = frame();
    std::vector<std::uint8_t> buffer(klik::GLIMRA_Camera::liveViewStreamSize);
    std::copy(jpeg.begin(), jpeg.end(), buffer.begin());
    // The camera's frame loop keeps one decoder for its whole run.
    klik::LiveViewDecoder decoder;
    benchmark::DoNotOptimize(decoder.decode(buffer.data(), jpeg.size()));
    klik::bench::startCountingAllocations();
    for (auto _ : state) {
        auto image = decoder.decode(buffer.data(), jpeg.size());
        if (!image) state.SkipWithError("the frame did not decode");
        benchmark::DoNotOptimize(image);
    }
    reportAllocations(state, klik::bench::stopCountingAllocations());
    state.counters["frame_bytes"] = static_cast<double>(jpeg.size());
}
BENCHMARK(BM_LiveViewFrameToImage)->Unit(benchmark::kMillisecond);

void BM_PlainJpegDecode(benchmark::State& state) {
    klik::Data jpeg = frame();
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    klik::decodeJpegRGB(jpeg.data(), jpeg.size(), rgb, w, h);
    klik::bench::startCountingAllocations();
    for (auto _ : state) {
        if (!klik::decodeJpegRGB(jpeg.data(), jpeg.size(), rgb, w, h))
            state.SkipWithError("the frame did not decode");
        benchmark::DoNotOptimize(rgb.data());
    }
    reportAllocations(state, klik::bench::stopCountingAllocations());
}
BENCHMARK(BM_PlainJpegDecode)->Unit(benchmark::kMillisecond);

}  // namespace
