// The libgphoto2 backend: properties through the cached configuration tree
// and the mapping table; the live-view output device emulated.

#include <gphoto2/gphoto2-result.h>
#include <gphoto2/gphoto2-widget.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "camera/CamTables.h"
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
    ++treeReads_;
    const int r = gp_camera_get_config(cam->camera, &fresh, cam->context);
    if (r < GP_OK) return r;
    if (cam->config) gp_widget_free(cam->config);
    cam->config = fresh;
    for (auto& [name, w] : cam->single) gp_widget_free(w);
    cam->single.clear();
    std::map<CamPropertyID, std::vector<std::string>> choices;
    for (const auto& row : GPhotoPropertyMap::all())
        if (row.kind == GPhotoValueKind::Choice)
            if (CameraWidget* w = widgetFor(cam, row.id)) choices[row.id] = choicesOf(w);
    updateControls(cam);
    std::lock_guard l(mutex_);
    cam->choices = std::move(choices);
    return r;
}

int GPhotoCamSDK::readWidget(GPCamera* cam, const std::string& name) {
    if (!cam->camera) return GP_ERROR_IO;
    CameraWidget* w = nullptr;
    ++widgetReads_;
    const int r = gp_camera_get_single_config(cam->camera, name.c_str(), &w, cam->context);
    if (r < GP_OK) {
        if (w) gp_widget_free(w);
        return r;
    }
    CameraWidget*& slot = cam->single[name];
    if (slot) gp_widget_free(slot);
    slot = w;
    return r;
}

// The name of the widget a property event of libgphoto2 names:
// "PTP Property 5007 changed, \"f-number\" to \"f/5.6\"" (empty when
// the text names none).
static std::string widgetNamedBy(const char* text) {
    const char* p = text ? std::strstr(text, "changed, \"") : nullptr;
    if (!p) return {};
    p += std::strlen("changed, \"");
    const char* end = std::strchr(p, '"');
    return end ? std::string(p, end) : std::string();
}

void GPhotoCamSDK::propertyEventText(GPCamera* cam, const char* text) {
    const std::string name = widgetNamedBy(text);
    if (name.empty())
        cam->changedUnnamed = true;
    else
        cam->changedWidgets.insert(name);
}

void GPhotoCamSDK::readModeDependents(GPCamera* cam) {
    for (CamPropertyID id :
         {kCamPropID_Av, kCamPropID_Tv, kCamPropID_ISOSpeed, kCamPropID_ExposureCompensation}) {
        std::string name;
        if (widgetFor(cam, id, &name)) readWidget(cam, name);
    }
}

void GPhotoCamSDK::readChangedWidgets(GPCamera* cam) {
    if (!cam->changedUnnamed && cam->changedWidgets.empty()) return;
    const bool whole = cam->changedUnnamed;
    std::set<std::string> names;
    names.swap(cam->changedWidgets);
    cam->changedUnnamed = false;
    if (whole) {
        refreshConfig(cam);
    } else {
        // Only the widgets a mapped property stands on: a body reports many
        // properties the panel never shows, and reading each (or the whole
        // tree) takes long on a slow body.
        bool modeChanged = false;
        for (const auto& row : GPhotoPropertyMap::all()) {
            std::string name;
            if (!widgetFor(cam, row.id, &name) || !names.count(name)) continue;
            int r = readWidget(cam, name);
            if (r == GP_ERROR_NOT_SUPPORTED) {
                refreshConfig(cam);
                break;
            }
            if (r < GP_OK) {
                failed(cam, "gp_camera_get_single_config", r);
                if (!cam->camera) return;
            }
            modeChanged = modeChanged || row.id == kCamPropID_AEMode;
        }
        if (modeChanged) readModeDependents(cam);
    }
    announceChangedProperties(cam);
}

CameraWidget* GPhotoCamSDK::widgetFor(GPCamera* cam, CamPropertyID id, std::string* name) {
    const GPhotoProperty* row = GPhotoPropertyMap::find(id);
    if (!row || !cam->config) return nullptr;
    for (const char* n : row->widgets) {
        CameraWidget* w = nullptr;
        if (gp_widget_get_child_by_name(cam->config, n, &w) >= GP_OK && w) {
            if (name) *name = n;
            auto fresh = cam->single.find(n);
            return fresh != cam->single.end() ? fresh->second : w;
        }
    }
    return nullptr;
}

std::string GPhotoCamSDK::valueText(GPCamera* cam, CamPropertyID id) {
    CameraWidget* w = widgetFor(cam, id);
    return w ? textOf(w) : std::string();
}

