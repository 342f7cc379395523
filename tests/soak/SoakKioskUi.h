#pragma once
// The kiosk's screens during a soak: counts what reached them, keeps only
// the last texts, so memory stays flat over thousands of guests.

#include <cstdint>
#include <map>
#include <string>

#include "app/KioskUi.h"
#include "app/View.h"

namespace klik::soak {

class SoakKioskUi : public KioskUi {
  public:
    void disableScreenUpdates() override {}
    void enableScreenUpdates() override {}
    void orderFront(KioskWindow) override {}
    void makeKeyAndOrderFront(KioskWindow) override {}
    void orderOut(KioskWindow) override {}
    void makeFirstResponder(KioskWindow, View&) override {}
    void beep() override {}
    void playSound(const std::string&) override {}
    void screenDidChange(std::uint32_t) override {}
    // Alerts are answered with their first button; counted by title.
    int runAlert(const KioskAlert& a) override {
        ++alerts[a.messageText];
        return 0;
    }
    void showFloatingPanel(const std::string& text, double) override {
        ++panels;
        lastPanel = text;
    }
    void fadeOutFloatingPanel(double) override {}
    void setCursorHidden(bool) override {}
    void setMenuBarHidden(bool) override {}
    int screenCount() const override { return 1; }
    Rect screenFrame(int) const override { return {0, 0, 1920, 1080}; }

    std::map<std::string, std::uint64_t> alerts;
    std::uint64_t panels = 0;
    std::string lastPanel;
};

}  // namespace klik::soak
