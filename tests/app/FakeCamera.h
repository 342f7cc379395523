#pragma once
// A still camera for tests: connected or not, counts shots and live-view
// switches and keeps their order, and speaks to the controller (the
// listener) when a test says so. Writes are accepted.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/CameraPort.h"
#include "app/PhotoPipelinePort.h"

namespace klik::test {

class FakeCamera : public CameraPort {
  public:
    void setListener(CameraPortListener* l) override { listener = l; }
    bool hasCamera() const override { return connected; }
    bool isOpeningCamera() const override { return !connected && opening; }
    std::optional<CameraEntry> currentCamera() const override {
        if (!connected) return std::nullopt;
        return current;
    }
    std::optional<std::vector<CameraEntry>> cameras() const override { return std::nullopt; }
    void chooseCamera(const CameraEntry&) override {}
    void unloadCurrentCamera() override {}
    std::uint32_t controls() const override { return controlsMask; }
    void takePicture() override {
        ++shots;
        events.push_back(liveViewRunning ? "shot during live view" : "shot");
    }
    void pressShutterFull() override { events.push_back("shutter full"); }
    void pressShutterHalf() override { events.push_back("shutter half"); }
    void releaseShutter() override { events.push_back("shutter off"); }
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
    void liveViewZoom(std::uint32_t) override { events.push_back("zoom"); }
    void liveViewFocus(std::uint32_t) override { events.push_back("focus"); }
    void refreshPropertyValues(const std::vector<std::uint32_t>&) override {}
    void setProperty(std::uint32_t, const std::string&, WriteDone done) override {
        if (done) done(true, [] {});
    }
    void setClock(Date) override {}
    std::string propertyName(std::uint32_t tag) const override {
        return "property " + std::to_string(tag);
    }
    std::string propertyText(std::uint32_t tag, std::uint32_t raw) const override {
        auto it = texts.find({tag, raw});
        return it != texts.end() ? it->second : std::to_string(raw);
    }

    // The photo as the camera delivers it (kPhotoDataKey, kPhotoFilenameKey);
    // nothing without a listener.
    void deliverPhoto(Data bytes, const std::string& name) {
        deliverPhoto(
            Dictionary{{kPhotoDataKey, Value(std::move(bytes))}, {kPhotoFilenameKey, Value(name)}});
    }
    // The live view stops without being asked to, as a camera's may.
    void endLiveViewByItself() {
        liveViewRunning = false;
        events.push_back("live view ended by itself");
        if (listener) listener->cameraLiveViewEnded(current);
    }
    void deliverPhoto(const Dictionary& photo) {
        if (listener) listener->cameraPhotoArrived(photo);
    }

    CameraPortListener* listener = nullptr;
    bool connected = true;
    bool opening = false;
    std::uint32_t controlsMask =
        camcontrol::All;  // not connected yet, but a camera is being opened
    CameraEntry current{1, "Fake Camera"};
    int shots = 0;
    int liveViewOns = 0;
    int liveViewOffs = 0;
    bool liveViewRunning = false;
    // Display texts of raw values by (tag, raw); others show the number.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> texts;
    // Shots and switches in the order they came.
    std::vector<std::string> events;
};

}  // namespace klik::test
