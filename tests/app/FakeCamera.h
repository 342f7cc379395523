#pragma once
// A still camera for tests: connected or not, counts shots and live-view
// switches.

#include "app/CameraPort.h"

namespace klik::test {

class FakeCamera : public CameraPort {
  public:
    bool hasCamera() const override { return connected; }
    void takePicture() override { ++shots; }
    void liveViewOn() override {
        ++liveViewOns;
        liveViewRunning = true;
    }
    void liveViewOff() override {
        ++liveViewOffs;
        liveViewRunning = false;
    }

    bool connected = true;
    int shots = 0;
    int liveViewOns = 0;
    int liveViewOffs = 0;
    bool liveViewRunning = false;
};

}  // namespace klik::test
