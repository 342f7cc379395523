#pragma once
// The console kiosk of `klikctl spine`: a KioskUi that draws nothing and
// prints what would reach the screen, one line each, stamped with the loop's
// time. Window ordering is printed only when verbose.
//
// Main thread only; the stream is borrowed.

#include <functional>
#include <ostream>
#include <string>

#include "app/KioskUi.h"

namespace klik {

class ConsoleKioskUi : public KioskUi {
  public:
    // `clock` gives the seconds printed in front of each line.
    ConsoleKioskUi(std::ostream& out, std::function<double()> clock, bool verbose = false);

    // Text printed after "screen N"; none when not set.
    void setScreenDescriber(std::function<std::string(std::uint32_t)> describe) {
        describe_ = std::move(describe);
    }
    // Prints one stamped line.
    void say(const std::string& text);

    void disableScreenUpdates() override {}
    void enableScreenUpdates() override {}
    void orderFront(KioskWindow w) override;
    void makeKeyAndOrderFront(KioskWindow w) override;
    void orderOut(KioskWindow w) override;
    void makeFirstResponder(KioskWindow, View&) override {}
    void beep() override;
    void playSound(const std::string& name) override;
    void screenDidChange(std::uint32_t screenNumber) override;
    // Prints the alert and answers with its first button.
    int runAlert(const KioskAlert& alert) override;
    void showFloatingPanel(const std::string& text, double alpha) override;
    void fadeOutFloatingPanel(double seconds) override;
    void setCursorHidden(bool hidden) override;
    void setMenuBarHidden(bool hidden) override;
    int screenCount() const override { return 1; }
    Rect screenFrame(int) const override { return {0, 0, 1920, 1080}; }

  private:
    std::ostream& out_;
    std::function<double()> clock_;
    bool verbose_;
    std::function<std::string(std::uint32_t)> describe_;
};

}  // namespace klik
