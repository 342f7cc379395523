#pragma once
// The objects behind the libgphoto2 backend's references. A camera object
// owns its worker thread; every libgphoto2 call for it runs there. Fields
// marked "worker" are touched on that thread only; the rest are guarded by
// the SDK's lock.

#include <gphoto2/gphoto2-abilities-list.h>
#include <gphoto2/gphoto2-camera.h>
#include <gphoto2/gphoto2-context.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camera/gphoto2/GPhotoWorker.h"
#include "camera/sdk/CamSDK.h"

namespace klik {

class GPRef : public CamObject {
  public:
    std::uint32_t refs = 1;
};

class GPStream;

class GPCamera : public GPRef {
  public:
    std::string model;
    std::string port;
    CameraAbilities abilities{};
    bool haveAbilities = false;
    std::unique_ptr<GPhotoWorker> worker;

    // worker
    Camera* camera = nullptr;
    GPContext* context = nullptr;
    CameraWidget* config = nullptr;
    std::map<CamPropertyID, std::string> lastText;  // last announced value texts
    CameraFile* previewFile = nullptr;
    GPStream* downloading = nullptr;  // the stream a transfer fills
    std::uint64_t downloadSize = 0;
    std::uint32_t lastPercent = 0;
    bool cancelled = false;
    float progressTarget = 0;  // of the library's own progress report
    bool capturing = false;
    std::chrono::steady_clock::time_point nextHeartbeat{};

    // under the SDK's lock
    bool connected = true;
    bool open = false;
    std::string lastError;
    std::uint32_t evfOutputDevice = 0;
    std::uint32_t evfMode = 0;
    std::uint32_t saveTo = 1;
    std::chrono::steady_clock::time_point nextFrame{};
    CamStateEventHandler stateHandler = nullptr;
    void* stateContext = nullptr;
    CamPropertyEventHandler propertyHandler = nullptr;
    void* propertyContext = nullptr;
    CamObjectEventHandler objectHandler = nullptr;
    void* objectContext = nullptr;
    // Choices of each choice widget as last read (for value texts).
    std::map<CamPropertyID, std::vector<std::string>> choices;
};

class GPCameraList : public GPRef {
  public:
    std::vector<GPCamera*> children;  // each retained by the list
};

class GPItem : public GPRef {
  public:
    GPCamera* camera = nullptr;  // retained by the item
    std::string folder;
    std::string name;
    std::uint64_t size = 0;
};

class GPStream : public GPRef {
  public:
    std::uint8_t* buffer = nullptr;
    std::uint64_t capacity = 0;
    std::uint64_t length = 0;
    CamProgressCallback progress = nullptr;
    void* progressContext = nullptr;
};

class GPEvfImage : public GPRef {
  public:
    GPStream* stream = nullptr;  // retained by the image
};

}  // namespace klik
