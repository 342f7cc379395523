#pragma once
// The capture devices GStreamer's device monitor sees ("Video/Source",
// "Audio/Source"), and the choice among them.
//
// Any thread; blocks while the monitor probes.

#include <string>
#include <vector>

#include "video/DeviceChoice.h"
#include "video/DeviceOpen.h"

typedef struct _GstDevice GstDevice;

namespace klik {

class DeviceList {
  public:
    DeviceList() = default;
    ~DeviceList();
    DeviceList(DeviceList&& other) noexcept;
    DeviceList& operator=(DeviceList&& other) noexcept;
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    // Probes the devices now.
    static DeviceList probe();
    // The list of `devices` as the monitor would give them (each referenced;
    // the caller keeps its own references).
    static DeviceList fromDevices(const std::vector<GstDevice*>& devices);

    const std::vector<CaptureDevice>& devices() const { return devices_; }
    // The GStreamer device behind `d` (owned by the list).
    GstDevice* gstDevice(const CaptureDevice& d) const;

    // The choice, each candidate opened for real (openCaptureDevice): a
    // busy, missing or stalled device leads to the next choice.
    CaptureDeviceChoice choose(double openTimeoutSeconds = kDeviceOpenTimeoutSeconds) const;

  private:
    void add(GstDevice* device);  // takes a reference of its own

    std::vector<CaptureDevice> devices_;
    std::vector<GstDevice*> handles_;
};

}  // namespace klik
