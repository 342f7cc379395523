#pragma once
// A KioskUi that records every call as a line ("orderFront touch",
// "beep", ...), for tests to check what reached the screen and in which
// order.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "app/KioskUi.h"
#include "app/View.h"

namespace klik::test {

class RecordingKioskUi : public KioskUi {
  public:
    void disableScreenUpdates() override {
        ++depth;
        record("disableScreenUpdates");
    }
    void enableScreenUpdates() override {
        --depth;
        record("enableScreenUpdates");
    }
    void orderFront(KioskWindow w) override {
        record(std::string("orderFront ") + kioskWindowName(w));
    }
    void makeKeyAndOrderFront(KioskWindow w) override {
        record(std::string("makeKeyAndOrderFront ") + kioskWindowName(w));
    }
    void orderOut(KioskWindow w) override { record(std::string("orderOut ") + kioskWindowName(w)); }
    void makeFirstResponder(KioskWindow w, View& v) override {
        record(std::string("makeFirstResponder ") + kioskWindowName(w) + " " + v.name());
    }
    void beep() override { record("beep"); }
    void playSound(const std::string& name) override { record("playSound " + name); }
    void screenDidChange(std::uint32_t n) override {
        screens.push_back(n);
        record("screen " + std::to_string(n));
    }
    int runAlert(const KioskAlert& a) override {
        record("alert " + a.messageText);
        if (alertAnswers.empty()) return 0;
        int r = alertAnswers.front();
        alertAnswers.pop_front();
        return r;
    }
    void showFloatingPanel(const std::string& text, double) override { record("panel " + text); }
    void fadeOutFloatingPanel(double) override { record("panel fade"); }
    bool openFile(const std::string& path) override {
        record("open " + path);
        return true;
    }
    void setCursorHidden(bool h) override { record(h ? "cursor hidden" : "cursor shown"); }
    void setMenuBarHidden(bool h) override { record(h ? "menubar hidden" : "menubar shown"); }
    int screenCount() const override { return attachedScreens; }
    Rect screenFrame(int) const override { return {0, 0, 1920, 1080}; }

    size_t count(const std::string& line) const {
        return static_cast<size_t>(std::count(calls.begin(), calls.end(), line));
    }
    void clear() {
        calls.clear();
        screens.clear();
    }

    std::vector<std::string> calls;
    std::vector<std::uint32_t> screens;
    std::deque<int> alertAnswers;
    int attachedScreens = 1;
    int depth = 0;  // open disableScreenUpdates calls
    int maxDepth = 0;

  private:
    void record(std::string s) {
        maxDepth = std::max(maxDepth, depth);
        calls.push_back(std::move(s));
    }
};

}  // namespace klik::test
