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
#include <set>
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
    // Widgets read one by one since the whole tree was read, by name:
    // newer than their copies in `config`.
    std::map<std::string, CameraWidget*> single;
    // Widgets the camera's events named since they were last read, and
    // whether one named none (then the whole tree is read once).
    std::set<std::string> changedWidgets;
    bool changedUnnamed = false;
    // Choice lists as last announced (value texts use `choices`).
    std::map<CamPropertyID, std::vector<std::string>> announcedChoices;
    // Live view: when the host switched it on, and since when the camera
    // has answered "not ready" without a frame between.
    std::chrono::steady_clock::time_point evfOnAt{}, notReadySince{};
    bool halfPressed = false;
    // The camera has made two files of one shot before (RAW beside JPEG).
    bool makesPairs = false;
    // The last shot's photo, by name without extension, and when it came:
    // its RAW arriving late is not a photo of its own.
    std::string lastShotStem;
    std::chrono::steady_clock::time_point lastShotAt{};
    bool lastShotPaired = false;
    std::uint32_t shots = 0;

    // under the SDK's lock
    bool open = false;
    std::string lastError;
    std::uint32_t evfOutputDevice = 0;
    std::uint32_t evfMode = 0;
    std::uint32_t saveTo = 1;
    std::uint32_t controls = 0;  // kCamControl_* the camera's widgets offer
    std::uint32_t evfZoom = 1;
    std::int32_t evfZoomPosition[2] = {0, 0};
    std::uint64_t hostFreeBytes = 0;  // as the host last reported it
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
    std::uint32_t group = 0;    // the shot it came from (1, 2, ...)
    GPItem* sibling = nullptr;  // the shot's other file, retained by this one
};

}  // namespace klik
