// What a screen change costs the main thread for its artwork: one of the
// kiosk's full-screen pictures (touch1, 1920 x 1080 PNG) decoded from its
// file (decode) against taken from the artwork cache, which checks the
// file's status and hands back the pixels decoded the first time (cached).

#include <benchmark/benchmark.h>

#include <QImage>
#include <QString>

#include "ui/windows/ArtworkImageCache.h"

namespace {

const std::string kArtwork = KLIK_SOURCE_DIR "/resources/touch1.png";

void BM_ScreenArtwork(benchmark::State& state) {
    const bool cached = state.range(0) != 0;
    klik::ArtworkImageCache cache;
    for (auto _ : state) {
        const QImage image =
            cached ? cache.image(kArtwork) : QImage(QString::fromStdString(kArtwork));
        if (image.isNull()) {
            state.SkipWithError("touch1.png cannot be read");
            return;
        }
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(cached ? "cached" : "decode");
}
BENCHMARK(BM_ScreenArtwork)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
