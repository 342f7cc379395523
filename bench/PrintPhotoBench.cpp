// What the print costs the main thread before the printer sees anything: the
// camera photo (6000 x 4000) made ready for the print frame's window, decoded
// in full and cropped (full) against decoded only as far as the window needs
// and cropped (reduced). Both hand the frame a picture that covers its
// window; the frame is the kiosk's own print artwork.

#include <benchmark/benchmark.h>

#include "CameraJpeg.h"
#include "imaging/AlphaFrame.h"
#include "imaging/ImageCodec.h"
#include "imaging/PhotoDisplayDecode.h"
#include "photo/PrintComposite.h"

namespace {

using namespace klik;

const PrintCompositeLayout& printLayout() {
    static const PrintCompositeLayout layout =
        printCompositeLayout(resolveArtwork(ArtworkSource::named("BrandedPhotoFrameForPrint")));
    return layout;
}

void BM_PrintPhotoForTheWindow(benchmark::State& state) {
    const bool reduced = state.range(0) != 0;
    const Data& photo = noisyCameraJpeg();
    const PrintCompositeLayout& layout = printLayout();
    if (!layout.valid()) {
        state.SkipWithError("the print frame has no window");
        return;
    }
    const auto w = static_cast<int>(layout.photoRect.width);
    const auto h = static_cast<int>(layout.photoRect.height);
    for (auto _ : state) {
        Bitmap fitted;
        if (reduced) {
            auto decoded = decodePhotoToCover(photo, w, h);
            if (decoded) fitted = centredCropToShape(decoded->bitmap, w, h);
        } else {
            auto decoded = decodeImageToRGBA(photo);
            if (decoded) fitted = centredCropToShape(*decoded, w, h);
        }
        if (fitted.width < w || fitted.height < h) {
            state.SkipWithError("the photo no longer covers the window");
            return;
        }
        benchmark::DoNotOptimize(fitted.pixels.data());
    }
    state.SetLabel(reduced ? "reduced" : "full");
}
BENCHMARK(BM_PrintPhotoForTheWindow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
