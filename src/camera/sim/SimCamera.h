#pragma once
// The state of one simulated camera body: what it reports about itself, its
// properties with their allowed values, its session and (CamCameraState)
// whether it is connected and its event handlers. Owned by SimCamSDK and
// guarded by the SDK's lock.

#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "camera/sdk/CamSDKBase.h"
#include "camera/sim/SimConfig.h"

namespace klik {

class SimCameraRef;

struct SimProperty {
    CamDataType type = kCamDataType_UInt32;
    std::vector<std::uint8_t> bytes;
    std::vector<std::int32_t> allowed;  // empty: any value
    bool writable = true;
};

class SimCamera : public CamCameraState {
  public:
    SimCamera(int id, SimCameraSpec spec);

    // Reads and writes of the raw values the SDK keeps as 4-byte numbers.
    std::uint32_t u32(CamPropertyID id) const;
    void setU32(CamPropertyID id, std::uint32_t v);
    // The camera clock as a time record (host local time plus the skew).
    CamTime clockNow() const;
    // Sets the skew so the camera clock shows `t` now; false when `t` is no
    // valid date.
    bool setClock(const CamTime& t);
    // The allowed values of Av and Tv follow the exposure mode as a camera's
    // dials do; returns the IDs whose list changed.
    std::vector<CamPropertyID> applyAEMode(std::uint32_t mode);

    const int id;
    const SimCameraSpec spec;
    SimCameraRef* ref = nullptr;  // the SDK's own reference while connected
    bool sessionOpen = false;
    bool uiLocked = false;
    unsigned shotNumber = 0;
    unsigned frameNumber = 0;
    // Every thread that has asked this body for a live-view frame: a host
    // with one frame loop asks from one thread only.
    std::set<std::thread::id> liveViewCallers;
    std::chrono::steady_clock::time_point nextFrameDue{};
    double clockSkewSeconds = 0;
    std::map<CamPropertyID, SimProperty> properties;
};

}  // namespace klik
