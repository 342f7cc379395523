#pragma once
// Which capture devices feed the kiosk: a device delivering picture and
// sound first; else (none, or it did not open), among the other video
// devices, with two or more the first whose name is not "Built-in Camera"
// (any case), else the default one. A video device without sound gets the
// default sound device beside it; one with sound records its own.
//
// Pure apart from the log lines and the `open` callback; any thread.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace klik {

struct CaptureDevice {
    std::string displayName;
    std::string deviceClass;  // "Video/Source", "Audio/Source", or both
    bool hasVideo = false;
    bool hasAudio = false;
    bool isDefault = false;  // the system's default for its media
    std::string summary;     // formats, for the log
    std::size_t key = 0;     // the caller's index of the device
};

struct CaptureDeviceChoice {
    std::optional<CaptureDevice> video;  // nullopt: no usable picture source
    std::optional<CaptureDevice> audio;  // a separate sound device, when used
};

// Opens a device for capture; false with the reason in `error`.
using CaptureDeviceOpener = std::function<bool(const CaptureDevice&, std::string* error)>;

CaptureDeviceChoice chooseCaptureDevices(const std::vector<CaptureDevice>& devices,
                                         const CaptureDeviceOpener& open);

}  // namespace klik
