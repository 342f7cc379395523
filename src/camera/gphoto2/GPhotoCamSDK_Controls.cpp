// The libgphoto2 backend: the controls a body offers through its vendor
// widgets (half-press, autofocus, live-view zoom, manual focus drive), and
// where its pictures go (the capture target).

#include <gphoto2/gphoto2-result.h>
#include <gphoto2/gphoto2-widget.h>

#include <cstdlib>
#include <cstring>

#include "camera/gphoto2/GPhotoCamSDK.h"
#include "camera/gphoto2/GPhotoErrors.h"
#include "log/Log.h"
#include "log/StringUtils.h"

namespace klik {

CameraWidget* GPhotoCamSDK::namedWidget(GPCamera* cam, const char* name) {
    CameraWidget* w = nullptr;
    if (!cam->config || gp_widget_get_child_by_name(cam->config, name, &w) < GP_OK) return nullptr;
    return w;
}

void GPhotoCamSDK::updateControls(GPCamera* cam) {
    std::uint32_t controls = 0;
    if (namedWidget(cam, "eosremoterelease")) controls |= kCamControl_HalfPress;
    if (namedWidget(cam, "autofocusdrive")) controls |= kCamControl_Autofocus;
    if (namedWidget(cam, "eoszoom")) controls |= kCamControl_EvfZoom;
    if (namedWidget(cam, "eoszoomposition") || namedWidget(cam, "changeafarea"))
        controls |= kCamControl_EvfZoomPosition;
    if (namedWidget(cam, "manualfocusdrive")) controls |= kCamControl_ManualFocusDrive;
    std::lock_guard l(mutex_);
    cam->controls = controls;
}

CamError GPhotoCamSDK::CamGetControls(CamCameraRef camera, std::uint32_t* outControls) {
    if (!outControls) return CAM_ERR_INVALID_POINTER;
    std::lock_guard l(mutex_);
    auto* cam = lookup<GPCamera>(camera);
    if (!cam) return CAM_ERR_INVALID_HANDLE;
    if (!cam->connected) return CAM_ERR_DEVICE_NOT_FOUND;
    if (!cam->open) return CAM_ERR_SESSION_NOT_OPEN;
    *outControls = cam->controls;
    return CAM_ERR_OK;
}

CamError GPhotoCamSDK::setWidget(GPCamera* cam, const char* name, const std::string& text) {
    CameraWidget* w = namedWidget(cam, name);
    if (!w) return CAM_ERR_NOT_SUPPORTED;
    CameraWidgetType type;
    if (gp_widget_get_type(w, &type) < GP_OK) return CAM_ERR_INTERNAL_ERROR;
    int r;
    if (type == GP_WIDGET_TOGGLE) {
        const int v = std::atoi(text.c_str());
        r = gp_widget_set_value(w, &v);
    } else if (type == GP_WIDGET_RANGE) {
        const float v = static_cast<float>(std::atof(text.c_str()));
        r = gp_widget_set_value(w, &v);
    } else {
        r = gp_widget_set_value(w, text.c_str());
    }
    if (r < GP_OK) return failed(cam, "gp_widget_set_value", r);
    r = gp_camera_set_single_config(cam->camera, name, w, cam->context);
    if (r < GP_OK) return failed(cam, "gp_camera_set_single_config", r);
    return CAM_ERR_OK;
}

namespace {

// The choice of a radio widget whose text is one of `words`, else the one
// at `index` (libgphoto2 lists its own choices in a fixed order, whatever
// language it speaks).
std::string choiceNamed(CameraWidget* w, std::initializer_list<const char*> words, int index) {
    const int n = gp_widget_count_choices(w);
    for (int i = 0; i < n; ++i) {
        const char* c = nullptr;
        if (gp_widget_get_choice(w, i, &c) < GP_OK || !c) continue;
        for (const char* word : words)
            if (asciiLowercased(c) == asciiLowercased(word)) return c;
    }
    const char* c = nullptr;
    if (index < n && gp_widget_get_choice(w, index, &c) >= GP_OK && c) return c;
    return {};
}

}  // namespace

// Half-way down focuses where the body has a remote release of its own;
// elsewhere the camera focuses as it fires and half-way does nothing.
CamError GPhotoCamSDK::halfPress(GPCamera* cam, std::int32_t param) {
    if (!cam->camera) return CAM_ERR_SESSION_NOT_OPEN;
    CameraWidget* w = namedWidget(cam, "eosremoterelease");
    const auto p = static_cast<std::uint32_t>(param);
    if (!w || p == kCamShutterButton_Halfway_NonAF) return CAM_ERR_OK;
    if (p == kCamShutterButton_Halfway) {
        const std::string press = choiceNamed(w, {"Press Half"}, 1);
        if (CamError e = setWidget(cam, "eosremoterelease", press)) return e;
        cam->halfPressed = true;
        return CAM_ERR_OK;
    }
    if (!cam->halfPressed) return CAM_ERR_OK;
    cam->halfPressed = false;
    return setWidget(cam, "eosremoterelease", choiceNamed(w, {"Release Half"}, 3));
}

// Autofocus in live view: on (non-zero) drives it, off cancels it.
CamError GPhotoCamSDK::evfAf(GPCamera* cam, std::int32_t param) {
    if (!cam->camera) return CAM_ERR_SESSION_NOT_OPEN;
    if (!namedWidget(cam, "autofocusdrive")) return CAM_ERR_NOT_SUPPORTED;
    if (param != 0) return setWidget(cam, "autofocusdrive", "1");
    if (!namedWidget(cam, "cancelautofocus")) return CAM_ERR_OK;
    return setWidget(cam, "cancelautofocus", "1");
}

// The lens driven towards near or far by a small, middle or large step:
// Canon's three steps, or a count of Nikon's motor steps.
CamError GPhotoCamSDK::driveLens(GPCamera* cam, std::int32_t param) {
    if (!cam->camera) return CAM_ERR_SESSION_NOT_OPEN;
    const auto p = static_cast<std::uint32_t>(param);
    const bool far = p & 0x8000;
    const std::uint32_t step = p & 0x7FFF;
    if (step < 1 || step > 3 || (p & ~0x8003u)) return CAM_ERR_INVALID_PARAMETER;
    CameraWidget* w = namedWidget(cam, "manualfocusdrive");
    if (!w) return CAM_ERR_NOT_SUPPORTED;
    CameraWidgetType type;
    if (gp_widget_get_type(w, &type) < GP_OK) return CAM_ERR_INTERNAL_ERROR;
    if (type == GP_WIDGET_RANGE) {
        static const int kSteps[] = {0, 50, 200, 800};
        return setWidget(cam, "manualfocusdrive",
                         std::to_string(far ? kSteps[step] : -kSteps[step]));
    }
    const std::string word = std::string(far ? "Far " : "Near ") + std::to_string(step);
    const int index = far ? 3 + static_cast<int>(step) : static_cast<int>(step) - 1;
    std::string choice = choiceNamed(w, {word.c_str()}, index);
    if (choice.empty()) return CAM_ERR_NOT_SUPPORTED;
    return setWidget(cam, "manualfocusdrive", choice);
}

// A body with a capture target keeps its pictures in its internal memory
// while the host takes them, and on its card otherwise. The library keeps
// the last choice in ~/.gphoto/settings, so a card target left there
// would fill the card if nobody said otherwise.
CamError GPhotoCamSDK::applyCaptureTarget(GPCamera* cam) {
    CameraWidget* w = namedWidget(cam, "capturetarget");
    if (!w || !cam->camera) return CAM_ERR_OK;
    std::uint32_t saveTo;
    {
        std::lock_guard l(mutex_);
        saveTo = cam->saveTo;
    }
    const bool internal = (saveTo & kCamSaveTo_Host) && !(saveTo & kCamSaveTo_Camera);
    const std::string want = internal ? choiceNamed(w, {"Internal RAM", "sdram"}, 0)
                                      : choiceNamed(w, {"Memory card", "card"}, 1);
    if (want.empty()) return CAM_ERR_NOT_SUPPORTED;
    const char* now = nullptr;
    if (gp_widget_get_value(w, &now) >= GP_OK && now && want == now) return CAM_ERR_OK;
    GLIMRA_Log::debugf("libgphoto2: capture target of %s: %s", cam->model.c_str(), want.c_str());
    return setWidget(cam, "capturetarget", want);
}

// The host's room for the pictures: kept, and the capture target made to
// match where the pictures go.
CamError GPhotoCamSDK::CamSetCapacity(CamCameraRef camera, CamCapacity capacity) {
    CamError err;
    GPCamera* cam = usableCamera(camera, err);
    if (!cam) return err;
    if (capacity.bytesPerSector <= 0 || capacity.numberOfFreeClusters < 0)
        return CAM_ERR_INVALID_PARAMETER;
    {
        std::lock_guard l(mutex_);
        if (!cam->open) return CAM_ERR_SESSION_NOT_OPEN;
        cam->hostFreeBytes = static_cast<std::uint64_t>(capacity.numberOfFreeClusters) *
                             static_cast<std::uint64_t>(capacity.bytesPerSector);
    }
    CamError result = CAM_ERR_OK;
    if (!cam->worker->run([&] { result = applyCaptureTarget(cam); })) return CAM_ERR_INTERNAL_ERROR;
    return result;
}

}  // namespace klik
