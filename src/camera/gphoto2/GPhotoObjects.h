#pragma once
// The libgphoto2 backend's own objects behind references: cameras and the
// files they offer (counting, lists, streams and live-view images are the
// shared ones of CamSDKBase). A camera object owns its worker thread; every
// libgphoto2 call for it runs there. Fields marked "worker" are touched on
// that thread only; the rest are guarded by the SDK's lock.

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
#include "camera/sdk/CamSDKBase.h"

namespace klik {

// Besides its count, a camera carries the state every backend keeps of one
// (CamCameraState: connected, handlers) under the SDK's lock.
class GPCamera : public CamRef, public CamCameraState {
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
    CamMemoryStream* downloading = nullptr;  // the stream a transfer fills
    std::uint64_t downloadSize = 0;
    std::uint32_t lastPercent = 0;
    bool cancelled = false;
    float progressTarget = 0;  // of the library's own progress report
    bool capturing = false;
    std::chrono::steady_clock::time_point nextHeartbeat{};

    // under the SDK's lock
    bool open = false;
    std::string lastError;
    std::uint32_t evfOutputDevice = 0;
    std::uint32_t evfMode = 0;
    std::uint32_t saveTo = 1;
    std::chrono::steady_clock::time_point nextFrame{};
    // Choices of each choice widget as last read (for value texts).
    std::map<CamPropertyID, std::vector<std::string>> choices;
};

class GPItem : public CamRef {
  public:
    GPCamera* camera = nullptr;  // retained by the item
    std::string folder;
    std::string name;
    std::uint64_t size = 0;
};

}  // namespace klik
