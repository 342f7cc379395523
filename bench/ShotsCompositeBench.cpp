// The print picture of a four-shot turn and the turn's animated GIF, each
// against the same job done by ImageMagick's convert on the same files:
// the kiosk's composite (the four filed squares laid into the print frame
// drawn for four shots, encoded at quality 90) against convert's
// resize-crop-composite of the same squares under the same frame; the
// kiosk's GIF (libimagequant and giflib) of a loop's frames against
// convert's GIF of the same frames. Sizes are reported as counters. Skips
// where convert is missing.

#include <benchmark/benchmark.h>

#include "QtBenchApplication.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/PropertyList.h"
#include "foundation/Resources.h"
#include "imaging/AlphaFrame.h"
#include "imaging/ImageCodec.h"
#include "photo/PrintComposite.h"
#include "photo/PrintFlow.h"
#include "ui/print/QtPrintPort.h"
#include "video/GuestLoop.h"

namespace {

using namespace klik;

const std::string& workDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/klik-shots-bench-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
}

bool haveConvert() {
    return std::system("convert -version > /dev/null 2>&1") == 0 &&
           std::system("convert -version 2>/dev/null | grep -q ImageMagick") == 0;
}

// Four filed squares (2000 x 2000, camera-like noise over a colour each).
const std::vector<std::string>& shotFiles() {
    static const std::vector<std::string> files = [] {
        std::vector<std::string> out;
        const int colours[4][3] = {{200, 60, 60}, {60, 180, 60}, {60, 60, 200}, {200, 200, 60}};
        std::uint32_t seed = 11;
        for (int i = 0; i < 4; ++i) {
            Bitmap bm = Bitmap::rgba(2000, 2000, colours[i][0], colours[i][1], colours[i][2]);
            for (auto& byte : bm.pixels) {
                seed = seed * 1664525u + 1013904223u;
                byte =
                    static_cast<std::uint8_t>(std::min(255, byte + static_cast<int>(seed >> 28)));
            }
            for (int y = 0; y < bm.height; ++y)
                for (int x = 0; x < bm.width; ++x) bm.pixel(x, y)[3] = 255;
            const auto jpeg = encodeJpegFromRGBA(bm, 90);
            out.push_back(workDir() + "/shot" + std::to_string(i + 1) + ".jpg");
            writeFileAtomically(std::string(jpeg->begin(), jpeg->end()), out.back());
        }
        return out;
    }();
    return files;
}

std::string frameFile() {
    return resourcePath("BrandedPhotoFrameForPrint4.png");
}

double fileSize(const std::string& path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? 0.0 : static_cast<double>(n);
}

