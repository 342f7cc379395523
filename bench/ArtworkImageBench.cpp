// What a screen change costs the main thread for its artwork: one of the
// kiosk's full-screen pictures (touch1, 1920 x 1080 PNG) decoded from its
// file (decode) against taken from the artwork cache, which checks the
// file's status and hands back the pixels decoded the first time (cached);
// and a guest's turn through all screens, with what stays decoded.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QString>

#include <chrono>
#include <string>

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

// A guest's turn through the seven screens (each shows touchN and liveN,
// 1920 x 1080): what the main thread spends on the artwork of a screen
// change, and what stays decoded afterwards (kept_MiB, what the kiosk holds
// between guests). Arg 0: every picture kept (the cache as it was, bound
// 256 MiB); arg 1: the screens about to be shown only, the next screen
// decoded ahead on the cache's thread while the guest looks at this one
// (the wait for it is outside the timing, as a guest's time on a screen is).
void BM_GuestsScreenChanges(benchmark::State& state) {
    const bool ahead = state.range(0) != 0;
    klik::ArtworkImageCache cache(
        ahead ? klik::ArtworkImageCache::kDefaultByteLimit : std::size_t{256} << 20, ahead);
    auto screen = [&](int n) {
        for (const char* side : {"touch", "live"}) {
            const QImage image = cache.image(KLIK_SOURCE_DIR "/resources/" + std::string(side) +
                                             std::to_string(n) + ".png");
            if (image.isNull()) return false;
            benchmark::DoNotOptimize(image.constBits());
        }
        return true;
    };
    // One turn first, as the kiosk has had guests before.
    for (int n = 1; n <= 7; ++n) screen(n), cache.waitUntilDecodedAhead();
    int changes = 0;
    double seconds = 0;
    for (auto _ : state) {
        double iteration = 0;
        for (int n = 1; n <= 7; ++n) {
            const auto start = std::chrono::steady_clock::now();
            const bool ok = screen(n);
            iteration +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (!ok) {
                state.SkipWithError("the screens' artwork cannot be read");
                return;
            }
            ++changes;
            cache.waitUntilDecodedAhead();
        }
        state.SetIterationTime(iteration);
        seconds += iteration;
    }
    state.counters["kept_MiB"] = static_cast<double>(cache.bytes()) / (1 << 20);
    state.counters["us_per_screen_change"] = seconds / changes * 1e6;
    state.SetLabel(ahead ? "decoded ahead" : "all kept");
}
BENCHMARK(BM_GuestsScreenChanges)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime()
    ->Iterations(5);

}  // namespace
