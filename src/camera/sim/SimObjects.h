#pragma once
// The simulated SDK's own objects behind references: a camera's reference
// and a picture offered to the host. Counting, lists, streams and live-view
// images are the shared ones of CamSDKBase.

#include <cstdint>
#include <memory>
#include <string>

#include "camera/sdk/CamSDKBase.h"
#include "foundation/Value.h"

namespace klik {

class SimCamera;

class SimCameraRef : public CamRef {
  public:
    std::shared_ptr<SimCamera> camera;
};

class SimItemRef : public CamRef {
  public:
    std::shared_ptr<SimCamera> camera;
    std::string name;
    Data bytes;
    std::uint64_t serial = 0;  // the SDK's picture serial (SimCamSDK::DeliveredPicture)
    bool transferred = false;
};

}  // namespace klik
