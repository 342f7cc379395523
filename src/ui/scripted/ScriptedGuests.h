#pragma once
// Plays scripted guests through the kiosk as real ones would: on screen 1
// a guest scans a barcode, then the countdowns, the shot, the review and
// the print run by themselves; a photographer steps in only where the
// kiosk waits for one. After the last guest the kiosk is asked to quit.
//
// GUI thread only. Everything given is borrowed.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace klik {

class AppController;
class QtApplicationPort;

class ScriptedGuests : public QObject {
    using Clock = std::chrono::steady_clock;

  public:
    using Say = std::function<void(const std::string&)>;
    // `turnDone` is called after each completed turn (back on screen 1).
    ScriptedGuests(AppController& app, QtApplicationPort& application, int guests, Say say,
                   std::function<void(int guest)> turnDone);

    // Starts playing; the kiosk must be on screen 1 or get there.
    void start();
    // Web mode: nobody scans on screen 1; each turn is started by the kiosk
    // web page (whatever submits its form), and the script only waits.
    void setWaitsForWebPage(bool wait) { waitsForWebPage_ = wait; }
    // Asked after the last turn: the run ends once it holds (at most 10 s
    // later), so what follows a turn (the web page's done page) is seen.
    void setReadyToFinish(std::function<bool()> ready) { readyToFinish_ = std::move(ready); }
    // The kiosk entered screen `n` (from the screen observer, so no change
    // is missed however fast screens follow each other).
    void screenDidChange(std::uint32_t n);
    // No guest starts after `seconds` from start(): the turn under way
    // ends, then the run does, as after the last guest (0: no limit).
    void setTimeLimit(double seconds) { timeLimit_ = seconds; }
    // Completed turns so far.
    int completed() const { return completed_; }

  private:
    void tick();
    void finish(int exitCode);

    AppController& app_;
    QtApplicationPort& application_;
    const int guests_;
    Say say_;
    std::function<void(int)> turnDone_;
    QTimer timer_;
    int started_ = 0;
    int completed_ = 0;
    std::uint32_t screen_ = 0;
    bool sawReview_ = false;
    bool finished_ = false;
    bool inTurnDone_ = false;
    bool waitsForWebPage_ = false;
    double timeLimit_ = 0;
    bool timeUp_ = false;
    std::function<bool()> readyToFinish_;
    Clock::time_point lastDoneAt_;
    std::chrono::steady_clock::time_point enteredAt_, startedAt_;
};

}  // namespace klik
