// The libgphoto2 backend: properties through the cached configuration tree
// and the mapping table; the live-view output device emulated.

#include <gphoto2/gphoto2-result.h>
#include <gphoto2/gphoto2-widget.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "camera/gphoto2/GPhotoCamSDK.h"
#include "camera/gphoto2/GPhotoErrors.h"
#include "camera/gphoto2/GPhotoPropertyMap.h"
#include "foundation/LocalTime.h"
#include "log/Log.h"

namespace klik {

namespace {

std::vector<std::string> choicesOf(CameraWidget* w) {
    std::vector<std::string> out;
    CameraWidgetType type;
    if (gp_widget_get_type(w, &type) < GP_OK) return out;
    if (type != GP_WIDGET_RADIO && type != GP_WIDGET_MENU) return out;
    const int n = gp_widget_count_choices(w);
    for (int i = 0; i < n; ++i) {
        const char* c = nullptr;
        if (gp_widget_get_choice(w, i, &c) >= GP_OK && c) out.push_back(c);
    }
    return out;
}

// The widget's value as a text ("" when it has none).
std::string textOf(CameraWidget* w) {
    CameraWidgetType type;
    if (gp_widget_get_type(w, &type) < GP_OK) return {};
    char buf[64];
    switch (type) {
        case GP_WIDGET_TEXT:
        case GP_WIDGET_RADIO:
        case GP_WIDGET_MENU: {
            const char* v = nullptr;
            if (gp_widget_get_value(w, &v) < GP_OK || !v) return {};
            return v;
        }
        case GP_WIDGET_RANGE: {
            float f = 0;
            if (gp_widget_get_value(w, &f) < GP_OK) return {};
            std::snprintf(buf, sizeof buf, "%g", static_cast<double>(f));
            return buf;
        }
        case GP_WIDGET_TOGGLE:
        case GP_WIDGET_DATE: {
            int i = 0;
            if (gp_widget_get_value(w, &i) < GP_OK) return {};
            return std::to_string(i);
        }
        default:
            return {};
    }
}

// PTP's date text "YYYYMMDDThhmmss" (anything after the seconds ignored).
bool readPtpDate(const std::string& text, std::tm& tm) {
    int y, mo, d, h, mi, sec;
    if (std::sscanf(text.c_str(), "%4d%2d%2dT%2d%2d%2d", &y, &mo, &d, &h, &mi, &sec) != 6)
        return false;
    tm = std::tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = sec;
    return true;
}

void putU32(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
    bytes.resize(4);
    std::memcpy(bytes.data(), &v, 4);
}

}  // namespace

int GPhotoCamSDK::refreshConfig(GPCamera* cam) {
    if (!cam->camera) return GP_ERROR_IO;
    CameraWidget* fresh = nullptr;
    const int r = gp_camera_get_config(cam->camera, &fresh, cam->context);
    if (r < GP_OK) return r;
    if (cam->config) gp_widget_free(cam->config);
    cam->config = fresh;
    std::map<CamPropertyID, std::vector<std::string>> choices;
    for (const auto& row : GPhotoPropertyMap::all())
        if (row.kind == GPhotoValueKind::Choice)
            if (CameraWidget* w = widgetFor(cam, row.id)) choices[row.id] = choicesOf(w);
    std::lock_guard l(mutex_);
    cam->choices = std::move(choices);
    return r;
}

CameraWidget* GPhotoCamSDK::widgetFor(GPCamera* cam, CamPropertyID id, std::string* name) {
    const GPhotoProperty* row = GPhotoPropertyMap::find(id);
    if (!row || !cam->config) return nullptr;
    for (const char* n : row->widgets) {
        CameraWidget* w = nullptr;
        if (gp_widget_get_child_by_name(cam->config, n, &w) >= GP_OK && w) {
            if (name) *name = n;
            return w;
        }
    }
    return nullptr;
}

std::string GPhotoCamSDK::valueText(GPCamera* cam, CamPropertyID id) {
    CameraWidget* w = widgetFor(cam, id);
    return w ? textOf(w) : std::string();
}

// After the camera reported a change: each mapped property whose value or
// list of choices differs from what was last announced is announced.
void GPhotoCamSDK::announceChangedProperties(GPCamera* cam) {
    std::map<CamPropertyID, std::vector<std::string>> choices;
    {
        std::lock_guard l(mutex_);
        choices = cam->choices;
    }
    for (const auto& row : GPhotoPropertyMap::all()) {
        if (!widgetFor(cam, row.id)) continue;
        const std::string now = valueText(cam, row.id);
        auto it = cam->lastText.find(row.id);
        if (it != cam->lastText.end() && it->second != now)
            raisePropertyEvent(*cam, kCamPropertyEvent_PropertyChanged, row.id);
        cam->lastText[row.id] = now;
    }
    (void)choices;
}

CamError GPhotoCamSDK::readProperty(GPCamera* cam, CamPropertyID id, CamDataType& type,
                                    std::vector<std::uint8_t>& bytes) {
    {
        std::lock_guard l(mutex_);
        if (id == kCamPropID_Evf_OutputDevice || id == kCamPropID_Evf_Mode ||
            id == kCamPropID_SaveTo) {
            type = kCamDataType_UInt32;
            putU32(bytes, id == kCamPropID_Evf_OutputDevice ? cam->evfOutputDevice
                          : id == kCamPropID_Evf_Mode       ? cam->evfMode
                                                            : cam->saveTo);
            return CAM_ERR_OK;
        }
    }
    const GPhotoProperty* row = GPhotoPropertyMap::find(id);
    if (!cam->config) refreshConfig(cam);
    CameraWidget* w = widgetFor(cam, id);
    if (!row || !w) return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
    const std::string text = textOf(w);
    cam->lastText[id] = text;
    switch (row->kind) {
        case GPhotoValueKind::Choice: {
            const auto code = GPhotoPropertyMap::codeFor(*row, text, choicesOf(w));
            if (!code) return CAM_ERR_PROPERTIES_UNAVAILABLE;
            type = kCamDataType_UInt32;
            putU32(bytes, *code);
            return CAM_ERR_OK;
        }
        case GPhotoValueKind::Number: {
            char* end = nullptr;
            const double v = std::strtod(text.c_str(), &end);
            // A number the property cannot hold (negative, too large, not
            // finite) is refused like text that is no number at all: the
            // conversion to an unsigned value would be undefined.
            if (end == text.c_str() || !std::isfinite(v) || v < 0 || v > 4294967295.0)
                return CAM_ERR_PROPERTIES_UNAVAILABLE;
            type = kCamDataType_UInt32;
            putU32(bytes, static_cast<std::uint32_t>(std::llround(v)));
            return CAM_ERR_OK;
        }
        case GPhotoValueKind::Text:
            type = kCamDataType_String;
            bytes.assign(text.begin(), text.end());
            bytes.push_back(0);
            return CAM_ERR_OK;
        case GPhotoValueKind::Date: {
            CameraWidgetType wt;
            int seconds = 0;
            std::tm tm{};
            if (gp_widget_get_type(w, &wt) < GP_OK) return CAM_ERR_PROPERTIES_UNAVAILABLE;
            if (wt == GP_WIDGET_DATE && gp_widget_get_value(w, &seconds) >= GP_OK) {
                const std::time_t t = seconds;
                localTimeOf(t, tm);
            } else if (wt != GP_WIDGET_TEXT || !readPtpDate(text, tm)) {
                // A generic camera's clock is PTP's "YYYYMMDDThhmmss" text.
                return CAM_ERR_PROPERTIES_UNAVAILABLE;
            }
            CamTime ct{static_cast<std::uint32_t>(tm.tm_year + 1900),
                       static_cast<std::uint32_t>(tm.tm_mon + 1),
                       static_cast<std::uint32_t>(tm.tm_mday),
                       static_cast<std::uint32_t>(tm.tm_hour),
                       static_cast<std::uint32_t>(tm.tm_min),
                       static_cast<std::uint32_t>(tm.tm_sec),
                       0};
            type = kCamDataType_Time;
            bytes.resize(sizeof ct);
            std::memcpy(bytes.data(), &ct, sizeof ct);
            return CAM_ERR_OK;
        }
    }
    return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
}

CamError GPhotoCamSDK::writeProperty(GPCamera* cam, CamPropertyID id, const std::uint8_t* data,
                                     std::uint32_t size) {
    if (id == kCamPropID_Evf_OutputDevice || id == kCamPropID_Evf_Mode || id == kCamPropID_SaveTo) {
        if (size != 4) return CAM_ERR_INVALID_LENGTH;
        std::uint32_t v;
        std::memcpy(&v, data, 4);
        bool stopPreview = false;
        {
            std::lock_guard l(mutex_);
            std::uint32_t& field = id == kCamPropID_Evf_OutputDevice ? cam->evfOutputDevice
                                   : id == kCamPropID_Evf_Mode       ? cam->evfMode
                                                                     : cam->saveTo;
            stopPreview = id == kCamPropID_Evf_OutputDevice && (field & kCamEvfOutputDevice_PC) &&
                          !(v & kCamEvfOutputDevice_PC);
            field = v;
            if (id == kCamPropID_Evf_OutputDevice) cam->nextFrame = {};
        }
        // Leaving live view: cameras with a viewfinder switch drop it.
        if (stopPreview && cam->config) {
            CameraWidget* vf = nullptr;
            if (gp_widget_get_child_by_name(cam->config, "viewfinder", &vf) >= GP_OK && vf) {
                int off = 0;
                gp_widget_set_value(vf, &off);
                gp_camera_set_single_config(cam->camera, "viewfinder", vf, cam->context);
            }
        }
        cam->worker->post(
            [this, cam, id] { raisePropertyEvent(*cam, kCamPropertyEvent_PropertyChanged, id); });
        return CAM_ERR_OK;
    }
    const GPhotoProperty* row = GPhotoPropertyMap::find(id);
    if (!cam->config) refreshConfig(cam);
    std::string name;
    CameraWidget* w = widgetFor(cam, id, &name);
    if (!row || !w) return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
    int readonly = 0;
    if (gp_widget_get_readonly(w, &readonly) >= GP_OK && readonly) return CAM_ERR_NOT_SUPPORTED;
    CameraWidgetType wt;
    gp_widget_get_type(w, &wt);
    int r = GP_ERROR_BAD_PARAMETERS;
    switch (row->kind) {
        case GPhotoValueKind::Choice: {
            if (size != 4) return CAM_ERR_INVALID_LENGTH;
            std::uint32_t code;
            std::memcpy(&code, data, 4);
            const auto choice = GPhotoPropertyMap::choiceFor(*row, code, choicesOf(w));
            if (!choice) return CAM_ERR_INVALID_DEVICEPROP_VALUE;
            r = gp_widget_set_value(w, choice->c_str());
            break;
        }
        case GPhotoValueKind::Number: {
            if (size != 4) return CAM_ERR_INVALID_LENGTH;
            std::uint32_t v;
            std::memcpy(&v, data, 4);
            if (wt == GP_WIDGET_RANGE) {
                float f = static_cast<float>(v);
                r = gp_widget_set_value(w, &f);
            } else {
                r = gp_widget_set_value(w, std::to_string(v).c_str());
            }
            break;
        }
        case GPhotoValueKind::Text: {
            std::string text(reinterpret_cast<const char*>(data),
                             strnlen(reinterpret_cast<const char*>(data), size));
            r = gp_widget_set_value(w, text.c_str());
            break;
        }
        case GPhotoValueKind::Date: {
            if (size != sizeof(CamTime) || (wt != GP_WIDGET_DATE && wt != GP_WIDGET_TEXT))
                return CAM_ERR_INVALID_LENGTH;
            CamTime ct;
            std::memcpy(&ct, data, sizeof ct);
            std::tm tm{};
            tm.tm_year = static_cast<int>(ct.year) - 1900;
            tm.tm_mon = static_cast<int>(ct.month) - 1;
            tm.tm_mday = static_cast<int>(ct.day);
            tm.tm_hour = static_cast<int>(ct.hour);
            tm.tm_min = static_cast<int>(ct.minute);
            tm.tm_sec = static_cast<int>(ct.second);
            tm.tm_isdst = -1;
            if (wt == GP_WIDGET_TEXT) {
                char text[32];
                std::snprintf(text, sizeof text, "%04u%02u%02uT%02u%02u%02u", ct.year, ct.month,
                              ct.day, ct.hour, ct.minute, ct.second);
                r = gp_widget_set_value(w, text);
                break;
            }
            const int seconds = static_cast<int>(localMakeTime(tm));
            r = gp_widget_set_value(w, &seconds);
            break;
        }
    }
    if (r < GP_OK) return failed(cam, "gp_widget_set_value", r);
    r = gp_camera_set_single_config(cam->camera, name.c_str(), w, cam->context);
    if (r == GP_ERROR_NOT_SUPPORTED)
        r = gp_camera_set_config(cam->camera, cam->config, cam->context);
    if (r < GP_OK) {
        refreshConfig(cam);
        return failed(cam, "gp_camera_set_single_config", r);
    }
    refreshConfig(cam);
    // The write is announced as the camera's change, after this returns;
    // others it changed too (lists that follow the mode) come with it.
    cam->worker->post([this, cam, id] {
        if (!cam->camera) return;
        cam->lastText[id] = valueText(cam, id);
        raisePropertyEvent(*cam, kCamPropertyEvent_PropertyChanged, id);
        announceChangedProperties(cam);
    });
    return CAM_ERR_OK;
}

CamError GPhotoCamSDK::CamGetPropertySize(CamBaseRef ref, CamPropertyID propertyID,
                                          std::int32_t param, CamDataType* outType,
                                          std::uint32_t* outSize) {
    if (!outType || !outSize) return CAM_ERR_INVALID_POINTER;
    if (param != 0) return CAM_ERR_INVALID_PARAMETER;
    CamError err;
    GPCamera* cam = usableCamera(ref, err);
    if (!cam) return err;
    std::vector<std::uint8_t> bytes;
    CamDataType type = 0;
    if (!cam->worker->run([&] {
            err =
                cam->camera ? readProperty(cam, propertyID, type, bytes) : CAM_ERR_SESSION_NOT_OPEN;
        }))
        return CAM_ERR_INTERNAL_ERROR;
    if (err) return err;
    *outType = type;
    *outSize = static_cast<std::uint32_t>(bytes.size());
    return CAM_ERR_OK;
}

CamError GPhotoCamSDK::CamGetPropertyData(CamBaseRef ref, CamPropertyID propertyID,
                                          std::int32_t param, std::uint32_t size, void* data) {
    if (!data) return CAM_ERR_INVALID_POINTER;
    if (param != 0) return CAM_ERR_INVALID_PARAMETER;
    CamError err;
    GPCamera* cam = usableCamera(ref, err);
    if (!cam) return err;
    std::vector<std::uint8_t> bytes;
    CamDataType type = 0;
    // The emulated live-view fields are read without the worker: the frame
    // loop asks for them between frames.
    if (propertyID == kCamPropID_Evf_OutputDevice || propertyID == kCamPropID_Evf_Mode) {
        if (size < 4) return CAM_ERR_INVALID_LENGTH;
        std::lock_guard l(mutex_);
        std::uint32_t v =
            propertyID == kCamPropID_Evf_OutputDevice ? cam->evfOutputDevice : cam->evfMode;
        std::memcpy(data, &v, 4);
        return CAM_ERR_OK;
    }
    if (!cam->worker->run([&] {
            err =
                cam->camera ? readProperty(cam, propertyID, type, bytes) : CAM_ERR_SESSION_NOT_OPEN;
        }))
        return CAM_ERR_INTERNAL_ERROR;
    if (err) return err;
    if (size < bytes.size()) return CAM_ERR_INVALID_LENGTH;
    std::memcpy(data, bytes.data(), bytes.size());
    return CAM_ERR_OK;
}

CamError GPhotoCamSDK::CamSetPropertyData(CamBaseRef ref, CamPropertyID propertyID,
                                          std::int32_t param, std::uint32_t size,
                                          const void* data) {
    if (!data) return CAM_ERR_INVALID_POINTER;
    if (param != 0) return CAM_ERR_INVALID_PARAMETER;
    CamError err;
    GPCamera* cam = usableCamera(ref, err);
    if (!cam) return err;
    if (!cam->worker->run([&] {
            err = cam->camera
                      ? writeProperty(cam, propertyID, static_cast<const std::uint8_t*>(data), size)
                      : CAM_ERR_SESSION_NOT_OPEN;
        }))
        return CAM_ERR_INTERNAL_ERROR;
    return err;
}

CamError GPhotoCamSDK::CamGetPropertyDesc(CamBaseRef ref, CamPropertyID propertyID,
                                          CamPropertyDesc* outDesc) {
    if (!outDesc) return CAM_ERR_INVALID_POINTER;
    CamError err;
    GPCamera* cam = usableCamera(ref, err);
    if (!cam) return err;
    std::memset(outDesc, 0, sizeof *outDesc);
    if (!cam->worker->run([&] {
            if (!cam->camera) {
                err = CAM_ERR_SESSION_NOT_OPEN;
                return;
            }
            if (propertyID == kCamPropID_Evf_OutputDevice || propertyID == kCamPropID_Evf_Mode ||
                propertyID == kCamPropID_SaveTo) {
                outDesc->access = 1;
                return;
            }
            const GPhotoProperty* row = GPhotoPropertyMap::find(propertyID);
            if (!cam->config) refreshConfig(cam);
            CameraWidget* w = widgetFor(cam, propertyID);
            if (!row || !w) {
                err = CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
                return;
            }
            int readonly = 0;
            gp_widget_get_readonly(w, &readonly);
            outDesc->access = readonly ? 0 : 1;
            if (row->kind != GPhotoValueKind::Choice) return;
            const std::vector<std::string> choices = choicesOf(w);
            {
                std::lock_guard l(mutex_);
                cam->choices[propertyID] = choices;
            }
            outDesc->form = 1;
            int n = 0;
            for (const auto& c : choices) {
                if (n == 128) break;
                if (auto code = GPhotoPropertyMap::codeFor(*row, c, choices))
                    outDesc->propDesc[n++] = static_cast<std::int32_t>(*code);
            }
            outDesc->numElements = n;
        }))
        return CAM_ERR_INTERNAL_ERROR;
    return err;
}

bool GPhotoCamSDK::CamGetValueText(CamCameraRef camera, CamPropertyID id, std::uint32_t value,
                                   std::string& out) {
    if (value < kUnlistedChoice) return false;
    std::lock_guard l(mutex_);
    auto* cam = lookup<GPCamera>(camera);
    if (!cam) return false;
    auto it = cam->choices.find(id);
    const std::uint32_t index = value - kUnlistedChoice;
    if (it == cam->choices.end() || index >= it->second.size()) return false;
    out = it->second[index];
    return true;
}

}  // namespace klik
