#pragma once
// The camera port where there is no camera: nothing is connected, every
// call does nothing and no event ever comes. The controller holds one until
// a real port is given, so "no camera" means one thing.
//
// Any thread; nothing blocks.

#include "app/CameraPort.h"

namespace klik {

class NoCameraPort final : public CameraPort {
  public:
    void setListener(CameraPortListener*) override {}
    bool hasCamera() const override { return false; }
    std::optional<CameraEntry> currentCamera() const override { return std::nullopt; }
    std::optional<std::vector<CameraEntry>> cameras() const override { return std::nullopt; }
    void chooseCamera(const CameraEntry&) override {}
    void unloadCurrentCamera() override {}
    void takePicture() override {}
    void pressShutterFull() override {}
    void pressShutterHalf() override {}
    void releaseShutter() override {}
    void liveViewOn() override {}
    void liveViewOff() override {}
    void liveViewZoom(std::uint32_t) override {}
    void liveViewFocus(std::uint32_t) override {}
    void refreshPropertyValues(const std::vector<std::uint32_t>&) override {}
    void setProperty(std::uint32_t, const std::string&, WriteDone) override {}
    void setClock(Date) override {}
    std::string propertyName(std::uint32_t) const override { return {}; }
    std::string propertyText(std::uint32_t, std::uint32_t) const override { return {}; }
};

}  // namespace klik