// After the camera reported a change: each mapped property whose list of
// choices differs from what was last announced raises the allowed-values
// event, and then each whose value differs the changed-value event. The
// first pass (announce false) only remembers.
void GPhotoCamSDK::announceChangedProperties(GPCamera* cam, bool announce) {
    std::map<CamPropertyID, std::vector<std::string>> choices;
    std::vector<CamPropertyID> descChanged, valueChanged;
    for (const auto& row : GPhotoPropertyMap::all()) {
        CameraWidget* w = widgetFor(cam, row.id);
        if (!w) continue;
        if (row.kind == GPhotoValueKind::Choice) {
            std::vector<std::string> list = choicesOf(w);
            auto old = cam->announcedChoices.find(row.id);
            if (old != cam->announcedChoices.end() && old->second != list)
                descChanged.push_back(row.id);
            choices[row.id] = list;
            cam->announcedChoices[row.id] = std::move(list);
        }
        const std::string now = textOf(w);
        auto it = cam->lastText.find(row.id);
        if (it != cam->lastText.end() && it->second != now) valueChanged.push_back(row.id);
        cam->lastText[row.id] = now;
    }
    {
        std::lock_guard l(mutex_);
        for (auto& [id, list] : choices) cam->choices[id] = std::move(list);
    }
    if (!announce) return;
    for (CamPropertyID id : descChanged) {
        GLIMRA_Log::debugf("libgphoto2: the choices of %s changed", strForPropertyID(id));
        raisePropertyEvent(*cam, kCamPropertyEvent_PropertyDescChanged, id);
    }
    for (CamPropertyID id : valueChanged)
        raisePropertyEvent(*cam, kCamPropertyEvent_PropertyChanged, id);
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
        // Live-view zoom and its place, where the body has them.
        if (id == kCamPropID_Evf_Zoom) {
            if (!(cam->controls & kCamControl_EvfZoom)) return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
            type = kCamDataType_UInt32;
            putU32(bytes, cam->evfZoom);
            return CAM_ERR_OK;
        }
        if (id == kCamPropID_Evf_ZoomPosition) {
            if (!(cam->controls & kCamControl_EvfZoomPosition))
                return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
            type = kCamDataType_Int32;
            bytes.resize(8);
            std::memcpy(bytes.data(), cam->evfZoomPosition, 8);
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
        bool stopPreview = false, startPreview = false;
        {
            std::lock_guard l(mutex_);
            std::uint32_t& field = id == kCamPropID_Evf_OutputDevice ? cam->evfOutputDevice
                                   : id == kCamPropID_Evf_Mode       ? cam->evfMode
                                                                     : cam->saveTo;
            stopPreview = id == kCamPropID_Evf_OutputDevice && (field & kCamEvfOutputDevice_PC) &&
                          !(v & kCamEvfOutputDevice_PC);
            startPreview = id == kCamPropID_Evf_OutputDevice && !(field & kCamEvfOutputDevice_PC) &&
                           (v & kCamEvfOutputDevice_PC);
            field = v;
            if (id == kCamPropID_Evf_OutputDevice) cam->nextFrame = {};
        }
        // Switched on: the warm-up of the body's live view starts now.
        if (startPreview) {
            cam->evfOnAt = std::chrono::steady_clock::now();
            cam->notReadySince = {};
        }
        if (id == kCamPropID_SaveTo)
            if (CamError e = applyCaptureTarget(cam)) return e;
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
    if (id == kCamPropID_Evf_Zoom || id == kCamPropID_Evf_ZoomPosition) {
        const bool zoom = id == kCamPropID_Evf_Zoom;
        if (size != (zoom ? 4u : 8u)) return CAM_ERR_INVALID_LENGTH;
        std::int32_t v[2] = {0, 0};
        std::memcpy(v, data, size);
        CamError e;
        if (zoom)
            e = setWidget(cam, "eoszoom", std::to_string(v[0]));
        else if (namedWidget(cam, "eoszoomposition"))
            e = setWidget(cam, "eoszoomposition",
                          std::to_string(v[0]) + "," + std::to_string(v[1]));
        else
            e = setWidget(cam, "changeafarea", std::to_string(v[0]) + "x" + std::to_string(v[1]));
        if (e == CAM_ERR_NOT_SUPPORTED) return CAM_ERR_DEVICEPROP_NOT_SUPPORTED;
        if (e) return e;
        {
            std::lock_guard l(mutex_);
            if (zoom)
                cam->evfZoom = static_cast<std::uint32_t>(v[0]);
            else
                std::memcpy(cam->evfZoomPosition, v, 8);
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
        const CamError e = failed(cam, "gp_camera_set_single_config", r);
        if (cam->camera && readWidget(cam, name) == GP_ERROR_NOT_SUPPORTED) refreshConfig(cam);
        return e;
    }
    // The camera's own value, read back; a new exposure mode brings new
    // lists of apertures and shutter speeds.
    if (readWidget(cam, name) == GP_ERROR_NOT_SUPPORTED)
        refreshConfig(cam);
    else if (id == kCamPropID_AEMode)
        readModeDependents(cam);
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
