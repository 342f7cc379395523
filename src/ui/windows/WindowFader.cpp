#include "ui/windows/WindowFader.h"

#include <chrono>

#include "foundation/RunLoop.h"
#include "log/Log.h"

namespace klik {

namespace {
constexpr double kStepSeconds = 0.05;
constexpr double kStepAlpha = 0.1;
double secondsNow(const RunLoop& loop) {
    return std::chrono::duration<double>(loop.now().time_since_epoch()).count();
}
}  // namespace

WindowFader::WindowFader(QWidget& window, RunLoop& loop) : window_(&window), loop_(loop) {}

WindowFader::~WindowFader() {
    stop();
}

void WindowFader::fadeAway(double seconds) {
    if (seconds <= 0) return;
    stop();
    const double endTime = secondsNow(loop_) + seconds;
    timer_ = loop_.scheduleTimer(kStepSeconds, true,
                                 [this, endTime](Timer& t) { fadeAwayCallback(t, endTime); });
}

void WindowFader::stop() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void WindowFader::fadeAwayCallback(Timer& t, double endTime) {
    if (!window_) {
        t.invalidate();
        return;
    }
    const double a = window_->windowOpacity() - kStepAlpha;
    if (shouldCancel_ && shouldCancel_()) {
        t.invalidate();
        return;
    }
    // Opacity is kept in steps of 1/255; round so ten steps always end it.
    if (a > 1e-3 && secondsNow(loop_) < endTime) {
        window_->setWindowOpacity(a);
        return;
    }
    t.invalidate();
    window_->close();
}

}  // namespace klik
