#include "ui/scripted/ScriptedGuests.h"

#include "app/AppController.h"
#include "log/Log.h"
#include "ui/kiosk/QtApplicationPort.h"

namespace klik {

namespace {
using Clock = std::chrono::steady_clock;
// A guest looks at screen 1 this long before scanning.
constexpr double kGuestArrives = 1.5;
// A screen without a running timer this long waits for a person.
constexpr double kStuck = 20;
// A guest still on screen 1 this long after scanning was turned away (the
// kiosk refuses a turn without a camera) and leaves.
constexpr double kTurnedAway = 5;
// A whole turn never takes this long; the run ends as failed.
constexpr double kTurnLimit = 180;
// After the last turn, what follows it may take this long at most.
constexpr double kAfterLastTurn = 10;

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}
}  // namespace

ScriptedGuests::ScriptedGuests(AppController& app, QtApplicationPort& application, int guests,
                               Say say, std::function<void(int)> turnDone)
    : app_(app),
      application_(application),
      guests_(guests),
      say_(std::move(say)),
      turnDone_(std::move(turnDone)) {
    timer_.setInterval(100);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

void ScriptedGuests::start() {
    enteredAt_ = startedAt_ = Clock::now();
    screen_ = app_.screenNumber();
    timer_.start();
}

void ScriptedGuests::screenDidChange(std::uint32_t n) {
    if (finished_ || n == screen_) return;
    if (n == 7) sawReview_ = true;
    if (waitsForWebPage_ && n == 3 && screen_ == 1) {
        ++started_;
        say_("guest " + std::to_string(started_) + " started from the web page");
    }
    if (n == 1 && sawReview_) {
        sawReview_ = false;
        ++completed_;
        lastDoneAt_ = Clock::now();
        say_("guest " + std::to_string(completed_) + " is done");
        if (turnDone_) {
            // It may turn the loop (a video guest's clip is composed
            // meanwhile): the script waits for it rather than quitting or
            // starting the next guest inside it.
            inTurnDone_ = true;
            turnDone_(completed_);
            inTurnDone_ = false;
        }
    }
    screen_ = n;
    enteredAt_ = Clock::now();
}

void ScriptedGuests::tick() {
    if (finished_ || inTurnDone_) return;
    const std::uint32_t n = app_.screenNumber();
    if (!timeUp_ && timeLimit_ > 0 && since(startedAt_) >= timeLimit_) {
        timeUp_ = true;
        say_("time is up after " + std::to_string(started_) + " guests: no guest starts now");
    }
    if (completed_ >= guests_ || (timeUp_ && started_ == completed_)) {
        if (readyToFinish_ && !readyToFinish_() && since(lastDoneAt_) < kAfterLastTurn) return;
        finish(0);
        return;
    }
    if (since(startedAt_) > kTurnLimit * guests_) {
        say_("the scripted guests did not get through in time; see the log");
        finish(1);
        return;
    }
    if (!waitsForWebPage_ && n == 1 && started_ == completed_ &&
        since(enteredAt_) > kGuestArrives) {
        ++started_;
        char code[32];
        std::snprintf(code, sizeof code, "GUEST-%03d", started_);
        say_("guest " + std::to_string(started_) + " scans barcode " + code);
        app_._barcodeEntryField1.setStringValue(code);
        app_.ibBarcodeSendOnEnterAction(&app_._barcodeEntryField1);
        enteredAt_ = Clock::now();
        return;
    }
    if (n == 1 && started_ > completed_ && since(enteredAt_) > kTurnedAway) {
        ++completed_;
        say_("guest " + std::to_string(completed_) + " was turned away on screen 1");
        enteredAt_ = Clock::now();
        return;
    }
    const TimerPtr& t = app_.screenTimer();
    if (n != 1 && (!t || !t->isValid()) && since(enteredAt_) > kStuck) {
        if (n == 4) {
            say_("photographer presses take photo");
            app_.takePhotoFromKeyBoard();
        } else {
            say_("photographer starts over from screen " + std::to_string(n));
            app_.startOverFromKeyBoard();
        }
        enteredAt_ = Clock::now();
    }
}

void ScriptedGuests::finish(int exitCode) {
    finished_ = true;
    timer_.stop();
    application_.setExitCode(exitCode);
    application_.terminate();
}

}  // namespace klik
