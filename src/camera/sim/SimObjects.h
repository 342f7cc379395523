#pragma once
// The objects behind the simulated SDK's references. Each carries its own
// reference count; SimCamSDK keeps the set of live ones so a stale or
// foreign reference is refused instead of followed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/sdk/CamSDK.h"
#include "foundation/Value.h"

namespace klik {

class SimCamera;

class SimRef : public CamObject {
  public:
    std::uint32_t refs = 1;
};

class SimCameraRef : public SimRef {
  public:
    std::shared_ptr<SimCamera> camera;
};

class SimCameraListRef : public SimRef {
  public:
    std::vector<SimCameraRef*> children;  // each retained by the list
};

class SimItemRef : public SimRef {
  public:
    std::shared_ptr<SimCamera> camera;
    std::string name;
    Data bytes;
    std::uint64_t serial = 0;  // the SDK's picture serial (SimCamSDK::DeliveredPicture)
    bool transferred = false;
};

class SimStreamRef : public SimRef {
  public:
    std::uint8_t* buffer = nullptr;
    std::uint64_t capacity = 0;
    std::uint64_t length = 0;
    CamProgressCallback progress = nullptr;
    void* progressContext = nullptr;
};

class SimEvfImageRef : public SimRef {
  public:
    SimStreamRef* stream = nullptr;  // retained by the image reference
};

}  // namespace klik
