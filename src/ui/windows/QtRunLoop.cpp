#include "ui/windows/QtRunLoop.h"

#include <QMetaObject>
#include <cmath>
#include <future>

namespace klik {

QtRunLoop::QtRunLoop() : origin_(std::chrono::steady_clock::now()) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { turn(); });
}

QtRunLoop::~QtRunLoop() {
    timer_.stop();
}

void QtRunLoop::performOnMain(std::function<void()> fn, bool wait) {
    if (wait && isMainThread()) {
        fn();
        return;
    }
    if (!wait) {
        QueuedRunLoop::performOnMain(std::move(fn), false);
        requestTurn();
        return;
    }
    // Queue without the base class's own wait (it would block before Qt
    // has been asked for a turn), then wait here.
    auto done = std::make_shared<std::promise<void>>();
    auto future = done->get_future();
    QueuedRunLoop::performOnMain(
        [f = std::move(fn), done] {
            f();
            done->set_value();
        },
        false);
    requestTurn();
    future.wait();
}

TimerPtr QtRunLoop::scheduleTimer(double interval, bool repeats, Timer::Action action,
                                  Dictionary userInfo) {
    TimerPtr t =
        QueuedRunLoop::scheduleTimer(interval, repeats, std::move(action), std::move(userInfo));
    armTimer();
    return t;
}

Date QtRunLoop::now() const {
    return std::chrono::system_clock::now();
}

double QtRunLoop::clockNow() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin_).count();
}

void QtRunLoop::requestTurn() {
    if (turnRequested_.exchange(true)) return;
    QMetaObject::invokeMethod(
        &context_, [this] { turn(); }, Qt::QueuedConnection);
}

void QtRunLoop::turn() {
    turnRequested_.store(false);
    // A perform or timer action may run a modal dialog (a nested event loop)
    // and not return for a long time. Ask for another turn first, so the
    // nested loop serves the work that is due meanwhile; when the actions
    // return quickly, armTimer() below replaces this request.
    timer_.start(0);
    drainPerforms();
    fireDueTimers();
    drainPerforms();
    armTimer();
}

void QtRunLoop::armTimer() {
    const double next = nextFireTime();
    if (next < 0) {
        timer_.stop();
        return;
    }
    const double wait = next - clockNow();
    // Round up: firing a little early would only find nothing due.
    const int ms = wait <= 0 ? 0 : static_cast<int>(std::min(std::ceil(wait * 1000.0), 2.0e9));
    timer_.start(ms);
}

}  // namespace klik
