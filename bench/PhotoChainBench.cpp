// The photo filing chain on a 6000 x 4000 camera JPEG, against
//  (a) one plain decode of the full picture plus one quality-90 encode of
//      the 4000 x 4000 square, and
//  (b) a chain that decodes and re-encodes at each of its three steps
//      (square, tag, upload copy).
// Peak memory: after the timed runs each benchmark runs its work once more
// in a child process; "peak_MiB" is that child's peak resident size and
// "peak_extra_MiB" how far the one run raised it.

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "CameraJpeg.h"
#include "ChildPeakMemory.h"
#include "foundation/FixedPaths.h"
#include "foundation/Settings.h"
#include "imaging/ImageCodec.h"
#include "photo/DBusFilingHost.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "photo/ImageFolders.h"
#include "photo/PhotoFiler.h"

namespace klik {
namespace {

void reportPeakMemory(benchmark::State& state, const std::function<bool()>& oneRun) {
    const auto peak = bench::peakMemoryOfOneRun(oneRun);
    if (!peak) {
        state.SkipWithError("the run in the peak-memory child failed");
        return;
    }
    state.counters["peak_MiB"] = peak->peakMiB;
    state.counters["peak_extra_MiB"] = peak->extraMiB;
}

Bitmap cropRGBA(const Bitmap& src, int x0, int side) {
    Bitmap out = Bitmap::rgba(side, side);
    for (int y = 0; y < side; ++y)
        std::memcpy(out.pixel(0, y), src.pixel(x0, y), static_cast<size_t>(side) * 4);
    return out;
}

void BM_FilingChain(benchmark::State& state) {
    const Data& jpeg = noisyCameraJpeg();
    char tmpl[] = "/tmp/klik-bench-XXXXXX";
    const std::string root = ::mkdtemp(tmpl);
    setFixedRoot(root);
    ::mkdir((root + "/tmp").c_str(), 0755);
    ::mkdir((root + "/KlikKioskMainImagesFolder").c_str(), 0755);
    ::mkdir((root + "/KlikKioskUploadFolder").c_str(), 0755);
    Settings settings(root + "/settings.plist");
    initFolderGlobalsAtLaunch(settings);
    DBusFilingHost host;
    PhotoFiler filer(settings, host, [] { return std::optional<std::string>("001122334455"); });
    PhotoSession session;
    session.barcodeValue = "bench";
    session.emails = {"guest@example.com"};
    auto fileOnce = [&] {
        auto r = filer.postProcessNewPhoto(jpeg, "IMG_0001.JPG", session);
        ::unlink(r.filedPath.c_str());
        ::unlink(r.uploadPath.c_str());
        return r.uploadWritten;
    };
    for (auto _ : state) {
        if (!fileOnce()) state.SkipWithError("chain did not file the photo");
    }
    reportPeakMemory(state, fileOnce);
    setFixedRoot("");
    std::system(("rm -rf '" + root + "'").c_str());
}
BENCHMARK(BM_FilingChain)->Unit(benchmark::kMillisecond);

void BM_BaselineDecodeEncode(benchmark::State& state) {
    const Data& jpeg = noisyCameraJpeg();
    auto once = [&] {
        Bitmap full = *decodeJpegToRGBA(jpeg);
        Bitmap sq = cropRGBA(full, 1000, 4000);
        full = Bitmap{};
        auto encoded = encodeJpegFromRGBA(sq, 90);
        benchmark::DoNotOptimize(encoded);
        return encoded.has_value();
    };
    for (auto _ : state) once();
    reportPeakMemory(state, once);
}
BENCHMARK(BM_BaselineDecodeEncode)->Unit(benchmark::kMillisecond);

void BM_ReencodeAtEveryStep(benchmark::State& state) {
    const Data& jpeg = noisyCameraJpeg();
    const Value payload(Dictionary{{"VZ_kioskStation", Value("S")}});
    auto once = [&] {
        Bitmap full = *decodeJpegToRGBA(jpeg);
        Bitmap sq = cropRGBA(full, 1000, 4000);
        full = Bitmap{};
        Data square = *encodeJpegFromRGBA(sq, 90);
        Data tagged = *encodeJpegFromRGBA(*decodeJpegToRGBA(square), 90);
        tagged = *GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(payload, tagged);
        Data upload = *encodeJpegFromRGBA(*decodeJpegToRGBA(tagged), 90);
        benchmark::DoNotOptimize(upload);
        return !upload.empty();
    };
    for (auto _ : state) once();
    reportPeakMemory(state, once);
}
BENCHMARK(BM_ReencodeAtEveryStep)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace klik
