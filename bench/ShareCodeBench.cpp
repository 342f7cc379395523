// What the guest's QR code costs the review screen: the touch side as the
// kiosk draws screen 7 (its 1920 x 1080 artwork in the touch view's widget)
// shown and painted once without the code, and once with the code of a
// gallery link and the booth's Wi-Fi code (the codes made and placed, the
// side painted with them). The kiosk's screen change pays the difference.
// Runs with the offscreen platform unless QT_QPA_PLATFORM names another.

#include <benchmark/benchmark.h>

#include "QtBenchApplication.h"

#include <QImage>
#include <QWidget>

#include "app/Picture.h"
#include "app/ShareCodeView.h"
#include "app/View.h"
#include "foundation/Settings.h"
#include "ui/windows/ShareCodeWidget.h"
#include "ui/windows/ViewWidget.h"

namespace {

void BM_ReviewScreenTouchSide(benchmark::State& state) {
    klik::bench::qtBenchApplication();
    const bool withCode = state.range(0) != 0;
    const QImage art(QStringLiteral(KLIK_SOURCE_DIR "/resources/touch7.png"));
    if (art.isNull()) {
        state.SkipWithError("touch7.png cannot be read");
        return;
    }
    klik::View touch("touchView");
    klik::ViewWidget side(touch, klik::ViewWidget::Kind::Image);
    touch.setChangeHandler([&side](const klik::View&) { side.sync(); });
    side.resize(1920, 1080);
    side.show();
    klik::Settings settings("/nonexistent/klik-bench/settings.plist");
    klik::ShareCodeView model;
    klik::ShareCodeWidget code(model, settings, &side);
    const QImage rgba = art.convertToFormat(QImage::Format_RGBA8888);
    const klik::PicturePtr picture = klik::Picture::fromRGBA(
        "touch7", klik::Data(rgba.constBits(), rgba.constBits() + rgba.sizeInBytes()), rgba.width(),
        rgba.height());
    QImage target(1920, 1080, QImage::Format_RGB32);
    int n = 0;
    for (auto _ : state) {
        // A screen change: the screen's picture, then the code (or none),
        // then the side painted as it will be shown.
        touch.setImage(picture);
        if (withCode)
            model.show("http://192.168.4.1:8080/p/Az09-_AAAAAAAAAAAA" + std::to_string(n++ % 10000),
                       klik::wifiJoinCode("Klik Booth", "photo-booth"));
        side.render(&target);
        benchmark::DoNotOptimize(target.constBits());
        state.PauseTiming();
        model.hide();
        touch.setImage(nullptr);
        state.ResumeTiming();
    }
    state.SetLabel(withCode ? "with the QR codes" : "without a code");
}
BENCHMARK(BM_ReviewScreenTouchSide)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
