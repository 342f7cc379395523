#pragma once
// A still camera for tests: connected or not, counts shots and live-view
// switches, and keeps their order.

#include <string>
#include <vector>

#include "app/CameraPort.h"

namespace klik::test {

class FakeCamera : public CameraPort {
  public:
    bool hasCamera() const override { return connected; }
    void takePicture() override {
        ++shots;
        events.push_back(liveViewRunning ? "shot during live view" : "shot");
    }
    void liveViewOn() override {
        ++liveViewOns;
        liveViewRunning = true;
        events.push_back("live view on");
    }
    void liveViewOff() override {
        ++liveViewOffs;
        liveViewRunning = false;
        events.push_back("live view off");
    }

    bool connected = true;
    int shots = 0;
    int liveViewOns = 0;
    int liveViewOffs = 0;
    bool liveViewRunning = false;
    // Shots and switches in the order they came.
    std::vector<std::string> events;
};

}  // namespace klik::test