void BM_FourShotCompositeAgainstConvert(benchmark::State& state) {
    const bool kiosk = state.range(0) == 0;
    const std::vector<std::string>& shots = shotFiles();
    const std::string out = workDir() + (kiosk ? "/kiosk.jpg" : "/convert.jpg");
    std::string command;
    if (!kiosk) {
        if (!haveConvert()) {
            state.SkipWithError("ImageMagick's convert is not installed");
            return;
        }
        // Each square resized to cover its window (widened under the frame
        // as the kiosk does), cropped to it, placed, the frame over all.
        const Bitmap frame = resolveArtwork(ArtworkSource::named(frameFile()));
        const std::vector<AlphaFrame> windows = frameWindows(frame, false, 10);
        command = "convert -size " + std::to_string(frame.width) + "x" +
                  std::to_string(frame.height) + " xc:white";
        for (size_t i = 0; i < windows.size() && i < shots.size(); ++i) {
            const PixelRect r = topLeftRect(widenedUnderFrame(windows[i]), frame.height);
            const std::string size = std::to_string(static_cast<int>(r.width)) + "x" +
                                     std::to_string(static_cast<int>(r.height));
            command += " \\( " + shots[i] + " -resize " + size + "^ -gravity center -extent " +
                       size + " \\) -gravity NorthWest -geometry +" +
                       std::to_string(static_cast<int>(r.x)) + "+" +
                       std::to_string(static_cast<int>(r.y)) + " -composite";
        }
        command += " " + frameFile() + " -composite -quality 90 " + out;
    }
    klik::bench::qtBenchApplication();
    Settings settings(workDir() + "/settings.plist");
    QtPrintPort port;
    PrintFlow flow(settings, port, {}, workDir() + "/frame.png");
    std::filesystem::copy_file(frameFile(), workDir() + "/frame4.png",
                               std::filesystem::copy_options::overwrite_existing);
    for (auto _ : state) {
        if (kiosk) {
            std::vector<Data> bytes;
            for (const std::string& s : shots) bytes.push_back(*readFileData(s));
            std::string why;
            const Bitmap composite = flow.composeShots(bytes, &why);
            const auto jpeg = encodeJpegFromRGBA(composite, 90);
            if (composite.empty() || !jpeg) {
                state.SkipWithError(("no composite: " + why).c_str());
                return;
            }
            writeFileAtomically(std::string(jpeg->begin(), jpeg->end()), out);
        } else if (std::system(command.c_str()) != 0) {
            state.SkipWithError("convert failed");
            return;
        }
    }
    state.counters["bytes"] = fileSize(out);
    state.SetLabel(kiosk ? "kiosk" : "convert");
}
BENCHMARK(BM_FourShotCompositeAgainstConvert)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// A loop's frames: 24 live-view-like pictures (480 x 480) of a moving block
// over noise, played forward and back.
const std::vector<Bitmap>& loopFrames() {
    static const std::vector<Bitmap> frames = [] {
        std::vector<Bitmap> out;
        std::uint32_t seed = 5;
        for (int k = 0; k < 24; ++k) {
            Bitmap bm = Bitmap::rgba(480, 480, 90, 110, 140);
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 480; ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    std::uint8_t* p = bm.pixel(x, y);
                    p[0] = static_cast<std::uint8_t>(p[0] + (seed >> 29) + x / 8);
                    p[1] = static_cast<std::uint8_t>(p[1] + (seed >> 30) + y / 8);
                    if (x >= 100 + 10 * k && x < 160 + 10 * k && y > 200 && y < 260)
                        p[0] = 230, p[1] = 20, p[2] = 20;
                }
            out.push_back(std::move(bm));
        }
        return pingPong(std::move(out));
    }();
    return frames;
}

void BM_LoopGifAgainstConvert(benchmark::State& state) {
    const bool kiosk = state.range(0) == 0;
    const std::vector<Bitmap>& frames = loopFrames();
    const std::string out = workDir() + (kiosk ? "/kiosk.gif" : "/convert.gif");
    std::string command;
    if (!kiosk) {
        if (!haveConvert()) {
            state.SkipWithError("ImageMagick's convert is not installed");
            return;
        }
        command = "convert -delay 8 -loop 0";
        for (size_t i = 0; i < frames.size(); ++i) {
            const std::string png = workDir() + "/loop" + std::to_string(1000 + i) + ".png";
            const auto bytes = encodePngFromRGBA(frames[i]);
            writeFileAtomically(std::string(bytes->begin(), bytes->end()), png);
            command += " " + png;
        }
        command += " " + out;
    }
    LoopOptions options;
    options.size = 480;
    for (auto _ : state) {
        std::string why;
        if (kiosk ? !writeLoopGif(frames, out, options, &why) : std::system(command.c_str()) != 0) {
            state.SkipWithError(("no GIF: " + why).c_str());
            return;
        }
    }
    state.counters["bytes"] = fileSize(out);
    state.counters["frames"] = static_cast<double>(frames.size());
    state.SetLabel(kiosk ? "kiosk" : "convert");
}
BENCHMARK(BM_LoopGifAgainstConvert)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
