#pragma once
// How the simulated camera behaves: which cameras are plugged in at start,
// picture and live-view sizes, timings, and injected faults. Read from a
// property-list file (klikctl --sim FILE) or built in code by tests.
//
// File format (XML or binary property list, every key optional):
//   Cameras            array of dicts {Model, Port, SubType, Serial}
//   PictureWidth/Height  integers (default 6000 x 4000)
//   LiveViewWidth/Height integers (default 1056 x 704)
//   LiveViewFramesPerSecond real (default 30)
//   CaptureDelay       real seconds from the shutter to "picture ready" (0.25)
//   DownloadChunkSize  integer bytes per transfer step (default 1 MiB)
//   DownloadBytesPerSecond real, 0 = as fast as memory allows
//   Faults             dict: SDK call name -> {Error, Delay, Count, PropertyID}
//   VanishDuringDownloadAtPercent integer: the camera unplugs mid-transfer
//   SingleWorker       boolean: every camera call runs on one worker thread,
//                      as libgphoto2 demands (default false)
//   RawAlongside       string "raw-first" or "raw-second": each shot also
//                      makes a RAW file (IMG_nnnn.CR2), offered before or
//                      after its JPEG as a separate picture (default: none)

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

struct SimCameraSpec {
    std::string model = "Klik Sim Camera";
    std::string port = "usb:001,004";
    std::uint32_t subType = 1;  // 0: an older camera
    std::string serial = "0000000001";
    // The vendor controls the body has (kCamControl_* bits).
    std::uint32_t controls = 0x1F;
};

// One injected fault on one SDK call (by its name, e.g. "CamSendCommand").
struct SimFault {
    std::uint32_t error = 0;                  // 0: the call succeeds (after the delay)
    double delay = 0;                         // seconds the call takes before answering
    int count = -1;                           // how many calls it hits; -1: every call
    std::optional<std::uint32_t> propertyID;  // property calls: only this ID
};

struct SimConfig {
    std::vector<SimCameraSpec> cameras{SimCameraSpec{}};
    int pictureWidth = 6000;
    int pictureHeight = 4000;
    int liveViewWidth = 1056;
    int liveViewHeight = 704;
    double liveViewFramesPerSecond = 30;
    double captureDelay = 0.25;
    std::uint64_t downloadChunkSize = 1 << 20;
    double downloadBytesPerSecond = 0;
    std::map<std::string, SimFault> faults;
    std::optional<std::uint32_t> vanishDuringDownloadAtPercent;
    // Every call that talks to a camera runs on the SDK's one worker thread
    // (the event thread); a caller on another thread waits for it, a call
    // from the worker itself (inside a handler) runs at once.
    bool singleWorker = false;
    // A RAW file beside each shot's JPEG: none, before it or after it.
    enum class Raw { None, First, Second };
    Raw rawAlongside = Raw::None;

    // Reads the file; on failure returns false with the reason in `error`
    // and leaves `out` unchanged. Any thread.
    static bool fromFile(const std::string& path, SimConfig& out, std::string& error);
    // The same from an already parsed property list.
    static bool fromValue(const Value& plist, SimConfig& out, std::string& error);
};

}  // namespace klik
